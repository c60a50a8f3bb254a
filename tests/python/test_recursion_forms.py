"""Every flat form of recursion unfolding (vertical chains, horizontal stacks,
iterative horizontal loops, semi-naive loops), with and without the user's
@Ground on the recursive predicate, at depths below and above the switch to
loops, run as a script and as a plan on DuckDB, SQLite and PostgreSQL against
rows worked out here."""

import pytest

import mirtova
from compile_engines import Engine, as_multiset
from pg_engine import any_engine, pg_cluster  # noqa: F401  (the fixtures)
from hand_rows import closure


def walks_within(edges, most):
    """(x, y) for every walk of 1 to `most` edges, once per walk."""
    rows, last = [], list(edges)
    for _ in range(most):
        rows += last
        last = [(x, z) for (x, y) in last for (y2, z) in edges if y == y2]
    return rows


def walks_of_parity(edges, parity):
    reach = {(x, y, 1) for (x, y) in edges}
    while True:
        more = {(x, z, 1 - p) for (x, y, p) in reach for (y2, z) in edges if y == y2} - reach
        if not more:
            return {(x, y) for (x, y, p) in reach if p == parity}
        reach |= more


CHAIN = [(i, i + 1) for i in range(7)]
CYCLIC = [(1, 2), (2, 3), (3, 4), (4, 2), (5, 6)]

LINEAR = "P(x, y) :- E(x, y); P(x, z) :- P(x, y), E(y, z); @Recursive(P, {depth}); {ground}"
LINEAR_DISTINCT = ("P(x, y) distinct :- E(x, y); P(x, z) distinct :- P(x, y), E(y, z); @Recursive(P, {depth}); "
                   "{ground}")
DOUBLING = ("P(x, y) distinct :- E(x, y); P(x, z) distinct :- P(x, y), P(y, z); @Recursive(P, {depth}); "
            "{ground}")
MUTUAL = ("Odd(x, y) distinct :- E(x, y); Odd(x, z) distinct :- Even(x, y), E(y, z); "
          "Even(x, z) distinct :- Odd(x, y), E(y, z); @Recursive(Odd, {depth}); {ground}")

# Depth 8 unfolds into chains or stacks of copies, depth 30 into loops.
# (id, program, predicate, edges, rows, grounds)
FORMS = [
    ("linear", LINEAR, "P", CHAIN, sorted(closure(CHAIN)), ["@Ground(P);", "@Ground(P, Store);"]),
    ("linear distinct", LINEAR_DISTINCT, "P", CHAIN, closure(CHAIN), ["@Ground(P);", "@Ground(P, Store);"]),
    ("doubling", DOUBLING, "P", CHAIN, closure(CHAIN), ["@Ground(P);", "@Ground(P, Store);"]),
    ("mutual", MUTUAL, "Odd", CYCLIC, walks_of_parity(CYCLIC, 1),
     ["@Ground(Odd);", "@Ground(Even, Store);", "@Ground(Odd, Store); @Ground(Even);"]),
]

CASES = [pytest.param(program.format(depth=depth, ground=ground), predicate, {"E": edges}, want,
                      id=f"{name}-{depth}-{ground or 'not grounded'}")
         for name, program, predicate, edges, want, grounds in FORMS
         for depth in (8, 30)
         for ground in [""] + grounds]

# B is A one level late, so A's newest level and B's are always equal: the
# loop is done when each predicate's two newest levels agree, not before.
LEVELS_APART = "A(x) :- S(x); A(x) :- B(y), Succ(y, x); B(x) :- A(x); @Recursive(A, 40); {ground}"
SUCC = {"S": [(0,)], "Succ": [(i, i + 1) for i in range(10)]}
CASES += [pytest.param(LEVELS_APART.format(ground=ground), "A", SUCC, [(i,) for i in range(11)],
                       id=f"levels apart-40-{ground or 'not grounded'}") for ground in ["", "@Ground(A);"]]


def _rows(open_engine, source, predicate, tables, as_plan):
    engine = open_engine(tables)
    if as_plan:
        return engine.run_plan(mirtova.plan(source, predicate, engine=open_engine.name))
    return engine.run_script(mirtova.compile(source, predicate, engine=open_engine.name))


@pytest.mark.parametrize("as_plan", [False, True], ids=["script", "plan"])
@pytest.mark.parametrize("source, predicate, tables, want", CASES)
def test_recursion_forms_give_the_fixpoint(any_engine, source, predicate, tables, want, as_plan):
    got = _rows(any_engine, source, predicate, tables, as_plan)
    assert as_multiset(got) == as_multiset(want)


# A chain of 40 nodes at depth 25: the levels hold the walks of at most 26
# edges; the distinct form's loop runs on to the closure.
LONG_CHAIN = [(i, i + 1) for i in range(39)]


@pytest.mark.parametrize("as_plan", [False, True], ids=["script", "plan"])
@pytest.mark.parametrize("ground", ["", "@Ground(P);"], ids=["not grounded", "grounded"])
@pytest.mark.parametrize("program, want", [(LINEAR, walks_within(LONG_CHAIN, 26)),
                                           (LINEAR_DISTINCT, closure(LONG_CHAIN))], ids=["bag", "distinct"])
def test_a_grounded_recursion_keeps_every_level(any_engine, program, want, ground, as_plan):
    source = program.format(depth=25, ground=ground)
    got = _rows(any_engine, source, "P", {"E": LONG_CHAIN}, as_plan)
    assert as_multiset(got) == as_multiset(want)


# Engines that run loops themselves get the grounded forms at every depth: a
# stack of grounded levels below the ignition, a loop from it on. Their SQL
# runs on DuckDB.
@pytest.mark.parametrize("as_plan", [False, True], ids=["script", "plan"])
@pytest.mark.parametrize("ground", ["", "@Ground(P);", "@Ground(P, Store);"])
@pytest.mark.parametrize("depth", [3, 8])
@pytest.mark.parametrize("engine", ["presto", "trino", "databricks"])
def test_iterative_engines_forms(engine, depth, ground, as_plan):
    source = LINEAR.format(depth=depth, ground=ground)
    runner = Engine("duckdb", {"E": CHAIN})
    if as_plan:
        got = runner.run_plan(mirtova.plan(source, "P", engine=engine))
    else:
        got = runner.run_script(mirtova.compile(source, "P", engine=engine))
    assert as_multiset(got) == as_multiset(walks_within(CHAIN, depth + 1))
