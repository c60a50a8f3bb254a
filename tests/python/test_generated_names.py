"""The predicates the compiler makes for itself (recursion levels and tables,
functor copies, constants, aggregation helpers) never take a name the program
uses, and never show: compile_all lists what the program defines, and every
message names predicates as the user wrote them."""

import pytest

import mirtova
from compile_engines import as_multiset
from pg_engine import any_engine, pg_cluster  # noqa: F401  (the fixtures)

EDGES = [(1, 2), (2, 3), (3, 4)]
CLOSURE = [(1, 2), (2, 3), (3, 4), (1, 3), (2, 4), (1, 4)]

LINEAR = "P(x, y) distinct :- E(x, y); P(x, z) distinct :- P(x, y), E(y, z); @Recursive(P, {depth});"
DOUBLING = "P(x, y) distinct :- E(x, y); P(x, z) distinct :- P(x, y), P(y, z); @Recursive(P, {depth});"
MUTUAL = ("Odd(x, y) distinct :- E(x, y); Odd(x, z) distinct :- Even(x, y), E(y, z);"
          "Even(x, z) distinct :- Odd(x, y), E(y, z); @Recursive(Odd, {depth});")
ODD = [(1, 2), (2, 3), (3, 4), (1, 4)]

# A predicate of the user's named like one the compiler would make beside it:
# (id, program, predicate, rows). Each program also asks for the user's own
# predicate, whose one row must stay its own: the last case of each pair.
CASES = []
for name, program, predicate, rows, own in [
    ("semi-naive table", LINEAR.format(depth=30), "P", CLOSURE, "P_sn_full"),
    ("semi-naive level", LINEAR.format(depth=30), "P", CLOSURE, "P_sn_t1"),
    ("one-step form", LINEAR.format(depth=30), "P", CLOSURE, "P_ROne"),
    ("iterative level", DOUBLING.format(depth=30), "P", CLOSURE, "P_ifr2"),
    ("vertical level", LINEAR.format(depth=5), "P", CLOSURE, "P_r0"),
    ("vertical template", LINEAR.format(depth=5), "P", CLOSURE, "P_recursive_head"),
    ("horizontal level", MUTUAL.format(depth=5), "Odd", ODD, "Even_fr1"),
    ("functor copy", "G(x, y) :- X(x, y); F(x, y) :- G(x, y); P := F(X: E);", "P", EDGES, "G_f1"),
    ("constant", "Above(x, y) :- E(x, y), x > Bound(); Bound() = 0; P := Above(Bound: 2);", "P", [(3, 4)],
     "QuorilCompilerConstant0"),
]:
    source = f"{program} {own}(8, 8);"
    CASES.append(pytest.param(source, predicate, rows, id=f"{name}: the recursion"))
    CASES.append(pytest.param(source, own, [(8, 8)], id=f"{name}: the user's predicate"))

CASES += [
    # Two recursions, the second named like the first one's names would be
    # had the user's predicate not moved them.
    pytest.param(LINEAR.format(depth=30) + LINEAR.replace("P", "P_1").format(depth=30) + "P_sn_full(8, 8);",
                 "P_1", CLOSURE, id="a second recursion named like the first one's moved names"),
    pytest.param("D(s? += x) distinct :- E(x, _); D(s? += x) distinct :- E(_, x); D_MultBodyAggAux(s: 100);",
                 "D", [(15,)], id="aggregation helper"),
    pytest.param("F(x, y) :- G(x, y); F(x, y) :- H(x, y); G(x, y) :- X(x, y); H(1, 1);"
                 "P := F(X: nil); NullifiedG_f1(8, 8);", "P", [(1, 1)], id="predicate proven empty"),
]


@pytest.mark.parametrize("as_plan", [False, True], ids=["script", "plan"])
@pytest.mark.parametrize("source, predicate, want", CASES)
def test_made_names_keep_clear_of_the_users(any_engine, source, predicate, want, as_plan):
    engine = any_engine({"E": EDGES})
    if as_plan:
        got = engine.run_plan(mirtova.plan(source, predicate, engine=any_engine.name))
    else:
        got = engine.run_script(mirtova.compile(source, predicate, engine=any_engine.name))
    assert as_multiset(got) == as_multiset(want)


@pytest.mark.parametrize("source, names", [
    ("D(x) distinct :- A(x); D(x) distinct :- B(x);", ["D"]),
    ("S(s? += x) distinct :- E(x); S(s? += x) distinct :- F(x); T(x) :- S(s: x);", ["S", "T"]),
    (LINEAR.format(depth=30) + "Q(x) :- P(x, _);", ["P", "Q"]),
    (MUTUAL.format(depth=5), ["Even", "Odd"]),
    ("G(x) :- X(x); F(x) :- G(x); A := F(X: E); Bound() = 1;", ["A", "Bound", "F", "G"]),
])
def test_compile_all_lists_what_the_program_defines(source, names):
    assert sorted(mirtova.compile_all(source)) == names


@pytest.mark.parametrize("source, predicate, message", [
    ("P(x) distinct :- E(x); P(x) distinct :- P(y), E2(y, x); @Recursive(P, 0);", "P",
     "Compile error in rule: P(x) distinct :- P(y), E2(y, x)\n"
     "Predicate 'P' depends on itself: its recursion was not unfolded."),
    ("P(x, y) :- E(x, y); P(x, z) :- P(a: x), E(x, z); @Recursive(P, 30);", "P",
     "Compile error in rule: P(x, z) :- P(a: x), E(x, z)\nPredicate 'P' has no column 'a'."),
    ("P(x, y) :- E(x, y); P(x, z) :- P(a: x), E(x, z); @Recursive(P, 5);", "P",
     "Compile error in rule: P(x, z) :- P(a: x), E(x, z)\nPredicate 'P' has no column 'a'."),
    (LINEAR.format(depth=2000), "P",
     "Compile error: Iteration 'P' repeats 2000 times, more than the 1000 that one script may hold; use plan() "
     "to run it as a loop."),
    ("@Ground(Cur); Cur(x) :- Start(x); @Ground(Next, Nxt); Next(y) :- Cur(x), y == x + 1; @Ground(Again, Cur);"
     "Again(y) :- Next(x), y == x; @Iteration(Count, predicates: [Next, Again], repetitions: 3000);"
     "Result(x) :- Again(x); Start(0); Seed(5); O := Result(Start: Seed);", "O",
     "Compile error: Iteration 'Count' repeats 3000 times, more than the 1000 that one script may hold; use "
     "plan() to run it as a loop."),
    ("F(x) :- X(x); A(x) distinct :- E(x); A := F(X: E);", "A",
     "Compile error in rule: F(x) :- X(x)\n"
     "Rules of predicate 'A' disagree on distinct: either all of them are distinct or none is."),
], ids=["a recursion left in place", "a level's column", "a chain's column", "a semi-naive loop",
        "a functor's copy of a loop", "a made predicate's rules disagree on distinct"])
def test_messages_name_predicates_as_written(source, predicate, message):
    with pytest.raises(ValueError) as e:
        mirtova.compile(source, predicate)
    assert str(e.value) == message
