"""Chains of predicates far longer than the walk over dependencies may recurse:
their SQL is a flat list of WITH clauses, each after those it reads, and gives
the rows worked out here by hand."""

import os
import re

import pytest

import mirtova
from isolated import run_isolated

HERE = os.path.dirname(os.path.abspath(__file__))

EDGES = [(1, 2), (2, 3), (3, 4), (4, 1), (5, 6)]


def closure_step(rows, edges):
    return {(x, y) for (x, z) in rows for (z2, y) in edges if z == z2}


def long_chain(levels):
    """Each predicate joins the one before with E, and adds the edges past its number."""
    rules = ["P0(x, y) distinct :- E(x, y);"]
    for i in range(1, levels):
        rules.append(f"P{i}(x, y) distinct :- P{i - 1}(x, z), E(z, y);")
        rules.append(f"P{i}(x, y) distinct :- E(x, y), x > {i % 5};")
    return "\n".join(rules), f"P{levels - 1}"


def long_chain_rows(levels):
    rows = set(EDGES)
    for i in range(1, levels):
        rows = closure_step(rows, EDGES) | {(x, y) for (x, y) in EDGES if x > i % 5}
    return rows


def two_back(levels):
    """Each predicate reads the one before and the one before that: every
    predicate has two readers, so the order must put it before both."""
    rules = ["Q0(x, y) distinct :- E(x, y);", "Q1(x, y) distinct :- E(x, y), x > 2;"]
    for i in range(2, levels):
        rules.append(f"Q{i}(x, y) distinct :- Q{i - 1}(x, z), E(z, y);")
        rules.append(f"Q{i}(x, y) distinct :- Q{i - 2}(x, y);")
    return "\n".join(rules), f"Q{levels - 1}"


def two_back_rows(levels):
    table = [set(EDGES), {(x, y) for (x, y) in EDGES if x > 2}]
    for i in range(2, levels):
        table.append(closure_step(table[i - 1], EDGES) | table[i - 2])
    return table[levels - 1]


# DuckDB binds a chain of WITH clauses recursively and refuses one past a
# thousand levels of its own; SQLite copies a clause into each reader, so
# two readers per level double the work at each.
CASES = [
    ("a chain past the recursion bound", "long_chain", "long_chain_rows", 300, ["duckdb", "sqlite"]),
    ("two readers per predicate past the bound", "two_back", "two_back_rows", 300, ["duckdb"]),
    ("a chain just within the bound", "long_chain", "long_chain_rows", 200, ["duckdb", "sqlite"]),
]


@pytest.mark.slow
@pytest.mark.parametrize("name, make, rows, levels, engines", CASES, ids=[c[0] for c in CASES])
def test_long_chains_give_their_rows(name, make, rows, levels, engines):
    # In a child process: the engines keep much of what a long query took, and
    # the memory a test process has held is counted again in every child it
    # starts.
    setup = (
        f"import sys; sys.path.insert(0, {HERE!r})\n"
        "import test_long_chains as t\n"
        "from compile_engines import run\n"
        f"source, last = t.{make}({levels})\n"
        f"got = {{e: sorted(tuple(r) for r in run(source, last, e, {{'E': t.EDGES}})) for e in {engines!r}}}\n"
        f"expected = sorted(t.{rows}({levels}))\n"
    )
    outcome = run_isolated("[e for e in got if got[e] != expected]", setup, timeout=120, limit_mb=4096)
    assert outcome.kind == "ok", outcome
    assert outcome["value"] == "[]", outcome


WITH_CLAUSE = re.compile(r"^(?:WITH )?(\w+) AS \($")
READ = re.compile(r"(?:FROM|,) (Q\w*) AS ")


def test_every_clause_of_a_long_chain_is_defined_once_before_it_is_read():
    source, last = two_back(400)
    defined = []
    for line in mirtova.compile(source, last).splitlines():
        clause = WITH_CLAUSE.match(line)
        if clause:
            defined.append(clause.group(1))
            continue
        for read in READ.findall(line):
            assert read in defined, (read, line)
    assert len(defined) == len(set(defined))
    assert {f"Q{i}" for i in range(399)} <= set(defined)  # the last is the query


@pytest.mark.slow
def test_ten_thousand_predicates_compile_and_answer_the_same_on_every_thread():
    # In a child process: the chain's SQL is large, and the memory a test
    # process has held is counted again in every child it starts.
    setup = (
        "import re, threading\n"
        f"S = {long_chain(10000)[0]!r}\n"
        "main = m.compile(S, 'P9999')\n"
        "other = []\n"
        "t = threading.Thread(target=lambda: other.append(m.compile(S, 'P9999')))\n"
        "t.start(); t.join()\n"
    )
    call = "(other == [main], len(re.findall(r'^(?:WITH )?\\w+ AS \\($', main, re.M)))"
    outcome = run_isolated(call, setup, timeout=120, limit_mb=4096)
    assert outcome.kind == "ok", outcome
    # Each predicate of two rules is a clause of the union and one of its
    # distinct rows; the first is one clause, the last the query itself.
    assert outcome["value"] == repr((True, 2 * 10000 - 2)), outcome


def chain_of(levels, first, rule):
    return first + "".join(rule.format(i=i, p=i - 1, n=2 * i) for i in range(1, levels))


# compile_all writes each script from SQL kept from the scripts before it, its
# aliases bare or numbered as the script stands: each script must be the one
# compile writes for its predicate alone. A column named as a numbered alias or
# as a table, text shaped as an alias, a predicate named as one, and the fresh
# variables of an injected join each limit what kept SQL may be used for.
ALL_CASES = [
    ("a chain past the bound", long_chain(260)[0]),
    ("two readers per predicate past the bound", two_back(260)[0]),
    ("a column named as a numbered alias",
     chain_of(260, "P0(a: x, t_1_e: y) :- E(x, y);",
              "P{i}(a: x, t_1_e: y) :- P{p}(a: x, t_1_e: z), E(z, y); P{i}(a: x, t_1_e: y) :- E(x, y), x > {i};")),
    ("a column named as the table read",
     chain_of(260, "P0(e: x, b: y) :- E(x, y);",
              "P{i}(e: x, b: y) :- P{p}(e: x, b: z), E(z, y); P{i}(e: x, b: y) :- E(x, y), x > {i};")),
    ("text shaped as a numbered alias",
     chain_of(260, "P0(x, y) :- E(x, y);",
              "P{i}(x, y) :- P{p}(x, z), E(z, y), y != \"t_{n}_E\"; P{i}(x, y) :- E(x, y), x > {i};")),
    ("a predicate named as a numbered alias",
     chain_of(260, "T_3_E(x, y) :- E(x, y), x > 1; P0(x, y) :- E(x, y);",
              "P{i}(x, y) :- P{p}(x, z), E(z, y), T_3_E(y, x); P{i}(x, y) :- E(x, y), x > {i};")),
    ("an injected join past the bound",
     chain_of(140, "C0(1, 2);",
              "J{i}(x, z) :- C{p}(x, y), Edge(y, z), x != z; C{i}(x, y) :- J{i}(x, y);"
              "C{i}(x, y) :- J{i}(y, x), ~Blocked(x);")),
    # The table U is read where a column u is in reach, and where none is.
    ("a column named as a table, read where it is not",
     'P2(a, u: "x", v: a) distinct :- E(a, b), ~(U(c), ~U(c));'
     "P4(f, f, d) :- P2(a, u: b, v: c), T(_, d, f); P5(b) :- T(_, a, b), ~U(2);"
     "A6(d, c) distinct :- N(a, b), U(c), d == Sum{h * k :- P4(a, h, k), U(f)};"),
]


@pytest.mark.parametrize("source", [c[1] for c in ALL_CASES], ids=[c[0] for c in ALL_CASES])
def test_compile_all_writes_each_script_as_compile_does(source):
    scripts = mirtova.compile_all(source)
    if len(scripts) < 10:
        assert scripts == {name: mirtova.compile(source, name) for name in scripts}
        return
    by_length = sorted(scripts, key=lambda name: (len(scripts[name]), name))
    for name in by_length[:: len(by_length) // 3] + by_length[-3:]:
        assert scripts[name] == mirtova.compile(source, name), name
