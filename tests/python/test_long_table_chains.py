"""Chains of stored tables and loops far longer than the walk over dependencies
may recurse: their script is a flat list of statements, each table made before
any statement reads it, and it gives the rows worked out here by hand."""

import os

import pytest
import sqlglot
from sqlglot import exp

import mirtova
from compile_engines import Engine, as_multiset, statements
from isolated import run_isolated
from sql_parse import unfilled_placeholder
from hand_rows import closure

HERE = os.path.dirname(os.path.abspath(__file__))

SQLGLOT_DIALECT = {"trino": "trino", "presto": "presto", "databricks": "databricks", "duckdb": "duckdb",
                   "sqlite": "sqlite", "psql": "postgres", "bigquery": "bigquery"}
ITERATIVE = ["trino", "presto", "databricks"]

EDGES = [(1, 2), (2, 3), (3, 4), (4, 2), (5, 6)]


def recursion_chain(n):
    """Each recursion is seeded by the one before: unfolded into a chain of loops."""
    text = "R0(x, y) distinct :- Edge(x, y);\n"
    for i in range(1, n):
        text += f"R{i}(x, y) distinct :- R{i - 1}(x, y);\nR{i}(x, z) distinct :- R{i}(x, y), Edge(y, z);\n"
    return text, f"R{n - 1}"


def ground_chain(n):
    """Each stored table adds one to the one before."""
    text = "@Ground(G0); G0(x) :- E(x);\n"
    for i in range(1, n):
        text += f"@Ground(G{i}); G{i}(y) :- G{i - 1}(x), y == x + 1;\n"
    return text, f"G{n - 1}"


def loop_chain(n):
    """Loops, each seeded by the table the one before made, each adding one."""
    text = "@Ground(C0); C0(0);\nN0(y) :- C0(x), y == x + 1;\n@Iteration(L0, predicates: [N0], repetitions: 2);\n"
    for i in range(1, n):
        text += (f"@Ground(C{i}); C{i}(x) :- N{i - 1}(x);\nN{i}(y) :- C{i}(x), y == x + 1;\n"
                 f"@Iteration(L{i}, predicates: [N{i}], repetitions: 2);\n")
    return text, f"N{n - 1}"


ACCUMULATING = """
@Ground(Full); Full(x, y) distinct :- Edge(x, y);
@Ground(Delta); Delta(x, y) distinct :- Edge(x, y);
New(x, z) distinct :- Delta(x, y), Edge(y, z), ~Full(x, z);
@Ground(Back, Delta);
Back(x, y) distinct :- New(x, y);
@Iteration(Delta, predicates: [New, Back], repetitions: 10, accumulate: Full);
"""


def accumulated_chain(n, member=True):
    """A chain of stored tables whose far end reads the table a loop adds to
    (and the loop's member): the loop must be done before the chain's first table."""
    text = ACCUMULATING + "@Ground(A0); A0(x, y) distinct :- Full(x, y);\n"
    if member:
        text += "A0(x, y) distinct :- Back(x, y);\n"
    for i in range(1, n):
        text += f"@Ground(A{i}); A{i}(x, y) :- A{i - 1}(x, y);\n"
    return text, f"A{n - 1}"


def created_table(statement):
    target = statement.this
    if isinstance(target, exp.Schema):
        target = target.this
    return target.name


def tables_read(statement):
    """The tables a statement reads (its target too, for an INSERT), without its WITH clauses."""
    clauses = {cte.alias for cte in statement.find_all(exp.CTE)}
    made = created_table(statement) if isinstance(statement, exp.Create) else None
    return {t.name for t in statement.find_all(exp.Table) if t.name not in clauses and t.name != made}


def unread_before_made(pieces, dialect):
    """(statement number, table) for each read of a table that the pieces make
    only later; DROP statements only drop. A piece may hold several statements."""
    parsed = []
    for piece in pieces:
        assert unfilled_placeholder(piece) is None, piece
        parsed += [s for s in sqlglot.parse(piece, read=dialect) if s is not None]
    made_somewhere = {created_table(s) for s in parsed if isinstance(s, exp.Create)}
    made, wrong = set(), []
    for number, statement in enumerate(parsed):
        if isinstance(statement, exp.Drop):
            continue
        wrong += [(number, t) for t in sorted(tables_read(statement) & made_somewhere - made)]
        if isinstance(statement, exp.Create):
            made.add(created_table(statement))
    return wrong


def plan_pieces(plan):
    pieces = []
    for step in plan:
        pieces += step["body"] + [step["changed"]] if step["kind"] == "loop" else [step["sql"]]
    return [p for p in pieces if p.strip()]


def test_the_order_check_finds_a_table_read_before_it_is_made():
    pieces = ['CREATE TABLE "B" AS SELECT * FROM "A"', 'CREATE TABLE "A" AS SELECT * FROM "E"',
              'INSERT INTO "C" SELECT * FROM "B"', 'CREATE TABLE "C" AS WITH B AS (SELECT 1) SELECT * FROM B']
    assert unread_before_made(pieces, "trino") == [(0, "A"), (2, "C")]


def with_chain(n):
    """WITH clauses, each reading the one before, the first a stored table."""
    text = "@Ground(G); G(x) :- E(x), x > 0;\nP0(x) distinct :- G(x);\n"
    text += "".join(f"P{i}(x) distinct :- P{i - 1}(x);\n" for i in range(1, n))
    return text, f"P{n - 1}"


def accumulator_chain(n):
    return accumulated_chain(n, member=False)


def order_faults(chain, engines, plans=True):
    """(engine, statement number, table) for each table its script (or plan) reads before making it."""
    source, last = chain
    faults = []
    for engine in engines:
        script = mirtova.compile(source, last, engine=engine)
        faults += [(engine, "script", *f) for f in unread_before_made(statements(script), SQLGLOT_DIALECT[engine])]
        if not plans:
            continue
        plan = plan_pieces(mirtova.plan(source, last, engine=engine))
        faults += [(engine, "plan", *f) for f in unread_before_made(plan, SQLGLOT_DIALECT[engine])]
    return faults


def row_faults(chain, engines, tables, rows):
    """The engines whose script or plan does not give `rows`; the iterative engines' SQL runs on DuckDB."""
    source, last = chain
    faults = []
    for engine in engines:
        runner = "sqlite" if engine == "sqlite" else "duckdb"
        script = Engine(runner, tables).run_script(mirtova.compile(source, last, engine=engine))
        plan = Engine(runner, tables).run_plan(mirtova.plan(source, last, engine=engine))
        if not as_multiset(script) == as_multiset(plan) == as_multiset(rows):
            faults.append(engine)
    return faults


def in_child(call):
    """`call` evaluated in a child process, with this module as `t`: a long
    chain's SQL and its parse trees are large, and the memory a test process
    has held is counted again in every child it starts."""
    setup = f"import sys; sys.path.insert(0, {HERE!r})\nimport test_long_table_chains as t\n"
    outcome = run_isolated(call, setup, timeout=300, limit_mb=4096)
    assert outcome.kind == "ok", outcome
    return outcome["value"]


# (id, builder, length, engines whose order is checked, engines whose rows are, tables, rows)
CHAINS = [
    ("300 stored tables", "ground_chain", 300, ITERATIVE + ["duckdb", "sqlite", "psql", "bigquery"],
     ["trino", "duckdb", "sqlite"], {"E": [(1,), (10,)]}, [(300,), (309,)]),
    ("300 stored tables reading an accumulating loop", "accumulated_chain", 300, ITERATIVE + ["duckdb", "sqlite"],
     ["trino", "duckdb", "sqlite"], {"Edge": EDGES}, sorted(closure(EDGES))),
    # 250 tables: the last is written at the bound, so what it reads waits.
    ("the loop's member and accumulator read at the bound", "accumulated_chain", 250, ITERATIVE + ["duckdb"],
     ["trino", "duckdb"], {"Edge": EDGES}, sorted(closure(EDGES))),
    ("the accumulator alone read at the bound", "accumulator_chain", 250, ITERATIVE + ["duckdb", "sqlite"],
     ["trino", "duckdb", "sqlite"], {"Edge": EDGES}, sorted(closure(EDGES))),
    ("300 loops, each seeded by the one before", "loop_chain", 300, ITERATIVE + ["duckdb"], ["trino", "duckdb"],
     {}, [(300,)]),
    ("a stored table read at the end of 300 WITH clauses", "with_chain", 300, ITERATIVE + ["duckdb", "sqlite"],
     ["trino", "duckdb", "sqlite"], {"E": [(0,), (1,), (2,)]}, [(1,), (2,)]),
    ("a chain just within the bound", "ground_chain", 200, ITERATIVE + ["duckdb"], ["trino", "duckdb"],
     {"E": [(1,), (10,)]}, [(200,), (209,)]),
]


@pytest.mark.slow
@pytest.mark.parametrize("name, build, length, ordered, rowed, tables, rows", CHAINS, ids=[c[0] for c in CHAINS])
def test_long_chains_of_tables_make_each_table_before_it_is_read(name, build, length, ordered, rowed, tables, rows):
    assert in_child(f"t.order_faults(t.{build}({length}), {ordered!r})") == "[]"


@pytest.mark.slow
@pytest.mark.parametrize("name, build, length, ordered, rowed, tables, rows", CHAINS, ids=[c[0] for c in CHAINS])
def test_long_chains_of_tables_give_their_rows(name, build, length, ordered, rowed, tables, rows):
    assert in_child(f"t.row_faults(t.{build}({length}), {rowed!r}, {tables!r}, {rows!r})") == "[]"


@pytest.mark.slow
def test_long_chains_of_recursions_and_loops_compile_on_the_iterative_engines():
    # A hundred recursions, each seeded by the one before, are unfolded into a
    # hundred loops; their rows are the closure of the edges at every step.
    assert in_child("t.order_faults(t.recursion_chain(100), t.ITERATIVE, plans=False)") == "[]"
    assert in_child("t.row_faults(t.recursion_chain(100), ['trino'], {'Edge': t.EDGES}, "
                    "sorted(t.closure(t.EDGES)))") == "[]"
    # The others differ from trino's script in quoting alone.
    assert in_child("t.order_faults(t.loop_chain(2000), ['trino'], plans=False)") == "[]"
    assert in_child("[len(m.compile(*t.loop_chain(2000), engine=e)) > 0 for e in t.ITERATIVE]") == repr([True] * 3)


def test_genuinely_nested_sql_is_still_refused_on_the_iterative_engines():
    # Each function is written inside the one that calls it: the SQL itself nests.
    source = "F0(x) = x + 1;" + "".join(f"F{i + 1}(x) = F{i}(x) + 1;" for i in range(1000)) + "Q(y) :- y == F1000(1);"
    for engine in ITERATIVE:
        with pytest.raises(ValueError, match="Program is nested too deeply."):
            mirtova.compile(source, "Q", engine=engine)
