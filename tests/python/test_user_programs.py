"""Programs written as a new user writes them, grouped by feature, run on DuckDB,
SQLite and PostgreSQL (as a script, and as a plan when they hold a loop) and
compared with rows worked out by hand."""

import os

import pytest

import mirtova
from compile_engines import Engine, as_multiset
from pg_engine import PgEngine, pg_cluster  # noqa: F401  (the fixture)
from test_engine_rows import same_rows

ENGINES = ["duckdb", "sqlite", "psql"]

PERSON = {"Person": [{"name": "ann", "age": 31, "city": "oslo"}, {"name": "ben", "age": 17, "city": "rome"},
                     {"name": "cid", "age": 52, "city": "oslo"}, {"name": "dee", "age": 40, "city": "lima"}]}
ORDERS = {"Orders": [{"id": 1, "who": "ann", "amt": 10}, {"id": 2, "who": "ann", "amt": 5},
                     {"id": 3, "who": "cid", "amt": 7}, {"id": 4, "who": "zed", "amt": 1}]}
V = {"V": [{"k": "a", "v": 1}, {"k": "a", "v": None}, {"k": "a", "v": 2}, {"k": "b", "v": None},
           {"k": None, "v": 5}, {"k": None, "v": 6}]}
CHAIN = {"E": [(i, i + 1) for i in range(1, 30)]}
TREE = {"Parent": [("a", "b"), ("a", "c"), ("b", "d"), ("d", "e"), ("c", "f")]}
WORDS = 'W("Apple"); W("apricot"); W("a_b"); W("axb"); W("50%"); W("5000"); W("a*c"); W("a[c"); W("a?c"); W("Ésa"); W("ésa");'
GEO = [("geo/cities.l", 'Capital("oslo", "no"); Capital("rome", "it"); Capital("lima", "pe");\n'
                        'BigCity(c) :- Capital(c, _), c != "lima";\n'),
       ("geo/util.l", "Twice(x) = 2 * x;\nAdults(n) :- Person(name: n, age: a), a >= 18;\n"),
       ("geo/deep/chain.l", "import geo.cities.BigCity;\nBigAdult(n) :- Person(name: n, city: c), BigCity(c);\n")]

# feature -> [(id, program, predicate, tables, rows)]; rows in order when the id
# ends in "(ordered)".
CASES = {
    "records and lists": [
        ("nested record path",
         'Emp(name: "ann", info: {dept: "eng", addr: {city: "oslo"}}); Emp(name: "ben", info: {dept: "ops", addr: {city: "rome"}});'
         ' Q(name:, city:) :- Emp(name:, info:), city == info.addr.city, info.dept == "eng";', "Q", {}, [("ann", "oslo")]),
        ("record of table columns read back",
         "P(p: {n: name, a: age}) :- Person(name:, age:); Q(n) :- P(p:), p.a > 35, n == p.n;", "Q", PERSON,
         [("cid",), ("dee",)]),
        ("list field of a record unnested",
         'T(r: {k: "a", vs: [1, 2]}); T(r: {k: "b", vs: [5]}); Q(k, v) :- T(r:), k == r.k, v in r.vs;', "Q", {},
         [("a", 1), ("a", 2), ("b", 5)]),
        ("list of records unnested",
         'T(items: [{n: "x", q: 2}, {n: "y", q: 3}]); Q(n, d) :- T(items:), it in items, n == it.n, d == 2 * it.q;',
         "Q", {}, [("x", 4), ("y", 6)]),
        ("size of a list aggregate",
         "G(city:, names? List= name) distinct :- Person(name:, city:); Q(city, k) :- G(city:, names:), k == Size(names);",
         "Q", PERSON, [("oslo", 2), ("rome", 1), ("lima", 1)]),
        ("element out of range", "Q(a, b) :- l == [1, 2], a == Element(l, 5), b == Element(l, -1);", "Q", {},
         [(None, None)]),
    ],
    "aggregation": [
        ("sum, count, max with nulls and a null group",
         "S(k:, s? += v, n? Count= v, m? Max= v) distinct :- V(k:, v:);", "S", V,
         [("a", 3, 2, 2), ("b", None, 0, None), (None, 11, 2, 6)]),
        ("multi-body aggregation", 'T(k:, s? += v) distinct :- V(k:, v:); T(k:, s? += 100) distinct :- k == "b";', "T",
         V, [("a", 3), ("b", 100), (None, 11)]),
        ("argmax per group", "Oldest(city:, who? ArgMax= name -> age) distinct :- Person(name:, age:, city:);",
         "Oldest", PERSON, [("oslo", "cid"), ("rome", "ben"), ("lima", "dee")]),
        ("combines over empty input", "Q(s, n) :- s == Sum{v :- V(v:), v > 100}, n == Count{v :- V(v:), v > 100};",
         "Q", V, [(None, 0)]),
        ("rank by counting greater totals",
         "Tot(city:, s? += age) distinct :- Person(city:, age:);"
         " Rank(city, r) :- Tot(city:, s:), r == 1 + Count{c :- Tot(city: c, s: t), t > s};", "Rank", PERSON,
         [("oslo", 1), ("lima", 2), ("rome", 3)]),
        ("count of distinct records", 'P(1, "a"); P(1, "a"); P(2, "a"); N(n? Count= {x:, y:}) distinct :- P(x, y);',
         "N", {}, [(2,)]),
    ],
    "negation and disjunction": [
        ("negated conjunction", "Q(n) :- Person(name: n), ~(Orders(who: n, amt: a), a > 6);", "Q",
         {**PERSON, **ORDERS}, [("ben",), ("dee",)]),
        ("negation of an aggregate",
         "Spent(who:, s? += amt) distinct :- Orders(who:, amt:); Big(w) :- Spent(who: w, s:), s > 8;"
         " Q(n) :- Person(name: n), ~Big(n);", "Q", {**PERSON, **ORDERS}, [("ben",), ("cid",), ("dee",)]),
        ("implication", "Q(n) :- Person(name: n), (Orders(who: n, amt: a) => a > 6);", "Q", {**PERSON, **ORDERS},
         [("ben",), ("cid",), ("dee",)]),
        ("negation keeps a null key", 'U(k: "a"); U(k: null); Q(k, v) :- V(k:, v:), ~U(k:);', "Q", V,
         [("b", None), (None, 5), (None, 6)]),
        ("disjunction binding a text", 'Q(n, t) :- Person(name: n, age: a), (a < 20, t == "young" | a > 50, t == "old");',
         "Q", PERSON, [("ben", "young"), ("cid", "old")]),
    ],
    "functions and functors": [
        ("a function argument left out that the body binds",
         "N(1); N(2); F(x, y) = x + y :- N(x), N(y); Q(v: F(1)) :- N(1);", "Q", {}, [(2,), (3,)]),
        ("if-then-else function",
         'Band(a) = if a < 18 then "minor" else if a < 50 then "adult" else "senior"; Q(n, b) :- Person(name: n, age: a), b == Band(a);',
         "Q", PERSON, [("ann", "adult"), ("ben", "minor"), ("cid", "senior"), ("dee", "adult")]),
        ("aggregating function gives null for no rows",
         "Spent(who:) += amt :- Orders(who:, amt:); Q(n, s) :- Person(name: n), s == Spent(who: n);", "Q",
         {**PERSON, **ORDERS}, [("ann", 15), ("ben", None), ("cid", 7), ("dee", None)]),
        ("functor of a functor",
         "Base(x) :- x in [1, 2]; Plus(x + 1) :- Base(x); B2(x) :- x in [5]; P2 := Plus(Base: B2); B3(x) :- P2(x);"
         " P3 := Plus(Base: B3); Q(x) :- P3(x);", "Q", {}, [(7,)]),
        ("functor of a recursive predicate",
         "R(x, y) distinct :- E(x, y); R(x, z) distinct :- R(x, y), E(y, z); @Recursive(R, 10);"
         " E2(x, y) :- x in [5, 6], y == x + 1; R2 := R(E: E2); Q(x, y) :- R2(x, y);", "Q", {"E": [(1, 2)]},
         [(5, 6), (6, 7), (5, 7)]),
        ("functor keeps order and limit (ordered)",
         'Top(x) :- S(x); @OrderBy(Top, "col0 desc"); @Limit(Top, 2); S1(x) :- x in [4, 9, 2, 7]; T1 := Top(S: S1);',
         "T1", {}, [(9,), (7,)]),
    ],
    "recursion": [
        ("closure of a 30-node chain", "R(x, y) distinct :- E(x, y); R(x, z) distinct :- R(x, y), E(y, z);"
         " @Recursive(R, 100); Q(n? Count= y) distinct :- R(1, y);", "Q", CHAIN, [(29,)]),
        ("generations by Min", "Anc(x, y, g? Min= 1) distinct :- Parent(x, y);"
         " Anc(x, z, g? Min= h + 1) distinct :- Anc(x, y, g: h), Parent(y, z); @Recursive(Anc, 10);", "Anc", TREE,
         [("a", "b", 1), ("a", "c", 1), ("b", "d", 1), ("d", "e", 1), ("c", "f", 1), ("a", "d", 2), ("a", "f", 2),
          ("b", "e", 2), ("a", "e", 3)]),
        ("mutual recursion", "A(x) distinct :- x == 1; A(y) distinct :- B(x), y == x + 1, y < 8;"
         " B(y) distinct :- A(x), y == x + 1, y < 8; @Recursive(A, 20); @Recursive(B, 20);", "B", {},
         [(2,), (4,), (6,)]),
        ("path list accumulated", "P(x, y, path: [x, y]) distinct :- E(x, y);"
         " P(x, z, path: ArrayConcat(p, [z])) distinct :- P(x, y, path: p), E(y, z); @Recursive(P, 5);"
         " Q(path) :- P(1, 4, path:);", "Q", {"E": [(1, 2), (2, 3), (3, 4)]}, [([1, 2, 3, 4],)]),
        ("negation of a recursive predicate", 'Reach(y) distinct :- y == "a"; Reach(y) distinct :- Reach(x), Parent(x, y);'
         " @Recursive(Reach, 10); All(x) distinct :- Parent(x, _); All(y) distinct :- Parent(_, y); Q(x) :- All(x), ~Reach(x);",
         "Q", {"Parent": [("a", "b"), ("b", "c"), ("x", "y")]}, [("x",), ("y",)]),
    ],
    "ordering and grounding": [
        ("order by two columns (ordered)", 'Q(city:, name:) :- Person(city:, name:); @OrderBy(Q, "city", "name desc");',
         "Q", PERSON, [("lima", "dee"), ("oslo", "cid"), ("oslo", "ann"), ("rome", "ben")]),
        ("nulls last when descending (ordered)", 'Q(k:, v:) :- V(k:, v:), v is not null; @OrderBy(Q, "v desc");', "Q",
         V, [(None, 6), (None, 5), ("a", 2), ("a", 1)]),
        ("grounded aggregate joined back", "@Ground(Tot); Tot(city:, n? += 1) distinct :- Person(city:);"
         " Q(name, n) :- Person(name:, city:), Tot(city:, n:);", "Q", PERSON,
         [("ann", 2), ("ben", 1), ("cid", 2), ("dee", 1)]),
    ],
    "imports": [
        ("renamed import", "import geo.cities.BigCity as Big; Q(n) :- Person(name: n, city: c), Big(c);", "Q", PERSON,
         [("ann",), ("ben",), ("cid",)]),
        ("imported function", "import geo.util.Twice; Q(n, t) :- Person(name: n, age: a), a < 20, t == Twice(a);", "Q",
         PERSON, [("ben", 34)]),
        ("import through an importing file", "import geo.deep.chain.BigAdult; Q(n) :- BigAdult(n);", "Q", PERSON,
         [("ann",), ("ben",), ("cid",)]),
    ],
    "text and numbers": [
        ("like is case-sensitive", WORDS + ' Q(w) :- W(w), Like(w, "ap%");', "Q", {}, [("apricot",)]),
        ("like with an escaped wildcard", WORDS + ' Q(w, a, b) :- W(w), a == Like(w, "a\\_b"), b == Like(w, "%\\%"),'
         " a || b;", "Q", {}, [("a_b", True, False), ("50%", False, True)]),
        ("like of GLOB's own characters", WORDS + ' Q(w) :- W(w), Like(w, "a*%") || Like(w, "a[_") || Like(w, "a?c");',
         "Q", {}, [("a*c",), ("a[c",), ("a?c",)]),
        ("like of letters beyond ASCII", WORDS + ' Q(w) :- W(w), Like(w, "é_a");', "Q", {}, [("ésa",)]),
        ("like of a null", 'Q(x) :- x == Like(null, "a%");', "Q", {}, [(None,)]),
        ("join of a sorted list aggregate",
         'G(city:, ns? List= name) distinct :- Person(name:, city:); Q(city, s) :- G(city:, ns:), s == Join(Sort(ns), "+");',
         "Q", PERSON, [("oslo", "ann+cid"), ("rome", "ben"), ("lima", "dee")]),
        ("rounding family", "Q(a, b, c, d) :- a == Floor(2.7), b == Ceil(2.1), c == Round(2.567, 2), d == Trunc(-2.7);",
         "Q", {}, [(2, 3, 2.57, -2)]),
    ],
}

ROWS = [pytest.param(feature, *case, id=f"{feature}: {case[0]}") for feature, cases in CASES.items() for case in cases]


def _engine(request, name, tables):
    if name == "psql":
        return PgEngine(request.getfixturevalue("pg_cluster"), tables)
    return Engine(name, tables)


def _import_root(tmp_path):
    for rel, text in GEO:
        path = tmp_path / rel
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    return [str(tmp_path)]


def _close_to(rows):
    return [tuple(round(v, 9) if isinstance(v, float) else v for v in row) for row in rows]


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("feature, name, source, predicate, tables, want", ROWS)
def test_user_program_rows(request, tmp_path, engine, feature, name, source, predicate, tables, want):
    options = {"import_root": _import_root(tmp_path)} if feature == "imports" else {}
    runs = [("script", mirtova.compile(source, predicate, engine=engine, **options))]
    plan = mirtova.plan(source, predicate, engine=engine, **options)
    if any(step["kind"] == "loop" for step in plan):
        runs.append(("plan", plan))
    for mode, program in runs:
        runner = _engine(request, engine, tables)
        try:
            got = runner.run_script(program) if mode == "script" else runner.run_plan(program)
        finally:
            if engine == "psql":
                runner.close()
        got = _close_to(got)
        if name.endswith("(ordered)"):
            assert got == want, mode
        else:
            assert same_rows(engine, got, want), mode


KEEPS_SEVERAL = ("{0} is an aggregate that takes how many values to keep: name it with the count, `Top2(x) = "
                 "{0}(x, 2);`, and aggregate with it in a head with distinct, `best? Top2= item -> score`.")


# Programs a user gets wrong: the message says what is wrong with the call.
@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize(
    "source, predicate, message",
    [
        ("F(x, y) = x + y; Q(z) :- z == F(1, 2, 3);", "Q", "Predicate 'F' has no column 'col2'."),
        ("F(x, y) = x + y; Q(z) :- z == F(1, w: 3);", "Q", "Predicate 'F' has no column 'w'."),
        ("F(x, y) = x + y; Q(z) :- z == F(1);", "Q", "Function 'F' is called without a value for its argument 'col1'."),
        ("F(x, y:) = x + y; Q(z) :- z == F(1);", "Q", "Function 'F' is called without a value for its argument 'y'."),
        # A function with a body, whose body never binds the argument left out.
        ("N(1); F(a:, b:) = a + b :- N(a); Q(v: F(a: 1)) :- N(1);", "Q",
         "Function 'F' is called without a value for its argument 'b'."),
        # The aggregations that keep several values, written any way but a
        # named count aggregated in a head with distinct or in a combine.
        ("T(1, 5); Q(m? ArgMaxK= x) distinct :- T(x, y);", "Q",
         KEEPS_SEVERAL.format("ArgMaxK")),
        ("T(1, 5); Q(x, ArgMaxK(x -> y, 2)) distinct :- T(x, y);", "Q", KEEPS_SEVERAL.format("ArgMaxK")),
        ("T(1, 5); Q(x, m) :- T(x, y), m == ArgMinK(x -> y, 2);", "Q", KEEPS_SEVERAL.format("ArgMinK")),
        ("T(1, 5); Top2(x) = ArgMaxK(x, 2); Q(x, Top2(x -> y)) distinct :- T(x, y);", "Q",
         KEEPS_SEVERAL.format("ArgMaxK")),
        ("T(1, 5); Q(x, m) :- T(x, _), m == ArgMinK{z -> y :- T(z, y)};", "Q", KEEPS_SEVERAL.format("ArgMinK")),
        ('@Ground(Old, "old_people"); Old(n) :- Person(name: n); Q(n) :- Old(n);', "Q",
         "@Ground(Old): the second argument names the predicate whose table receives the rows, as in @Ground(Old, Other)"),
    ],
)
def test_user_program_refused(engine, source, predicate, message):
    with pytest.raises(ValueError) as error:
        mirtova.compile(source, predicate, engine=engine)
    assert str(error.value).endswith("\n" + message)
