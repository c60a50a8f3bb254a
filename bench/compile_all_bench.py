#!/usr/bin/env python3
"""compile_all against one compile of the predicate that reaches the others:
for each shape and size, the seconds of each (best of several rounds) and the
SQL returned, or the refusal of scripts that together pass 64 MB.

    python3 bench/compile_all_bench.py [--rules 500,1000,2000] [--engine duckdb] [--shapes LongChain,Chain]

Each predicate's SQL is written once and repeated in the scripts after, so
compile_all takes time in proportion to the SQL it returns; a refusal comes
within about the time of the one compile, before the scripts are written.
"""
import argparse
import os
import sys
import time

import mirtova

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from generated_programs import SHAPES  # noqa: E402


def best(rounds, call):
    times, result = [], None
    for _ in range(rounds):
        start = time.perf_counter()
        try:
            result = call()
        except ValueError as error:
            result = error
        times.append(time.perf_counter() - start)
    return min(times), result


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--rules", default="500,1000,2000")
    ap.add_argument("--engine", default="duckdb")
    ap.add_argument("--shapes", default="LongChain,Chain,InjectedChain")
    ap.add_argument("--rounds", type=int, default=3)
    opts = ap.parse_args()

    print(f"compile_all on {opts.engine}")
    print(f"{'shape':<16}{'rules':>7}{'all (s)':>10}{'SQL (MB)':>10}{'one (s)':>10}")
    for shape in opts.shapes.split(","):
        for rules in (int(r) for r in opts.rules.split(",")):
            text, top = SHAPES[shape](rules)
            every, scripts = best(opts.rounds, lambda: mirtova.compile_all(text, engine=opts.engine))
            one, _ = best(opts.rounds, lambda: mirtova.compile(text, top, engine=opts.engine))
            size = "refused" if isinstance(scripts, ValueError) else f"{sum(map(len, scripts.values())) / 2**20:.1f}"
            print(f"{shape:<16}{rules:>7}{every:>10.2f}{size:>10}{one:>10.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
