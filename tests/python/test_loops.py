"""Loops run as a plan, which stops once a round changes nothing, give the rows
of the script, which runs every repetition: the user's own loops, and every
program of the test suite whose plan holds a loop, on DuckDB, SQLite and
PostgreSQL (and the iterative engines' loops on DuckDB)."""

import pytest

import mirtova
import test_compile_plans as plans
import test_compile_programs as programs
import test_functors as functors
import test_language_programs as language
import test_recursion as recursion
import test_recursion_forms as forms
from compile_engines import Engine, as_multiset
from pg_engine import any_engine, pg_cluster  # noqa: F401  (the fixtures)

# Loops of the user's own, with the rows they give after all repetitions.
# (id, program, predicate, rows)
USER_LOOPS = [
    # Next and Again write Nxt and Cur, which are equal after every round.
    ("members equal after each round",
     "@Ground(Cur); Cur(0); @Ground(Next, Nxt); Next(y) :- Cur(x), y == x + 1; @Ground(Again, Cur);"
     "Again(y) :- Next(x), y == x; @Iteration(Count, predicates: [Next, Again], repetitions: 3);"
     "Result(x) :- Again(x);", "Result", [(3,)]),
    ("members that differ", plans.DOUBLING, "Result", [(14,)]),
    ("one member, done after its second round",
     "@Ground(Cur); Cur(0); Next(y) :- Cur(x), y == x + 1;"
     "@Iteration(Counter, predicates: [Next], repetitions: 5); Result(x) :- Next(x);", "Result", [(1,)]),
    ("a value that comes back every other round",
     "@Ground(Cur); Cur(0); @Ground(Flip, Nxt); Flip(y) :- Cur(x), y == 1 - x; @Ground(Back, Cur);"
     "Back(x) :- Flip(x); @Iteration(Flipping, predicates: [Flip, Back], repetitions: 4); Result(x) :- Back(x);",
     "Result", [(0,)]),
    ("a fixpoint before the repetitions are spent",
     "@Ground(Cur); Cur(0); @Ground(Next, Nxt); Next(y) :- Cur(x), y == (if x < 4 then x + 1 else x);"
     "@Ground(Again, Cur); Again(x) :- Next(x);"
     "@Iteration(Capped, predicates: [Next, Again], repetitions: 9); Result(x) :- Again(x);", "Result", [(4,)]),
    ("a member of its own table beside one of another's",
     "@Ground(Cur); Cur(1); Next(y) :- Cur(x), y == x * 3; @Ground(Again, Cur); Again(y) :- Next(x), y == x - 1;"
     "@Iteration(Steps, predicates: [Next, Again], repetitions: 3); Result(x, y) :- Next(x), Again(y);", "Result",
     [(15, 14)]),
    ("an accumulating loop", plans.CLOSURE, "Closure", [(1, 2), (1, 3), (1, 4), (2, 3), (2, 4), (3, 4)]),
    ("two loops, the second reading the first",
     "@Ground(A); A(1); @Ground(GrowA, NewA); GrowA(y) :- A(x), y == x + 1; @Ground(KeepA, A); KeepA(x) :- GrowA(x);"
     "@Iteration(First, predicates: [GrowA, KeepA], repetitions: 3);"
     "@Ground(B); B(x) :- KeepA(x); @Ground(GrowB, NewB); GrowB(y) :- B(x), y == 2 * x;"
     "@Ground(KeepB, B); KeepB(x) :- GrowB(x);"
     "@Iteration(Second, predicates: [GrowB, KeepB], repetitions: 2); Result(x) :- KeepB(x);", "Result",
     [(16,)]),
]


def _has_loop(source, predicate, engine="duckdb", **options):
    return any(step["kind"] == "loop" for step in mirtova.plan(source, predicate, engine=engine, **options))


def _suite_programs():
    """(id, program, predicate, tables, rows, options) of every program of the
    suite's row tables whose plan holds a loop."""
    found = [(f"loop: {name}", source, predicate, {}, want, {}) for name, source, predicate, want in USER_LOOPS]
    found += [(f"programs: {c[0]}", c[1], c[2], c[3], c[4], {}) for c in programs.CASES]
    found += [(f"functors: {c[0]}", c[1], c[2], c[3], c[4], {}) for c in functors.CASES]
    found += [(f"language: {c[0]}", c[1], c[2], c[3], c[4], {k: v for k, v in c[5].items() if k != "ordered"})
              for c in language.CASES]
    found += [(f"recursion: {c[0]} {depth}", c[1].format(depth=depth), c[2], c[3], c[4], {})
              for c in recursion.CASES for depth in c[5]]
    found += [(f"forms: {p.id}", *p.values, {}) for p in forms.CASES]
    return [pytest.param(*case, id=case[0]) for case in found if _has_loop(case[1], case[2], **case[5])]


SUITE = _suite_programs()


def test_the_suite_has_loops_of_every_kind():
    ids = [p.id for p in SUITE]
    assert all(f"loop: {case[0]}" in ids for case in USER_LOOPS)
    assert len(ids) >= 20 and any(i.startswith("recursion: ") for i in ids)


@pytest.mark.parametrize("name, source, predicate, tables, want, options", SUITE)
def test_plan_and_script_give_the_same_rows(any_engine, name, source, predicate, tables, want, options):
    engine = any_engine.name
    script = any_engine(tables).run_script(mirtova.compile(source, predicate, engine=engine, **options))
    plan = any_engine(tables).run_plan(mirtova.plan(source, predicate, engine=engine, **options))
    assert as_multiset(plan) == as_multiset(script)
    assert as_multiset(plan) == as_multiset(want)


# The iterative engines unfold every recursion into a loop; their SQL runs on DuckDB.
ITERATIVE = [pytest.param(c[1].format(depth=depth), c[2], c[3], c[4], engine, id=f"{c[0]} {depth} {engine}")
             for c in recursion.CASES for depth in c[5] for engine in ("presto", "trino", "databricks")
             if _has_loop(c[1].format(depth=depth), c[2], engine)]


@pytest.mark.parametrize("source, predicate, tables, want, engine", ITERATIVE)
def test_iterative_engines_loops(source, predicate, tables, want, engine):
    script = Engine("duckdb", tables).run_script(mirtova.compile(source, predicate, engine=engine))
    plan = Engine("duckdb", tables).run_plan(mirtova.plan(source, predicate, engine=engine))
    assert as_multiset(plan) == as_multiset(script) == as_multiset(want)


def test_a_plan_stops_once_a_round_changes_nothing():
    # The capped counter reaches 4 in four rounds: the fifth changes nothing.
    source = USER_LOOPS[4][1]
    assert USER_LOOPS[4][0] == "a fixpoint before the repetitions are spent"
    engine = Engine("duckdb", {})
    rounds = 0
    for step in mirtova.plan(source, "Result"):
        if step["kind"] != "loop":
            engine.run(step["sql"])
            continue
        for _ in range(step["repetitions"]):
            rounds += 1
            for statement in step["body"]:
                engine.run(statement)
            if engine.run(step["changed"])[0][0] == 0:
                break
    assert rounds == 5
