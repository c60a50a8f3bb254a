"""Assertions as a user meets them: their reports, the errors check gives for
them, and their counterexamples compiled and run on DuckDB and SQLite, the rows
compared with those worked out from the data."""

import inspect

import pytest

import mirtova
from compile_engines import Engine, as_multiset, statements

ENGINES = ["duckdb", "sqlite"]

PREDICATES = """
Person(name:, age:) :- People(name:, age:);
Link(src:, dst:) :- Edge(src:, dst:);
Known(id:) :- Node(id:);
Sale(item:, amount:) :- Orders(item:, amount:);
Spent(customer:, item:, amount:) :- Purchases(customer:, item:, amount:);
Customer(id:) :- Customers(id:);
"""


def violations_by(name, data):
    """The rows that break each assertion, worked out from the data."""
    people = [(p["name"], p["age"]) for p in data["People"]]
    nodes = {n["id"] for n in data["Node"]}
    spent = {}
    for p in data["Purchases"]:
        spent[p["customer"]] = spent.get(p["customer"], 0) + p["amount"]
    violated = [(1,)]
    return {
        "adult": [(n, a) for n, a in people if a < 18],
        "senior": [] if any(a >= 65 for _, a in people) else violated,
        "budget": violated if sum(o["amount"] for o in data["Orders"]) > 100 else [],
        "no_negative": violated if any(a < 0 for _, a in people) else [],
        "linked": [(e["src"], e["dst"]) for e in data["Edge"] if e["dst"] not in nodes],
        "not_twenty": [(n, a) for n, a in people if a + 1 == 21],
        "named": [(n, a) for n, a in people if a < 0],
        "frugal": [(c["id"],) for c in data["Customers"] if spent.get(c["id"], 0) > 50],
    }[name]


STATEMENTS = {
    # A universal statement with a comparison.
    "adult": "\u2200 n a, Person n a \u2192 a \u2265 18",
    # Existence, and its negation.
    "senior": "\u2203 n a, Person n a \u2227 a \u2265 65",
    "no_negative": "\u00ac \u2203 n a, Person n a \u2227 a < 0",
    "linked": "\u2200 a b, Link a b \u2192 \u2203 k, Known k \u2227 k = b",
    # Sums compared with a number, over everything and per customer.
    "budget": "(\u2211 i, Sale i) \u2264 100",
    "frugal": "\u2200 c, Customer c \u2192 (\u2211 i, Spent c i) \u2264 50",
    # Arithmetic compared within a tolerance; names written in capitals.
    "not_twenty": "\u2200 n a, Person n a \u2192 a + 1 \u2260 21",
    "named": "\u2200 Name Age, Person Name Age \u2192 Age \u2265 0",
}

# The program states every assertion in one annotation and ends without ";".
SOURCE = PREDICATES + "@Assert(Person, " + ", ".join(f'{k}: "{v}"' for k, v in STATEMENTS.items()) + ")"

HOLDING = {
    "People": [{"name": "ann", "age": 30}, {"name": "bob", "age": 45}, {"name": "cid", "age": 70}],
    "Edge": [{"src": 1, "dst": 2}, {"src": 2, "dst": 3}],
    "Node": [{"id": 1}, {"id": 2}, {"id": 3}],
    "Orders": [{"item": "a", "amount": 10}, {"item": "b", "amount": 20}],
    "Purchases": [{"customer": 1, "item": "a", "amount": 30}, {"customer": 1, "item": "b", "amount": 20},
                  {"customer": 2, "item": "a", "amount": 5}],
    "Customers": [{"id": 1}, {"id": 2}, {"id": 3}],
}

BREAKING = {
    "People": [{"name": "ann", "age": 30}, {"name": "bob", "age": 12}, {"name": "dan", "age": 20},
               {"name": "eve", "age": -3}],
    "Edge": [{"src": 1, "dst": 2}, {"src": 2, "dst": 9}, {"src": 3, "dst": 7}],
    "Node": [{"id": 1}, {"id": 2}, {"id": 3}],
    "Orders": [{"item": "a", "amount": 60}, {"item": "b", "amount": 50}],
    "Purchases": [{"customer": 1, "item": "a", "amount": 30}, {"customer": 1, "item": "b", "amount": 21},
                  {"customer": 2, "item": "a", "amount": 51}, {"customer": 3, "item": "c", "amount": 50}],
    "Customers": [{"id": 1}, {"id": 2}, {"id": 3}],
}


def test_every_statement_is_checkable():
    assert [(r["name"], r["status"], r["detail"]) for r in mirtova.assertions(SOURCE)] == [
        (name, "unchecked", None) for name in STATEMENTS]
    errors, warnings = mirtova.check(SOURCE)
    # The only errors: the tables the rules read are named like predicates that nothing defines.
    assert [e.split("'")[1] for e in errors] == ["People", "Edge", "Node", "Orders", "Purchases", "Customers"]
    assert all(e.startswith("Undefined predicate ") for e in errors) and warnings == []


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("data", [HOLDING, BREAKING], ids=["holding", "breaking"])
@pytest.mark.parametrize("name", list(STATEMENTS))
def test_counterexamples_are_the_violating_rows(engine, data, name):
    want = as_multiset(violations_by(name, data))
    if data is BREAKING:
        assert want, "the breaking data must break every statement"
    script = mirtova.counterexamples(SOURCE, "Person", name, engine=engine)
    assert as_multiset(Engine(engine, data).run_script(script)) == want
    plan = mirtova.plan(SOURCE, "Person", engine=engine, assertion=name)
    assert as_multiset(Engine(engine, data).run_plan(plan)) == want


def column_names(script):
    engine = Engine("duckdb", BREAKING)
    pieces = statements(script)
    for piece in pieces[:-1]:
        engine.run(piece)
    return [d[0] for d in engine.con.execute(pieces[-1]).description]


def test_the_columns_are_the_universal_variables():
    assert column_names(mirtova.counterexamples(SOURCE, "Person", "adult")) == ["n", "a"]
    assert column_names(mirtova.counterexamples(SOURCE, "Person", "senior")) == ["violated"]
    assert column_names(mirtova.counterexamples(SOURCE, "Person", "named")) == ["v__name", "v__age"]


def test_page_window_applies_to_the_counterexamples():
    engine = Engine("duckdb", BREAKING)
    rows = engine.run_script(mirtova.counterexamples(SOURCE, "Person", "named", limit=0))
    assert rows == []
    assert len(engine.run_script(mirtova.counterexamples(SOURCE, "Person", "adult", limit=1))) == 1


# The names the rules make up stay clear of the program's own predicates, in
# any case: the user's rows never pass for counterexamples, nor hide them.
@pytest.mark.parametrize("engine", ENGINES)
def test_generated_names_avoid_the_programs_names(engine):
    source = PREDICATES + """
        Assert_Person_adult(n: "zed", a: 1);
        ASSERT_PERSON_SOME(holds: 0);
        Assert_Person_some_1(holds: 0);
        Report(n:) :- Assert_Person_adult(n:);
        @Assert(Person, adult: "\u2200 n a, Person n a \u2192 a \u2265 18", some: "\u2203 n a, Person n a");
    """
    for data in [HOLDING, BREAKING]:
        for name in ["adult", "some"]:
            want = violations_by("adult", data) if name == "adult" else []
            script = mirtova.counterexamples(source, "Person", name, engine=engine)
            assert as_multiset(Engine(engine, data).run_script(script)) == as_multiset(want)
    # The user's own predicate keeps its rows.
    assert Engine(engine, {}).run_script(mirtova.compile(source, "Report", engine=engine)) == [("zed",)]


# A name bound twice gives one column; a free variable named like a word of the
# rule language is still a variable.
@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize(
    "statement, want",
    [
        ("\u2200 n n, Known n \u2192 n < 3", [(3,)]),
        ("\u2200 null, Known null \u2192 null \u2260 2", [(2,)]),
        ("Known true \u2192 true < 2", [(2,), (3,)]),
        ("\u2200 in is, Link in is \u2192 is = in + 1", [(2, 9), (3, 7)]),
    ],
)
def test_variables_of_any_spelling(engine, statement, want):
    source = PREDICATES + f'@Assert(Known, a: "{statement}");'
    script = mirtova.counterexamples(source, "Known", "a", engine=engine)
    assert as_multiset(Engine(engine, BREAKING).run_script(script)) == as_multiset(want)


def report(name, status, detail=None, statement="", predicate="P"):
    return {"predicate": predicate, "name": name, "statement": statement, "status": status, "detail": detail}


def test_reports_of_every_status():
    source = """
        P(a: 1);
        @Assert(P, fine: "\u2200 x, P x \u2192 x > 0", waits: "\u2200 x, P x \u2192 Q x \u2227 R x",
                bad: "\u2200 x \u2208 s, P x", unbound: "\u2200 x, P x",
                some: "\u2211 x, P x");
        @Assert(Later, a: "\u2200 x, P x \u2192 x > 0");
        @Assert(P, fine: "1 < 2");
    """
    reports = mirtova.assertions(source)
    assert [sorted(r) for r in reports] == [["detail", "name", "predicate", "statement", "status"]] * 6
    assert [{k: r[k] for k in ("predicate", "name", "status", "detail")} for r in reports] == [
        {"predicate": "P", "name": "fine", "status": "unchecked", "detail": None},
        {"predicate": "P", "name": "waits", "status": "pending", "detail": "waiting for Q, R"},
        {"predicate": "P", "name": "bad", "status": "unsupported", "detail": None},
        {"predicate": "P", "name": "unbound", "status": "unsupported",
         "detail": "variable 'x' is not bound by a predicate, so it has no values to check"},
        {"predicate": "P", "name": "some", "status": "unsupported", "detail": None},
        {"predicate": "Later", "name": "a", "status": "pending", "detail": "waiting for Later"},
    ]
    assert reports[0]["statement"] == "\u2200 x, P x \u2192 x > 0"
    errors, warnings = mirtova.check(source)
    assert [e for e in errors if "assertion" in e] == [
        "Invalid assertion 'P.bad': bounded binders ('\u2200 x \u2208 s, ...') are not supported (at character 5)",
        "Invalid assertion 'P.some': '\u2211 ...' is a value, not a formula",
        "Duplicate assertion 'P.fine': it is stated more than once",
    ]
    assert warnings == ["Assertion 'P.unbound' cannot be checked: "
                        "variable 'x' is not bound by a predicate, so it has no values to check"]


def test_check_orders_assertion_errors():
    source = """
        P(a: 1);
        @Assert(P, fine: "1 < 2", bad: "(");
        @Assert(P, fine: "2 < 3");
        @Assert(P);
        @Assert(a: "1 < 2");
        @Assert("P", a: "1 < 2");
        @Assert(P(), a: "1 < 2");
        @Assert(P, Q, a: "1 < 2");
        @Assert(P, z: "1 < 2", b: 1);
    """
    usage = 'expected @Assert(Predicate, name: "...")'
    errors, _ = mirtova.check(source)
    assert [e for e in errors if "ssert" in e] == [
        f"Malformed @Assert: no named argument; {usage}",
        f"Malformed @Assert: the first argument must be a predicate; {usage}",
        f"Malformed @Assert: the first argument must be a predicate; {usage}",
        f"Malformed @Assert: the first argument must be a predicate; {usage}",
        f"Malformed @Assert: unexpected positional argument; {usage}",
        "Malformed @Assert: 'b' must be a string",
        "Invalid assertion 'P.bad': expected a formula, found the end of the statement (at character 2)",
        "Duplicate assertion 'P.fine': it is stated more than once",
    ]
    assert [r["name"] for r in mirtova.assertions(source)] == ["fine", "bad"]


@pytest.mark.parametrize(
    "predicate, name, message",
    [
        ("P", "zz", "No assertion 'P.zz'"),
        ("Q", "fine", "No assertion 'Q.fine'"),
        ("P", "z", "No assertion 'P.z'"),  # its annotation is malformed
        ("P", "waits", "Assertion 'P.waits' is pending: waiting for Q, R"),
        ("P", "bad", "Invalid assertion 'P.bad': expected a formula, found the end of the statement (at character 2)"),
        ("P", "unbound", "Assertion 'P.unbound' cannot be checked: "
                         "variable 'x' is not bound by a predicate, so it has no values to check"),
    ],
)
def test_refusals(predicate, name, message):
    source = """
        P(a: 1);
        @Assert(P, fine: "1 < 2", waits: "Q 1 \u2227 R 1", bad: "(", unbound: "\u2200 x, P x");
        @Assert(P, z: "1 < 2", b: 1);
    """
    with pytest.raises(ValueError) as e:
        mirtova.counterexamples(source, predicate, name)
    assert str(e.value) == message
    with pytest.raises(ValueError) as e:
        mirtova.plan(source, predicate, assertion=name)
    assert str(e.value) == message


def test_a_duplicate_is_found_by_its_first_statement():
    source = 'P(a: 1); P(a: 5); @Assert(P, a: "\u2200 x, P x \u2192 x < 3"); @Assert(P, a: "\u2200 x, P x \u2192 x < 9");'
    assert Engine("duckdb", {}).run_script(mirtova.counterexamples(source, "P", "a")) == [(5,)]


def test_imported_predicates_under_the_names_written(tmp_path):
    (tmp_path / "lib").mkdir()
    (tmp_path / "lib" / "people.l").write_text(
        'Person(name: "ann", age: 30);\nPerson(name: "bob", age: 12);\n'
        '@Assert(Person, adult: "\u2200 n a, Person n a \u2192 a \u2265 18", waits: "Nobody 1");\n')
    source = "import lib.people.Person as Human;\nQ(x:) :- Human(name: x);"
    roots = [str(tmp_path)]
    # The statement as written, the predicate as the user names it.
    assert mirtova.assertions(source, import_root=roots) == [
        report("adult", "unchecked", None, "\u2200 n a, Person n a \u2192 a \u2265 18", "Human"),
        report("waits", "pending", "waiting for Nobody", "Nobody 1", "Human"),
    ]
    script = mirtova.counterexamples(source, "Human", "adult", import_root=roots)
    assert Engine("duckdb", {}).run_script(script) == [("bob", 12)]
    plan = mirtova.plan(source, "Human", engine="sqlite", import_root=roots, assertion="adult")
    assert Engine("sqlite", {}).run_plan(plan) == [("bob", 12)]
    with pytest.raises(ValueError, match="^No assertion 'Person.adult'$"):
        mirtova.counterexamples(source, "Person", "adult", import_root=roots)


# The rules follow the source even when its last statement has no ";" or a
# comment ends it.
@pytest.mark.parametrize("tail", ["", ";", "\n# the end", " # the end", " /* the end */", "\n"])
def test_rules_follow_any_ending(tail):
    source = 'P(a: 1); P(a: 5); @Assert(P, a: "\u2200 x, P x \u2192 x < 3")' + tail
    assert Engine("duckdb", {}).run_script(mirtova.counterexamples(source, "P", "a")) == [(5,)]


def test_counterexamples_refuse_before_compiling():
    with pytest.raises(ValueError, match="^Unsupported engine 'DuckDB'"):
        mirtova.counterexamples("P(", "P", "a", engine="DuckDB")
    with pytest.raises(ValueError, match="^Parsing:"):
        mirtova.counterexamples("P(", "P", "a")
    with pytest.raises(ValueError, match="^Parsing:"):
        mirtova.assertions("P(")


MODULE_FUNCTIONS = [
    ("parse", "(source, file_name=None, engine=None, import_root=None)",
     "Parse a Mirtova program and return its AST as a JSON string."),
    ("compile", "(source, predicate, limit=None, offset=None, engine=None, import_root=None)",
     "Compile one predicate of a Mirtova program to SQL."),
    ("search", "(source, predicate, pattern, limit=None, offset=None, engine=None, import_root=None)",
     "Compile a predicate to SQL that keeps only rows where some column matches"),
    ("compile_all", "(source, engine=None, import_root=None)",
     "Compile every defined predicate to SQL; returns {predicate_name: sql}."),
    ("check", "(source, engine=None, import_root=None)",
     "Validate a Mirtova program; returns `(errors, warnings)`, two lists of"),
    ("assertions", "(source, engine=None, import_root=None)", "Every `@Assert` of a program and where it stands."),
    ("counterexamples", "(source, predicate, name, limit=None, offset=None, engine=None, import_root=None)",
     "Compile the search for the counterexamples of an assertion to SQL."),
    ("plan", "(source, predicate, limit=None, offset=None, engine=None, import_root=None, pattern=None, "
             "assertion=None)",
     "The steps that compute a predicate, for a runner that executes them."),
    ("quote_value", "(text)", "A database value as a report shows it: a double-quoted literal, its line"),
    ("statement_text", "(text)", "An assertion's statement as a report shows it: on one line, the"),
    ("reserved_predicates", "()", "Predicate names Mirtova defines itself, sorted."),
    ("builtin_functions", "()", "Function and operator names Mirtova compiles to SQL, sorted."),
    ("front_matter", "(source)", "The YAML front matter opening a program file, verbatim, or None."),
]


def test_the_thirteen_functions():
    assert mirtova._mirtova.__all__ == ["SUPPORTED_ENGINES"] + [name for name, _, _ in MODULE_FUNCTIONS]
    for name, signature, first_line in MODULE_FUNCTIONS:
        fn = getattr(mirtova._mirtova, name)
        assert str(inspect.signature(fn)) == signature, name
        assert fn.__doc__.splitlines()[0] == first_line, name


def test_arguments_of_the_assertion_functions():
    with pytest.raises(TypeError, match=r"^counterexamples\(\) missing 1 required positional argument: 'name'$"):
        mirtova.counterexamples("P(a: 1);", "P")
    with pytest.raises(TypeError) as e:
        mirtova.counterexamples("P(a: 1);", "P", None)
    assert e.value.__notes__ == ["while processing 'name'"]
    with pytest.raises(TypeError, match=r"^assertions\(\) takes from 1 to 3 positional arguments but 4 were given$"):
        mirtova.assertions("", None, None, None)
    assert mirtova.assertions(source="P(a: 1);", engine="sqlite") == []
