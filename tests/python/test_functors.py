"""Functor statements compiled through mirtova.compile and run on DuckDB and
SQLite: copies with predicates substituted, constants, chains, recursion, nil;
and the exact messages of functor application."""

import pytest

import mirtova
from compile_engines import as_multiset, run



ENGINES = ["duckdb", "sqlite"]

NUMBERS = {"Number": [(1,), (5,), (10,), (20,)]}
NAMES = {"Name": [("ann",), ('say "hi"',), ("it's",), ("back\\slash",), ("bob",)]}
EDGES = {"Edge": [(1, 2), (2, 3), (3, 4)], "Road": [(7, 8), (8, 9)]}

REACH = """
Path(x, y) distinct :- Edge(x, y);
Path(x, z) distinct :- Path(x, y), Edge(y, z);
@Recursive(Path, 5);
"""

# Each repetition: Next = Cur + Step, then Cur = 2 * Next; Cur starts at Start.
LOOP = """
@Ground(Cur); Cur(x) :- Start(x); @Ground(Next, Nxt); Next(y) :- Cur(x), y == x + 1; @Ground(Again, Cur);
Again(y) :- Next(x), y == 2 * x; @Iteration(Count, predicates: [Next, Again], repetitions: 3);
Result(x) :- Again(x); Start(0); Seed(5);
"""
STEPPED_LOOP = """
@Ground(Cur); Cur(0); @Ground(Next, Nxt); Next(y) :- Cur(x), Step(s), y == x + s; @Ground(Again, Cur);
Again(y) :- Next(x), y == 2 * x; @Iteration(Count, predicates: [Next, Again], repetitions: 3);
Result(x) :- Again(x); Step(1); Two(2);
"""
ACCUMULATING = """
@Ground(Full); Full(x, y) distinct :- Edge(x, y);
@Ground(Delta); Delta(x, y) distinct :- Edge(x, y);
New(x, z) distinct :- Delta(x, y), Edge(y, z), ~Full(x, z);
@Ground(Back, Delta); Back(x, y) distinct :- New(x, y);
@Iteration(Delta, predicates: [New, Back], repetitions: 10, accumulate: Full);
Closure(x, y) :- Full(x, y);
"""

# (id, program, predicate, tables, rows)
CASES = [
    ("a predicate replaced by a table",
     "Small(x) :- Number(x), x < 8; Picked(x) :- Source(x), x > 1; Out := Picked(Source: Small);",
     "Out", NUMBERS, [(5,)]),
    ("a dependency between functor and argument is copied, the functor itself stays",
     "Big(x) :- Number(x), x > 8; Step(x) :- Source(x); Twice(x) :- Step(x), x > 0;"
     "Out := Twice(Source: Big); Orig(x) :- Twice(x);"
     "Source(3);",
     "Out", NUMBERS, [(10,), (20,)]),
    ("the functor keeps its own rows",
     "Big(x) :- Number(x), x > 8; Step(x) :- Source(x); Twice(x) :- Step(x), x > 0;"
     "Out := Twice(Source: Big); Source(3);",
     "Twice", NUMBERS, [(3,)]),
    ("a number constant",
     "Above(x) :- Number(x), x > Bound(); Bound() = 0; Out := Above(Bound: 7);",
     "Out", NUMBERS, [(10,), (20,)]),
    ("a negative number constant",
     "Shifted(y) :- Number(x), y == x + Delta(); Delta() = 0; Out := Shifted(Delta: -1);",
     "Out", NUMBERS, [(0,), (4,), (9,), (19,)]),
    ("a text constant", "Who(x) :- Name(x), x == Wanted(); Wanted() = \"\"; Out := Who(Wanted: \"bob\");",
     "Out", NAMES, [("bob",)]),
    ("a text constant holding a double quote",
     "Who(x) :- Name(x), x == Wanted(); Wanted() = \"\"; Out := Who(Wanted: 'say \"hi\"');",
     "Out", NAMES, [('say "hi"',)]),
    ("a text constant holding an apostrophe and one with a backslash",
     "Who(x) :- Name(x), x == Wanted(); Wanted() = \"\";"
     "One := Who(Wanted: \"it's\"); Two := Who(Wanted: 'back\\\\slash'); Out(x) :- One(x) | Two(x);",
     "Out", NAMES, [("it's",), ("back\\slash",)]),
    ("one constant shared by two makes",
     "Above(x) :- Number(x), x > Bound(); Bound() = 0; A := Above(Bound: 7); B := Above(Bound: 7);"
     "Out(x) :- A(x), B(x);",
     "Out", NUMBERS, [(10,), (20,)]),
    ("chained functors",
     "Keep(x) :- Source(x), x > Low(); Low() = 0; Source(0);"
     "Mid := Keep(Source: Number, Low: 4); High := Keep(Source: Mid, Low: 9); Top := High();",
     "Top", NUMBERS, [(10,), (20,)]),
    ("a made predicate as functor",
     "Keep(x) :- Source(x), x > 4; Source(0); Mid := Keep(); Out := Mid(Source: Number);",
     "Out", NUMBERS, [(5,), (10,), (20,)]),
    ("a functor over a recursive predicate",
     REACH + "RoadPath := Path(Edge: Road);", "RoadPath", EDGES, [(7, 8), (8, 9), (7, 9)]),
    ("the recursive predicate itself",
     REACH + "RoadPath := Path(Edge: Road);", "Path", EDGES,
     [(1, 2), (2, 3), (3, 4), (1, 3), (2, 4), (1, 4)]),
    ("nil takes the rows of one rule away",
     "Both(x) :- First(x); Both(x) :- Second(x); First(1); Second(2); Out := Both(First: nil);",
     "Out", {}, [(2,)]),
    ("a copy reused from the memo does not repeat rows",
     "Inner(x) :- Source(x); Outer(x) :- Inner(x); Source(0);"
     "A := Outer(Source: Number); B := Outer(Source: Number);",
     "B", NUMBERS, [(1,), (5,), (10,), (20,)]),
    ("two makes that share a copy, joined",
     "Inner(x) :- Source(x); Outer(x) :- Inner(x); Source(0);"
     "A := Outer(Source: Number); B := Outer(Source: Number); Out(x) :- A(x) | B(x);",
     "Out", NUMBERS, [(1,), (5,), (10,), (20,), (1,), (5,), (10,), (20,)]),
    # A copy of a predicate computed by a loop copies the loop with it, names
    # without rules (the iteration, a table owner) included: it runs its own
    # repetitions in tables of its own.
    ("a copy of a loop's result runs its own loop", LOOP + "Other := Result(Start: Seed);", "Other", {}, [(54,)]),
    ("a loop and its copy side by side", LOOP + "Other := Result(Start: Seed); Both(x) :- Result(x) | Other(x);",
     "Both", {}, [(14,), (54,)]),
    ("a loop member that reaches no replaced predicate is copied with the others",
     STEPPED_LOOP + "Other := Result(Step: Two); Both(x) :- Result(x) | Other(x);", "Both", {}, [(14,), (28,)]),
    ("two copies with the same substitutes share one loop",
     LOOP + "A := Result(Start: Seed); B := Result(Start: Seed); Both(x) :- A(x) | B(x);", "Both", {},
     [(54,), (54,)]),
    ("a copy of an accumulating loop",
     ACCUMULATING + "RoadClosure := Closure(Edge: Road); Both(x, y) :- Closure(x, y) | RoadClosure(x, y);",
     "Both", EDGES, [(1, 2), (1, 3), (1, 4), (2, 3), (2, 4), (3, 4), (7, 8), (7, 9), (8, 9)]),
] + [
    (f"a copy of a {kind} recursion unfolded into a loop",
     program + "RoadPath := Path(Edge: Road); Both(x, y) :- Path(x, y) | RoadPath(x, y);", "Both", EDGES,
     [(1, 2), (2, 3), (3, 4), (1, 3), (2, 4), (1, 4), (7, 8), (8, 9), (7, 9)])
    for kind, program in [("linear", REACH.replace("5);", "30);")),
                          ("doubling", REACH.replace("Path(x, y), Edge", "Path(x, y), Path").replace("5);", "30);")),
                          ("bag", REACH.replace(" distinct", "").replace("5);", "30);"))]
]


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("case", CASES, ids=[c[0] for c in CASES])
def test_functor_rows(case, engine):
    _, source, predicate, tables, want = case
    assert as_multiset(run(source, predicate, engine, tables)) == as_multiset(want)


EMPTY = ("Predicate A was proven to be empty. Most likely initial base condition of recursion is missing, "
         "or flat recursion is not given enough steps.")

# (id, program, predicate, message)
REFUSALS = [
    ("an order that cannot be resolved", "X(1); F(x) :- P(x); A := F(P: B); B := F(P: A);", "X",
     'Compile error: Could not resolve Make order for: {"A", "B"}'),
    ("a make of itself", "X(1); A := A();", "X", 'Compile error: Could not resolve Make order for: {"A"}'),
    ("an argument the functor does not depend on", "X(1); F(x) :- X(x); A := F(Z: X, W: X);", "X",
     "Compile error in rule: A\nFunctor F is applied to W, Z, which it does not depend on."),
    ("an annotation on a number", 'X(1); F(x) :- X(x); A := F(X: Y); Y(2); @OrderBy(5, "col0");', "A",
     'Compile error in rule: @OrderBy(5, "col0")\n'
     "This annotation requires predicate symbol as the first positional argument."),
    ("an annotation on a text", 'X(1); F(x) :- X(x); A := F(X: Y); Y(2); @NoInject("F");', "A",
     'Compile error in rule: @NoInject("F")\n'
     "This annotation requires predicate symbol as the first positional argument."),
    ("a user predicate made empty", "X(1); F(x) :- X(x); A := F(X: nil);", "X",
     "Compile error in rule: A\n" + EMPTY),
    ("a hand-written make of a number", "X(1); @Make(A, 5);", "X", "Compile error: Bad @Make instruction for A"),
    ("a hand-written make of a call", "X(1); @Make(A, F(x));", "X", "Compile error: Bad @Make instruction for A"),
    ("a hand-written make without functor", "X(1); @Make(A);", "X", "Compile error: Bad @Make instruction for A"),
]


@pytest.mark.parametrize("case", REFUSALS, ids=[c[0] for c in REFUSALS])
def test_functor_refusals(case):
    _, source, predicate, message = case
    with pytest.raises(ValueError) as raised:
        mirtova.compile(source, predicate)
    assert str(raised.value) == message


def test_unresolved_order_reports_each_pending_make(capfd):
    with pytest.raises(ValueError):
        mirtova.compile("X(1); F(x) :- P(x); A := F(P: B); B := F(P: A);", "X")
    assert capfd.readouterr().err == (
        '[STUCK] A applicant=F app_in_nb=false app_args_inter=[] av_inter=["B"]\n'
        '[STUCK] B applicant=F app_in_nb=false app_args_inter=[] av_inter=["A"]\n')


def test_hand_written_makes_that_name_nothing_are_passed_over():
    source = "X(1); @Make(x, X); @Make(5, X); @Make(\"A\", X);"
    assert run(source, "X", "duckdb") == [(1,)]


def test_a_functor_left_recursive_is_copied_with_a_warning(capfd):
    with pytest.raises(ValueError):
        mirtova.compile("X(1); F(x) :- X(x); F(x) :- F(x); @Recursive(F, 0); A := F(X: X);", "A")
    assert capfd.readouterr().err == "[WARNING] Failed to eliminate recursion of F.\n"
