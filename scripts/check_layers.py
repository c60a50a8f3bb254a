#!/usr/bin/env python3
"""Fails when a source file includes a header of a subsystem it may not use.

Each folder of src/ is one floor; an include may only point at the floors listed
for its own folder below (and at its own folder). A new folder must be added here.
"""
import pathlib
import re
import sys

BASE = {"parser", "common"}
ALLOWED = {
    "common": set(),
    "parser": {"common"},
    "compiler/type_inference": BASE,
    "compiler/dialects": BASE | {"compiler/type_inference"},
    "compiler/expr_translate": BASE | {"compiler/dialects", "compiler/type_inference"},
    "compiler/rule_translate": BASE | {"compiler/expr_translate", "compiler/dialects", "compiler/type_inference"},
    "compiler/functors": BASE,
    "compiler/program": BASE | {"compiler/rule_translate", "compiler/expr_translate", "compiler/dialects",
                                "compiler/type_inference", "compiler/functors"},
    # The assertions read only the tree and the name catalogues kept beside the library rules.
    "assertion": BASE | {"compiler/program"},
    "verifier": BASE | {"compiler/program", "compiler/rule_translate", "compiler/expr_translate",
                        "compiler/dialects", "compiler/type_inference", "compiler/functors", "assertion"},
    "python": BASE | {"compiler/program", "verifier", "assertion"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def floor_of(path):
    """The floor a path under src/ belongs to: the longest listed folder holding it."""
    parts = pathlib.PurePosixPath(path).parts
    for n in (2, 1):
        name = "/".join(parts[:n])
        if name in ALLOWED and len(parts) > n:
            return name
    return None


def main():
    root = pathlib.Path(__file__).resolve().parent.parent / "src"
    faults = []
    for f in sorted(root.rglob("*")):
        if f.suffix not in (".h", ".cpp"):
            continue
        rel = f.relative_to(root).as_posix()
        mine = floor_of(rel)
        if mine is None:
            faults.append(f"src/{rel}: lies in no known floor; add its folder to scripts/check_layers.py")
            continue
        for inc in INCLUDE.findall(f.read_text(encoding="utf-8")):
            if "/" not in inc:
                continue  # a header beside the file
            theirs = floor_of(inc)
            if theirs is None or theirs == mine:
                continue
            if theirs not in ALLOWED[mine]:
                faults.append(f"src/{rel}: {mine} may not include {inc} ({theirs})")
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
