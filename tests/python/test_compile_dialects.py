"""The same programs compiled for the engines the tests cannot run: every
statement of the plan parses in that engine's SQL dialect."""

import pytest

import mirtova
from sql_parse import parse_sql
from test_compile_plans import CLOSURE, DOUBLING, GRAND, TOP
from test_compile_programs import CASES

DIALECTS = {"psql": "postgres", "bigquery": "bigquery", "presto": "presto", "trino": "trino",
            "databricks": "databricks"}

PROGRAMS = [(c[0], c[1], c[2]) for c in CASES] + [
    ("grounded", TOP, "Top"), ("loop", DOUBLING, "Result"), ("accumulating loop", CLOSURE, "Closure"),
    ("search", GRAND, "Grandparent"),
    ("numbers, lists and records as text",
     'Q(s, f, r) :- s == ToString([5]), f == Format("<%s %s %s>", 5, {a: [5]}, 1 > 2), r == ToString({a: 1});', "Q"),
]


@pytest.mark.parametrize("engine", sorted(DIALECTS))
@pytest.mark.parametrize("name, source, predicate", PROGRAMS, ids=[p[0] for p in PROGRAMS])
def test_every_statement_parses(engine, name, source, predicate):
    pattern = "^a" if name == "search" else None
    statements = []
    for step in mirtova.plan(source, predicate, engine=engine, pattern=pattern, limit=5, offset=1):
        if step["kind"] == "sql":
            statements.append(step["sql"])
        elif step["kind"] == "loop":
            statements.extend(step["body"] + [step["changed"]])
    for sql in statements:
        for piece in sql.split(";\n"):
            parse_sql(piece, read=DIALECTS[engine])
