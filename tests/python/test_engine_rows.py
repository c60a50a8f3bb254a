"""Programs whose rows once differed between DuckDB, SQLite and PostgreSQL, or
whose SQL failed when run: each runs on all three and must give the rows worked
out by hand."""

import pytest

import mirtova
from compile_engines import Engine, as_multiset
from pg_engine import PgEngine, pg_cluster  # noqa: F401  (the fixture)

ENGINES = ["duckdb", "sqlite", "psql"]


def _engine(request, name, tables):
    if name == "psql":
        return PgEngine(request.getfixturevalue("pg_cluster"), tables)
    return Engine(name, tables)


def rows(request, engine, source, predicate, tables=None, **options):
    script = mirtova.compile(source, predicate, engine=engine, **options)
    runner = _engine(request, engine, tables or {})
    try:
        return runner.run_script(script)
    finally:
        if engine == "psql":
            runner.close()


MEASURE = {"Measure": [(5,), (11,), (20,), (30,), (12,)]}
TOP = 'Top(x) :- Measure(x), x > 10; @OrderBy(Top, "col0 desc");'
HUGE = 2**63


# A count past what the engines take still means "all rows" or "no rows".
@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize(
    "limit, offset, want",
    [
        (HUGE, None, [(30,), (20,), (12,), (11,)]),
        (2**64 - 1, None, [(30,), (20,), (12,), (11,)]),
        (HUGE - 1, 1, [(20,), (12,), (11,)]),
        (None, HUGE, []),
        (2, 2**64 - 1, []),
        (HUGE, HUGE, []),
    ],
)
def test_huge_limit_and_offset(request, engine, limit, offset, want):
    assert rows(request, engine, TOP, "Top", MEASURE, limit=limit, offset=offset) == want


# A backquoted field name is the name between the backquotes on every engine.
@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize(
    "source, want",
    [
        ("Q(w: {`x y`: 1, b: 2});", [({"x y": 1, "b": 2},)]),
        ('Q(w: {`a.b`: "t", `q"x`: 3});', [({"a.b": "t", 'q"x': 3},)]),
        ("R(w: {`select`: {`x y`: [1]}}); Q(w) :- R(w:);", [({"select": {"x y": [1]}},)]),
    ],
)
def test_backquoted_field_names(request, engine, source, want):
    assert rows(request, engine, source, "Q") == want
