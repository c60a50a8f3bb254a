"""Table aliases that a column name in reach would shadow: DuckDB reads "u.col0"
as the field col0 of a column u when a table in scope has one (an error when two
have it, wrong rows when the column is a record with that field). Each program
runs on DuckDB, SQLite and PostgreSQL and must give the rows worked out by hand."""

import pytest

import mirtova
from compile_engines import as_multiset
from pg_engine import any_engine, pg_cluster  # noqa: F401  (the fixtures)

U3 = {"U": [(1,), (2,), (3,)]}

CASES = [
    (
        "the shrunk differential program",
        """R3(x, y, d? Min= w) distinct :- W(x, y, w);
           P4("ab", u: b) :- b == a, R3(4, 1, d: a);
           P4(Upper(h), u: a) :- R3(a, b, d: c), N(g, h);
           P6(a, a) :- ~W(a, a, b), b == (Count{f * f :- W(a, f, g), P4(c, u: d), P4(c, u: _)}), U(a);""",
        "P6",
        {
            "W": [(0, 0, 0), (1, 1, 1), (1, 1, 2), (1, 2, 5), (2, 2, 7), (4, 1, 3)],
            "N": [(1, "x"), (2, "y")],
            "U": [(0,), (1,), (2,), (3,)],
        },
        # a = 1 counts {1, 4}: 2, and W(1, 1, 2) holds.
        [(0, 0), (2, 2), (3, 3)],
    ),
    (
        "beside a table with that column in the same FROM",
        "P(1, u: 5); P(2, u: 6); Q(x, y) :- U(x), P(x, u: y);",
        "Q",
        U3,
        [(1, 5), (2, 6)],
    ),
    (
        "in a sub-query over two tables with that column",
        "R(1, u: 5); R(2, u: 6); Q(a, n) :- U(a), n == Count{b :- R(a, u: b), R(a, u: _)};",
        "Q",
        U3,
        [(1, 1), (2, 1), (3, 0)],
    ),
    (
        "in a sub-query over a record column with a field of that name",
        "R(u: {col0: 100}, k: 1); R(u: {col0: 100}, k: 100); Q(a, n) :- U(a), n == Count{k :- R(u: _, k:), k == a};",
        "Q",
        {"U": [(1,), (2,)]},
        [(1, 1), (2, 0)],
    ),
    (
        "in a negation over two tables with that column",
        "R(1, u: 5); R(2, u: 6); Q(a) :- U(a), ~(R(a, u: b), R(a, u: b));",
        "Q",
        U3,
        [(3,)],
    ),
    (
        "in a negation over a record column with a field of that name",
        "R(u: {col0: 2}, k: 2); R(u: {col0: 5}, k: 5); Q(a) :- U(a), ~R(u: _, k: a);",
        "Q",
        U3,
        [(1,), (3,)],
    ),
    (
        "a column named like its own predicate",
        "P(p: {col0: 5}, col0: 1); P(p: {col0: 6}, col0: 5); "
        "Q(x, n) :- P(col0: x), n == Count{y :- P(p:, col0: x), y == p.col0};",
        "Q",
        {},
        [(1, 1), (5, 1)],
    ),
    (
        "a head column named like a table",
        "Q(u: x) distinct :- V(x); S(a, n) :- U(a), n == Count{x :- Q(u: x), Q(u: x), x > a};",
        "S",
        {"U": [(1,), (2,)], "V": [(1,), (2,), (3,)]},
        [(1, 2), (2, 1)],
    ),
    (
        "a function's argument named like a table",
        "F(u: x) += y :- T(x, y); Q(a, F(u: a)) :- U(a);",
        "Q",
        {"U": [(1,), (2,)], "T": [(1, 10), (1, 5), (2, 20)]},
        [(1, 15), (2, 20)],
    ),
]


@pytest.mark.parametrize("name, source, predicate, tables, want", CASES, ids=[c[0] for c in CASES])
def test_aliases_clear_of_column_names(any_engine, name, source, predicate, tables, want):
    script = mirtova.compile(source, predicate, engine=any_engine.name)
    assert as_multiset(any_engine(tables).run_script(script)) == as_multiset(want)
