#!/usr/bin/env python3
"""Memory of one compile per byte of program: for each shape, a child process
imports the module, warms the engine's caches on a small program, then
compiles the generated program once; the growth of its peak resident set over
the warmed one, divided by the program's length, is the figure printed.

    python3 bench/memory_bench.py [--rules 10000] [--engine duckdb] [--shapes Chain,Wide]

A child per shape keeps one shape's freed memory from lowering the next one's
peak. The goals: at most 100 bytes per byte on the ordinary shapes, 400 on the
chain of recursions.
"""
import argparse
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from generated_programs import SHAPES  # noqa: E402

GOALS = {"RecursionChain": 400, "Recursion": 400}
DEFAULT_GOAL = 100

CHILD = r"""
import json, resource, sys
import mirtova
shape, rules, engine, stage = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
sys.path.insert(0, sys.argv[5])
from generated_programs import SHAPES
text, top = SHAPES[shape](rules)
small, small_top = SHAPES[shape](20)
def run(source, predicate):
    if stage == "compile_all":
        return sum(len(v) for v in mirtova.compile_all(source, engine=engine).values())
    if stage == "check":
        mirtova.check(source, engine=engine)
        return 0
    return len(mirtova.compile(source, predicate, engine=engine))
run(small, small_top)
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
out = run(text, top)
after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
print(json.dumps({"bytes": len(text.encode()), "peak": after - before, "sql": out}))
"""


def measure(shape, rules, engine, stage):
    here = os.path.dirname(os.path.abspath(__file__))
    done = subprocess.run(
        [sys.executable, "-c", CHILD, shape, str(rules), engine, stage, here],
        capture_output=True,
        text=True,
        check=False,
    )
    if done.returncode != 0:
        return None, done.stderr.strip().splitlines()[-1:] or ["failed"]
    return json.loads(done.stdout), None


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--rules", type=int, default=10000)
    ap.add_argument("--engine", default="duckdb")
    ap.add_argument("--stage", choices=["compile", "compile_all", "check"], default="compile")
    ap.add_argument("--shapes", default=",".join(SHAPES))
    opts = ap.parse_args()

    print(f"{opts.stage} on {opts.engine}, {opts.rules} rules per shape")
    print(f"{'shape':<16}{'program (KB)':>14}{'SQL (KB)':>12}{'peak (MB)':>12}{'bytes/byte':>12}{'goal':>8}")
    failed = False
    for shape in opts.shapes.split(","):
        result, error = measure(shape, opts.rules, opts.engine, opts.stage)
        if result is None:
            print(f"{shape:<16}  {error[0]}")
            failed = True
            continue
        per_byte = result["peak"] / result["bytes"]
        goal = GOALS.get(shape, DEFAULT_GOAL)
        mark = "" if per_byte <= goal else "  over"
        print(
            f"{shape:<16}{result['bytes'] / 1024:>14.1f}{result['sql'] / 1024:>12.1f}"
            f"{result['peak'] / 2**20:>12.1f}{per_byte:>12.1f}{goal:>8}{mark}"
        )
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
