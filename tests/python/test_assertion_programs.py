"""Assertions over a realistic program (a recursion, an aggregation, a join):
each statement's counterexamples, as a script and as a plan, run on DuckDB,
SQLite and PostgreSQL and compared with the violating rows worked out by hand."""

import pytest

import mirtova
from compile_engines import Engine, as_multiset
from pg_engine import PgEngine, pg_cluster  # noqa: F401  (the fixture)

SOURCE = """
@Recursive(Reach, 6);
Reach(src:, dst:) distinct :- Edge(src:, dst:);
Reach(src:, dst:) distinct :- Reach(src:, dst: m), Edge(src: m, dst:);
Total(customer:, total? += amount) distinct :- Orders(customer:, amount:);
Client(id:, name:) :- Clients(id:, name:);
Big(id:) :- Client(id:), Total(customer: id, total:), total > 100;
@Assert(Reach, no_self: "∀ a b, Reach a b → a ≠ b", symmetric: "∀ a b, Reach a b → Reach b a",
        reached: "∀ a, (∃ b, Reach a b) → ∃ c, Reach c a");
@Assert(Total, cap: "∀ c t, Total c t → t ≤ 500", overall: "(∑ c, Total c) ≤ 700",
        some_big: "∃ c t, Total c t ∧ t > 1000", double: "∀ c t, Total c t → t * 2 - 20 > 0",
        not_two: "∀ c t, Total c t ∧ t > 100 → ¬ (c = 2)", iff: "∀ c t, Total c t → (t > 100 ↔ Big c)",
        value: "∀ i n, Client i n ∧ Total i > 5 → Total i > 100");
@Assert(Client, ordered: "∀ i n, Client i n → ∃ t, Total i t", range: "∀ i n, Client i n → i < 3 ∨ i = 5",
        nobob: '∀ i n, Client i n → n ≠ "bob"');
@Assert(Big, known: "forall i, Big i -> exists n, Client i n");
@Assert(Ghost, seen: "∃ x, Ghost x");
Pair(a:, b:) :- Pairs(a:, b:);
Weight(a:, b:, w:) :- Pairs(a:, b:), w == 1;
@Assert(Pair, self: "∀ a b, Pair a b → Pair a b", some: "∀ a b, Pair a b → ∃ c, Pair a c",
        partner: "∀ a b, Pair a b → ∃ c, Pair a c ∧ c ≠ b",
        group: "∀ a b, Pair a b → (∑ x, Weight a x) ≥ 1", two: "∀ a b, Pair a b → (∑ x, Weight a x) = 2",
        unweighted: "∀ a b, Pair a b → ¬ Weight a b 1", kin: "∀ a b, Pair a b → ∃ c, Pair c b ∧ Weight c b 1",
        squares: "(∑ x y, Weight x y * Weight x y) = 5", rated: "∀ a b, Pair a b → Pair (Weight a b) b",
        twin: "∀ a b, Pair a b → ∃ c, Pair c c ∨ Pair a b ∧ Weight a b c ∧ c = 1")
"""

# Reach: 1 → 2 → 3 → 1 is a cycle, 4 → 5 a dead end. Total: 1 has 120, 2 has 10,
# 3 has 600. Clients 1 and 2 ordered, 5 did not; 3 ordered but is no client.
# Pairs: a row holding a null is matched by itself, and its group is the rows
# with the same null.
TABLES = {
    "Edge": [{"src": 1, "dst": 2}, {"src": 2, "dst": 3}, {"src": 3, "dst": 1}, {"src": 4, "dst": 5}],
    "Orders": [{"customer": 1, "amount": 30}, {"customer": 1, "amount": 90}, {"customer": 2, "amount": 10},
               {"customer": 3, "amount": 600}],
    "Clients": [{"id": 1, "name": "ann"}, {"id": 2, "name": "bob"}, {"id": 5, "name": "eve"}],
    "Pairs": [{"a": 1, "b": 2}, {"a": None, "b": 3}, {"a": 4, "b": None}, {"a": 1, "b": 5}, {"a": None, "b": 6}],
}

VIOLATIONS = [
    ("Reach", "no_self", [(1, 1), (2, 2), (3, 3)]),
    ("Reach", "symmetric", [(4, 5)]),
    ("Reach", "reached", [(4,)]),
    ("Total", "cap", [(3, 600)]),
    ("Total", "overall", [(1,)]),  # 730 in all
    ("Total", "some_big", [(1,)]),
    ("Total", "double", [(2, 10)]),
    ("Total", "not_two", []),
    ("Total", "iff", [(3, 600)]),  # over 100, but no client, so not Big
    ("Total", "value", [(2, "bob")]),
    ("Client", "ordered", [(5, "eve")]),
    ("Client", "range", []),
    ("Client", "nobob", [(2, "bob")]),
    ("Big", "known", []),
    ("Pair", "self", []),
    ("Pair", "some", []),
    ("Pair", "partner", [(4, None)]),  # c ≠ null holds of no c
    ("Pair", "group", []),
    ("Pair", "two", [(4, None)]),
    # Atoms joined on a null match, as the negations and the groups above do.
    ("Pair", "unweighted", [(1, 2), (None, 3), (4, None), (1, 5), (None, 6)]),
    ("Pair", "kin", []),
    ("Pair", "squares", []),  # each row of Weight joins itself only
    ("Pair", "rated", [(None, 3), (4, None), (None, 6)]),  # Pair 1 b holds for b = 2 and b = 5
    ("Pair", "twin", []),
]


def test_reports_and_check():
    reports = mirtova.assertions(SOURCE)
    order = ["Reach", "Total", "Client", "Big", "Ghost", "Pair"]
    assert [(r["predicate"], r["name"], r["status"], r["detail"]) for r in reports] == sorted(
        [(p, n, "unchecked", None) for p, n, _ in VIOLATIONS] + [("Ghost", "seen", "pending", "waiting for Ghost")],
        key=lambda r: order.index(r[0]))
    assert mirtova.check(SOURCE) == ([
        "Undefined predicate 'Edge': not defined and not a built-in",
        "Undefined predicate 'Orders': not defined and not a built-in",
        "Undefined predicate 'Clients': not defined and not a built-in \u2014 did you mean 'Client'?",
        "Undefined predicate 'Pairs': not defined and not a built-in \u2014 did you mean 'Pair'?"], [])
    with pytest.raises(ValueError, match="^Assertion 'Ghost.seen' is pending: waiting for Ghost$"):
        mirtova.counterexamples(SOURCE, "Ghost", "seen")


@pytest.mark.parametrize("engine", ["duckdb", "sqlite", "psql"])
@pytest.mark.parametrize("predicate, name, want", VIOLATIONS, ids=[f"{p}.{n}" for p, n, _ in VIOLATIONS])
def test_counterexamples_are_the_violating_rows(request, engine, predicate, name, want):
    def run(runner):
        engine_ = (PgEngine(request.getfixturevalue("pg_cluster"), TABLES) if engine == "psql"
                   else Engine(engine, TABLES))
        try:
            return as_multiset(runner(engine_))
        finally:
            if engine == "psql":
                engine_.close()

    script = mirtova.counterexamples(SOURCE, predicate, name, engine=engine)
    plan = mirtova.plan(SOURCE, predicate, engine=engine, assertion=name)
    assert run(lambda e: e.run_script(script)) == as_multiset(want)
    assert run(lambda e: e.run_plan(plan)) == as_multiset(want)
