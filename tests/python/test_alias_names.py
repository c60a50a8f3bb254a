"""Table aliases that a column name in reach would shadow: DuckDB reads "u.col0"
as the field col0 of a column u when a table in scope has one (an error when two
have it, wrong rows when the column is a record with that field). Each program
runs on DuckDB, SQLite and PostgreSQL and must give the rows worked out by hand."""

import pytest

import mirtova
from compile_engines import as_multiset
from pg_engine import any_engine, pg_cluster  # noqa: F401  (the fixtures)
from test_engine_rows import SERVED, rows

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
    # Aliases of the tables a rule reads, shadowed by a column of a table that
    # is only in reach once a predicate is injected, a recursion unfolded or a
    # loop planned: each wrong rows were a column read as the alias's.
    (
        "in a combine, once a predicate is injected into it",
        "R(u: {col0: 100}, k: 1, v: 7); R(u: {col0: 100}, k: 1, v: 8); R(u: {col0: 100}, k: 2, v: 9);"
        "Inner(k, x) :- R(u: _, k:, v: x); Q(a, n) :- U(a), n == Count{x :- Inner(a, x)};",
        "Q",
        U3,
        [(1, 2), (2, 1), (3, 0)],
    ),
    (
        "in a negation, once a predicate is injected into it",
        "R(u: {col0: 100}, k: 1); R(u: {col0: 100}, k: 2); Inner(k) :- R(u: _, k:); Q(a) :- U(a), ~Inner(a);",
        "Q",
        U3,
        [(3,)],
    ),
    (
        "in a combine over a function's value",
        # F(3) has no value: the sum of nothing is null.
        "R(u: {col0: 100}, k: 1, v: 7); R(u: {col0: 100}, k: 2, v: 9);"
        "F(x) = y :- R(u: _, k: x, v: y); Q(a, n) :- U(a), n == Sum{F(a)};",
        "Q",
        U3,
        [(1, 7), (2, 9), (3, None)],
    ),
    (
        "a column t beside a table T",
        "R(t: {col0: 1}, k: 5); R(t: {col0: 1}, k: 6); Q(a) :- T(a), ~R(t: _, k: a);",
        "Q",
        {"T": [(1,), (5,)]},
        [(1,)],
    ),
    (
        "a column named like a predicate, lower-cased",
        "R(edge: {col0: 0, col1: 2}, k: 2); R(edge: {col0: 0, col1: 2}, k: 3);"
        "Q(a, b, n) :- Edge(a, b), n == Count{k :- R(edge: _, k:), k == b};",
        "Q",
        {"Edge": [(1, 2), (1, 3), (2, 4)]},
        [(1, 2, 1), (1, 3, 1), (2, 4, 0)],
    ),
    (
        "every level of a recursion",
        # 2 -> 3 is blocked, so only the edges on either side are paths.
        "E(1, 2); E(2, 3); E(3, 4); B(e: {col0: 0, col1: 0}, k: 3); B(e: {col0: 0, col1: 0}, k: 30);"
        "Path(x, y) :- E(x, y), ~B(e: _, k: y); Path(x, z) :- Path(x, y), E(y, z), ~B(e: _, k: z);",
        "Path",
        {},
        [(1, 2), (3, 4)],
    ),
    (
        "a member of a loop",
        # Cur holds 0: Next is 1 after every round, as no B row has k 0.
        "@Ground(Cur); Cur(0); B(cur: {col0: 9}, k: 9); B(cur: {col0: 9}, k: 8);"
        "Next(y) :- Cur(x), y == x + 1, ~B(cur: _, k: x);"
        "@Iteration(Counter, predicates: [Next], repetitions: 5); Result(x) :- Next(x);",
        "Result",
        {},
        [(1,)],
    ),
]


@pytest.mark.parametrize("name, source, predicate, tables, want", CASES, ids=[c[0] for c in CASES])
def test_aliases_clear_of_column_names(any_engine, name, source, predicate, tables, want):
    script = mirtova.compile(source, predicate, engine=any_engine.name)
    assert as_multiset(any_engine(tables).run_script(script)) == as_multiset(want)


# Spark, Trino and Presto read a combine's outer values one query out only: the
# cases with a combine or negation correlated with the rule around it run there
# too (each through its plan).
ON_SERVED = [c for c in CASES if c[0] != "a column named like its own predicate"]


@pytest.mark.parametrize("engine", SERVED)
@pytest.mark.parametrize("name, source, predicate, tables, want", ON_SERVED, ids=[c[0] for c in ON_SERVED])
def test_aliases_clear_of_column_names_on_served_engines(request, engine, name, source, predicate, tables, want):
    assert as_multiset(rows(request, engine, source, predicate, tables, as_plan=True)) == as_multiset(want)
