#!/usr/bin/env python3
"""Python threads compiling in parallel: 32 different programs of 200 rules,
compiled by one thread in turn and by 8 threads at once, side by side in one
run (best of several rounds each), with the results compared.

    python3 bench/threads_bench.py [--threads 8] [--programs 32] [--rules 200] [--rounds 5]

The module releases the GIL while the core works, so the speed-up is bounded
by the cores free for it: on a machine with fewer cores than threads, or one
busy with other work, expect less. The CPU time the threads use, against one
thread's, does not depend on the machine's load: above 1 it is what the
threads cost one another (contention on allocation or shared counters).
"""
import argparse
import os
import sys
import time
from concurrent.futures import ThreadPoolExecutor

import mirtova


def program(seed, rules):
    """Layers of an injected join, a two-rule union with a negation and an
    aggregation read by the next layer; `seed` makes each program different."""
    lines = [f"C0({seed}, {seed + 1});", f"C0({seed + 1}, {seed + 2});", "S0(x, n? += y) distinct :- C0(x, y);"]
    count, i = 3, 1
    while count + 4 <= rules - 1:
        n, p = str(i), str(i - 1)
        lines.append(f"J{n}(x, z) :- C{p}(x, y), S{p}(x, n: w), Edge{seed % 5}(y, z), x != z, w > {n};")
        lines.append(f"C{n}(x, y) :- J{n}(x, y);")
        lines.append(f"C{n}(x, y) :- J{n}(y, x), ~Blocked(x);")
        lines.append(f"S{n}(x, n? += y) distinct :- C{n}(x, y);")
        count += 4
        i += 1
    lines.append(f"Top(x, y) :- C{i - 1}(x, y), x > {seed};")
    return "\n".join(lines)


ENGINES = ["duckdb", "psql", "sqlite", "bigquery"]


def compile_one(job):
    text, engine = job
    return mirtova.compile(text, "Top", engine=engine)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--threads", type=int, default=8)
    ap.add_argument("--programs", type=int, default=32)
    ap.add_argument("--rules", type=int, default=200)
    ap.add_argument("--rounds", type=int, default=5)
    opts = ap.parse_args()

    jobs = [(program(k, opts.rules), ENGINES[k % len(ENGINES)]) for k in range(opts.programs)]
    expected = [compile_one(job) for job in jobs]  # warms the engines' caches too

    serial, parallel, serial_cpu, parallel_cpu = [], [], [], []
    with ThreadPoolExecutor(max_workers=opts.threads) as pool:
        for _ in range(opts.rounds):
            started, cpu = time.perf_counter(), time.process_time()
            one = [compile_one(job) for job in jobs]
            serial.append(time.perf_counter() - started)
            serial_cpu.append(time.process_time() - cpu)
            started, cpu = time.perf_counter(), time.process_time()
            many = list(pool.map(compile_one, jobs))
            parallel.append(time.perf_counter() - started)
            parallel_cpu.append(time.process_time() - cpu)
            if one != expected or many != expected:
                print("FAIL: the threads' results differ from one thread's", file=sys.stderr)
                return 1

    best_serial, best_parallel = min(serial), min(parallel)
    print(f"{opts.programs} programs of {opts.rules} rules, {os.cpu_count()} cores")
    print(f"one thread in turn: {best_serial * 1000:8.1f} ms")
    print(f"{opts.threads} threads at once: {best_parallel * 1000:8.1f} ms")
    print(f"speed-up:           {best_serial / best_parallel:8.2f}x  (results identical)")
    print(f"CPU time, {opts.threads} threads against one: {min(parallel_cpu) / min(serial_cpu):5.2f}x")
    return 0


if __name__ == "__main__":
    sys.exit(main())
