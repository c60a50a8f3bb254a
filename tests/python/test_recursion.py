"""Recursive programs compiled through recursion unfolding and run on real
engines, as one script and as a plan, against fixpoints computed here."""

import pytest

import mirtova
from compile_engines import Engine, as_multiset
from hand_rows import closure
from test_engine_rows import SERVED, run_plan

ENGINES = ["duckdb", "sqlite"]

EDGES = [(1, 2), (2, 3), (3, 4), (4, 2), (5, 6)]
PARENTS = [("b", "a"), ("c", "a"), ("d", "b"), ("e", "c"), ("f", "d"), ("g", "e"), ("h", "g")]
WEIGHTED = [(1, 2, 4), (1, 3, 1), (3, 2, 1), (2, 4, 1), (3, 4, 5), (4, 5, 2)]


def same_generation(parents):
    sg = {(x, y) for (x, p) in parents for (y, q) in parents if p == q}
    while True:
        more = {(x, y) for (x, a) in parents for (a2, b) in sg if a == a2 for (y, b2) in parents if b == b2} - sg
        if not more:
            return sg
        sg |= more


def shortest(weighted, start):
    dist = {start: 0}
    for _ in range(len(weighted) + 1):
        for x, y, w in weighted:
            if x in dist and dist[x] + w < dist.get(y, float("inf")):
                dist[y] = dist[x] + w
    return set(dist.items())


LINEAR_CLOSURE = """
Path(x, y) distinct :- Edge(x, y);
Path(x, z) distinct :- Path(x, y), Edge(y, z);
@Recursive(Path, {depth});
"""

DOUBLING_CLOSURE = """
Path(x, y) distinct :- Edge(x, y);
Path(x, z) distinct :- Path(x, y), Path(y, z);
@Recursive(Path, {depth});
"""

FIVE_READS = "Five(x, y) distinct :- Path(x, y), Path(x, _), Path(_, y), Path(y, _), Path(_, x);\n"

SAME_GENERATION = """
Sg(x, y) distinct :- Parent(x, p), Parent(y, p);
Sg(x, y) distinct :- Parent(x, a), Sg(a, b), Parent(y, b);
@Recursive(Sg, {depth});
"""

# Reachability through two predicates that call each other.
MUTUAL = """
Odd(x, y) distinct :- Edge(x, y);
Odd(x, z) distinct :- Even(x, y), Edge(y, z);
Even(x, z) distinct :- Odd(x, y), Edge(y, z);
@Recursive(Odd, {depth});
"""

# Keeps duplicates: one row per path, so a loop must compare how often each row
# comes, not only which rows come.
PATH_COUNT = """
Path(x, y) :- Edge(x, y);
Path(x, z) :- Path(x, y), Edge(y, z);
@Recursive(Path, {depth});
Count(c? += 1) distinct :- Path(x, y);
"""

SHORTEST = """
Dist(x) Min= 0 :- x == 1;
Dist(y) Min= d + w :- Dist(x) == d, Weighted(x, y, w);
@Recursive(Dist, {depth});
"""


def walks(edges, parity):
    reach = {(x, y, 1) for (x, y) in edges}
    while True:
        more = {(x, z, 1 - p) for (x, y, p) in reach for (y2, z) in edges if y == y2} - reach
        if not more:
            return {(x, y) for (x, y, p) in reach if p == parity}
        reach |= more


CASES = [
    # (name, program, predicate, tables, expected rows, depths)
    ("linear closure", LINEAR_CLOSURE, "Path", {"Edge": EDGES}, closure(EDGES), [5, 30]),
    ("doubling closure", DOUBLING_CLOSURE, "Path", {"Edge": EDGES}, closure(EDGES), [4, 30]),
    # SQLite refuses a statement that references a table 65535 times or more:
    # the unrolled form of depth 15 would.
    ("doubling closure near the engine's bound", DOUBLING_CLOSURE, "Path", {"Edge": EDGES}, closure(EDGES),
     [12, 15]),
    # Read five times by one statement, depth 13 is past that bound too.
    ("doubling closure read five times", DOUBLING_CLOSURE + FIVE_READS, "Five", {"Edge": EDGES},
     {(x, y) for (x, y) in closure(EDGES) if any(a == y for a, _ in EDGES) and any(b == x for _, b in EDGES)},
     [12, 13]),
    # Every edge i -> j with i < j of 8 nodes: 2^(j-i-1) paths from i to j, 247 in all.
    ("paths of a dense graph counted", PATH_COUNT, "Count", {"Edge": [(i, j) for i in range(8) for j in range(i + 1, 8)]},
     {(247,)}, [9, 21]),
    ("same generation", SAME_GENERATION, "Sg", {"Parent": PARENTS}, same_generation(PARENTS), [5, 40]),
    ("mutual recursion", MUTUAL, "Odd", {"Edge": EDGES}, walks(EDGES, 1), [8, 40]),
    ("shortest path", SHORTEST, "Dist", {"Weighted": WEIGHTED}, shortest(WEIGHTED, 1), [8, 30]),
]


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("size", ["small", "large"])
@pytest.mark.parametrize("name, program, predicate, tables, want, depths", CASES, ids=[c[0] for c in CASES])
def test_unfolded_recursion_reaches_the_fixpoint(name, program, predicate, tables, want, depths, size, engine):
    depth = depths[0] if size == "small" else depths[1]
    source = program.format(depth=depth)
    script_rows = Engine(engine, tables).run_script(mirtova.compile(source, predicate, engine=engine))
    plan_rows = Engine(engine, tables).run_plan(mirtova.plan(source, predicate, engine=engine))
    assert as_multiset(script_rows) == as_multiset(want)
    assert as_multiset(plan_rows) == as_multiset(want)


# Spark, Trino and Presto run each recursion as a loop over stored tables: its plan, at the smaller depth.
@pytest.mark.parametrize("engine", SERVED)
@pytest.mark.parametrize("name, program, predicate, tables, want, depths", CASES, ids=[c[0] for c in CASES])
def test_served_engines_reach_the_fixpoint(request, name, program, predicate, tables, want, depths, engine):
    source = program.format(depth=depths[0])
    got = run_plan(request, engine, mirtova.plan(source, predicate, engine=engine), tables)
    assert as_multiset(got) == as_multiset(want)


@pytest.mark.parametrize("engine", ENGINES)
def test_large_depths_become_loops(engine):
    plan = mirtova.plan(LINEAR_CLOSURE.format(depth=30), "Path", engine=engine)
    loops = [step for step in plan if step["kind"] == "loop"]
    assert len(loops) == 1 and loops[0]["repetitions"] == 30
    plan = mirtova.plan(DOUBLING_CLOSURE.format(depth=30), "Path", engine=engine)
    assert [step["repetitions"] for step in plan if step["kind"] == "loop"] == [14]


@pytest.mark.parametrize("engine", ENGINES)
def test_infinite_depth_runs_as_a_plan(engine):
    source = LINEAR_CLOSURE.format(depth="∞")
    rows = Engine(engine, {"Edge": EDGES}).run_plan(mirtova.plan(source, "Path", engine=engine))
    assert as_multiset(rows) == as_multiset(closure(EDGES))
