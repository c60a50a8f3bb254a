#!/usr/bin/env python3
"""Turns a JSON run of mirtova_bench into a table: per benchmark and size, the
time, the time per rule, and the growth of time over the previous size,
also scaled to one doubling of the rule count; then per benchmark the growth per
doubling from about 500 to about 4,000 rules (or the sizes it has nearest).

    ./build/bench/mirtova_bench --benchmark_filter=BM_ --benchmark_format=json > run.json
    python3 scripts/bench_report.py run.json
"""
import json
import math
import sys
from collections import OrderedDict


def rows(run):
    series = OrderedDict()
    for b in run["benchmarks"]:
        if b.get("run_type") == "aggregate" or "rules" not in b:
            continue
        family, _, _ = b["name"].partition("/")
        ms = b["real_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
        series.setdefault(family, []).append((int(b["rules"]), ms))
    for family, points in series.items():
        previous = None
        for rules, ms in points:
            growth = per_doubling = ""
            if previous and previous[0] > 0 and rules > previous[0] and previous[1] > 0:
                ratio = ms / previous[1]
                growth = f"{ratio:.2f}x"
                per_doubling = f"{ratio ** (1 / math.log2(rules / previous[0])):.2f}x"
            yield family, rules, ms, ms * 1000 / max(rules, 1), growth, per_doubling
            previous = (rules, ms)


def spans(run, low=500, high=4000):
    """Per benchmark, the growth per doubling between the sizes nearest to
    `low` and `high` that it has (the span the compile time is judged on)."""
    series = OrderedDict()
    for family, rules, ms, _, _, _ in rows(run):
        series.setdefault(family, []).append((rules, ms))
    for family, points in series.items():
        first = min(points, key=lambda p: (abs(math.log2(max(p[0], 1) / low)), p[0]))
        last = min(points, key=lambda p: (abs(math.log2(max(p[0], 1) / high)), -p[0]))
        if last[0] <= first[0] or first[1] <= 0:
            continue
        doublings = math.log2(last[0] / first[0])
        yield family, first[0], last[0], (last[1] / first[1]) ** (1 / doublings)


def main():
    with open(sys.argv[1]) as f:
        run = json.load(f)
    print("| benchmark | rules | time (ms) | per rule (us) | growth | per doubling |")
    print("|---|---:|---:|---:|---:|---:|")
    for family, rules, ms, per_rule, growth, per_doubling in rows(run):
        print(f"| {family.removeprefix('BM_')} | {rules} | {ms:.2f} | {per_rule:.1f} | {growth} | {per_doubling} |")
    print()
    print("| benchmark | from rules | to rules | per doubling |")
    print("|---|---:|---:|---:|")
    for family, low, high, per_doubling in spans(run):
        print(f"| {family.removeprefix('BM_')} | {low} | {high} | {per_doubling:.2f}x |")


if __name__ == "__main__":
    main()
