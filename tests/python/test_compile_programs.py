"""Programs compiled for DuckDB and SQLite and run there against small tables."""

import pytest

from compile_engines import as_multiset, run

PEOPLE = {"Person": [{"name": "alice", "age": 30}, {"name": "bob", "age": 12}, {"name": "carol", "age": 45}]}
MEASURE = {"Measure": [(5,), (11,), (20,), (30,), (12,)]}
ONE_TWO = {"E": [(1,), (2,)]}
PAIRS = {"T": [(1, 10), (2, 20)]}
EMP = {"Emp": [{"name": "ann", "dept": "it"}, {"name": "bo", "dept": "it"}, {"name": "cy", "dept": "hr"}]}

# (id, program, predicate, tables, rows)
CASES = [
    ("facts and a join",
     'Parent("alice", "bob"); Parent("bob", "carol"); Grandparent(a, c) :- Parent(a, b), Parent(b, c);',
     "Grandparent", {}, [("alice", "carol")]),
    ("named columns and a condition", "Adult(name:, age:) :- Person(name:, age:), age >= 18;", "Adult", PEOPLE,
     [("alice", 30), ("carol", 45)]),
    ("arithmetic", "Out(x, y) :- Measure(x), x < 12, y == x * 2 + 1;", "Out", MEASURE, [(5, 11), (11, 23)]),
    ("functional predicate inlined", "Double(x) = 2 * x; Twice(y) :- Measure(x), x > 20, y == Double(x);", "Twice",
     MEASURE, [(60,)]),
    ("function with a body",
     "NameOf(a) = n :- Person(name: n, age: a); Who(n) :- Measure(x), n == NameOf(x);", "Who",
     {**MEASURE, **PEOPLE}, [("alice",), ("bob",)]),
    ("several rules per predicate", "P(x) :- Measure(x), x < 12; P(x) :- Measure(x), x > 25; Q(x) :- P(x), x > 6;",
     "Q", MEASURE, [(11,), (30,)]),
    ("distinct", "Dept(d) distinct :- Emp(dept: d);", "Dept", EMP, [("hr",), ("it",)]),
    ("aggregating head", "DeptSize(dept:, n? += 1) distinct :- Emp(name:, dept:);", "DeptSize", EMP,
     [("hr", 1), ("it", 2)]),
    ("maximum per group", "Oldest(m? Max= age) distinct :- Person(age:);", "Oldest", PEOPLE, [(45,)]),
    ("combine", "Total(t) :- t == Sum{x :- Measure(x)};", "Total", MEASURE, [(78,)]),
    ("correlated combine",
     "Above(x, n) :- Measure(x), x > 19, n == Sum{1 :- Measure(y), y > x};", "Above", MEASURE, [(20, 1), (30, None)]),
    ("negation", 'Friend("alice", "bob"); Lonely(x) :- Person(name: x), ~Friend(x, _);', "Lonely", PEOPLE,
     [("bob",), ("carol",)]),
    ("negation of a database table", "Unpaired(x) :- Measure(x), ~Person(age: x);", "Unpaired",
     {**MEASURE, **PEOPLE}, [(5,), (11,), (20,)]),
    ("inclusion", "Item(x) :- Basket(items: l), x in l;", "Item", {"Basket": [{"items": [1, 2]}, {"items": [3]}]},
     [(1,), (2,), (3,)]),
    ("chained inclusion", "Y(y) :- Nest(l:), x in l, y in x;", "Y", {"Nest": [{"l": [[1, 2], [3]]}]},
     [(1,), (2,), (3,)]),
    ("inclusion as a condition", "In(x) :- Measure(x), x in [5, 30, 7];", "In", MEASURE, [(5,), (30,)]),
    ("records and subscripts", "Contact(name: r.name, city: r.address.city) :- Customer(rec: r);", "Contact",
     {"Customer": [{"rec": {"name": "ann", "address": {"city": "Oslo"}}}]}, [("ann", "Oslo")]),
    ("record built and read", "R(p: {a: x, b: x + 1}) :- Measure(x), x < 6; S(v) :- R(p: r), v == r.b;", "S", MEASURE,
     [(6,)]),
    ("if-then-else", 'Size(x, s) :- Measure(x), x < 12, s == (if x > 10 then "big" else "small");', "Size", MEASURE,
     [(5, "small"), (11, "big")]),
    ("library aggregation ArgMin", "Youngest(b? ArgMin= n -> a) distinct :- Person(name: n, age: a);", "Youngest",
     PEOPLE, [("bob",)]),
    ("equality through the library", "E(y) :- Measure(x), x < 12, y = x + 1;", "E", MEASURE, [(6,), (12,)]),
    ("constant in a call", "Twelve(x) :- Measure(x), Measure(12);", "Twelve", MEASURE,
     [(5,), (11,), (20,), (30,), (12,)]),
    ("rest of a row", "R(..r) :- Person(..r), Person(name: \"bob\");", "R", PEOPLE,
     [("alice", 30), ("bob", 12), ("carol", 45)]),
    ("flag value", '@DefineFlag("f", "7"); P(x, y) :- Measure(x), x < 6, y == FlagValue("f");', "P", MEASURE,
     [(5, "7")]),
    ("disjunction in a body", "A(x) :- Measure(x), x > 25 | Measure(x), x < 6;", "A", MEASURE, [(30,), (5,)]),
    ("text functions", "Shout(u) :- Person(name: n, age:), age > 40, u == Upper(n);", "Shout",
     PEOPLE, [("CAROL",)]),
    # The library's Array orders values by their argument; a built-in of the
    # same name must not take its place.
    ("library aggregation Array", "Ages(l? Array= a -> n) distinct :- Person(name: n, age: a);", "Ages", PEOPLE,
     [(["bob", "alice", "carol"],)]),
    ("numbers to text and rounding",
     "T(s, r) :- Measure(x), x == 5, s == ToString(x / 2), r == Round(x / 3, 2);", "T", MEASURE,
     [("2.5", 1.67)]),
    # Every rule the user wrote counts, identical ones too: rules are joined with
    # UNION ALL, and an aggregation aggregates over the rows of all of them.
    ("identical facts", "F(1); F(1); F(2);", "F", {}, [(1,), (1,), (2,)]),
    ("identical rules", "P(x) :- Measure(x), x > 20; P(x) :- Measure(x), x > 20;", "P", MEASURE, [(30,), (30,)]),
    ("identical distinct rules", "D(x) distinct :- E(x); D(x) distinct :- E(x);", "D", ONE_TWO, [(1,), (2,)]),
    ("identical bodies of an aggregation",
     "S(s? += x, n? += 1) distinct :- E(x); S(s? += x, n? += 1) distinct :- E(x);", "S", ONE_TWO, [(6, 4)]),
    ("identical rules of a functor's copy", "F(x) :- X(x); F(x) :- X(x); A := F(X: E);", "A", ONE_TWO,
     [(1,), (1,), (2,), (2,)]),
    ("a copy shared by two functor calls",
     "G(x) :- X(x); F(x) :- G(x), x > 0; A := F(X: E); B := F(X: E); U(x) :- A(x); U(x) :- B(x);", "U", ONE_TWO,
     [(1,), (2,), (1,), (2,)]),
    # A function called in a rule that also reads it as a relation: the call's
    # sub-query reads its own copy of the table.
    ("function called beside its own table", "S(x) += y :- T(x, y); Q(x, S(x)) :- S(x);", "Q", PAIRS,
     [(1, 10), (2, 20)]),
    ("function called twice beside its own table", "S(x) += y :- T(x, y); Q(x, S(x) + S(x)) :- S(x), S(x) > 15;",
     "Q", PAIRS, [(2, 40)]),
    ("function called on its own value", "Next(x) Max= y :- Edge(x, y); Q(x, Next(Next(x))) :- Next(x);", "Q",
     {"Edge": [(1, 2), (2, 3), (3, 4)]}, [(1, 3), (2, 4), (3, None)]),
    # A condition inside a negation or a combine of an injected rule compares a
    # variable of the rule around it: it stays there and binds nothing outside.
    ("outer variable compared inside an injected negation",
     "P(y) :- E(x, y), ~(D(z, y), x == 1); Q(y) :- P(y);", "Q",
     {"E": [(4, 4), (1, 2)], "D": [(7, 4), (5, 2)]}, [(4,)]),
    ("outer variable compared inside an injected combine",
     "P(y, s) :- E(x, y), s == Sum{z :- D(z, y), x == 1}; Q(y, s) :- P(y, s);", "Q",
     {"E": [(4, 4), (1, 2)], "D": [(7, 4), (5, 2)]}, [(4, None), (2, 5)]),
]


@pytest.mark.parametrize("engine", ["duckdb", "sqlite"])
@pytest.mark.parametrize("case", CASES, ids=[c[0] for c in CASES])
def test_program_rows(case, engine):
    _, source, predicate, tables, want = case
    assert as_multiset(run(source, predicate, engine, tables)) == as_multiset(want)
