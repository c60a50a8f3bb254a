"""Plans and scripts: materialised steps, loops, ordering, paging, search,
compile_all, and the refusals the host sees."""

import pytest

import mirtova
from compile_engines import Engine, as_multiset, run
from differential_programs import generate, program_text

MEASURE = {"Measure": [(5,), (11,), (20,), (30,), (12,)]}

TOP = """
@Ground(Big);
Big(x) :- Measure(x), x > 10;
Top(x) :- Big(x);
@OrderBy(Top, "col0 desc");
@Limit(Top, 3);
"""

# Each repetition: Next = Cur + 1, then Cur = 2 * Next.
DOUBLING = """
@Ground(Cur); Cur(0);
@Ground(Next, Nxt);
Next(y) :- Cur(x), y == x + 1;
@Ground(Again, Cur);
Again(y) :- Next(x), y == 2 * x;
@Iteration(Doubling, predicates: [Next, Again], repetitions: 3);
Result(x) :- Again(x);
"""

# A transitive closure that accumulates the new pairs of each step.
CLOSURE = """
Edge(1, 2); Edge(2, 3); Edge(3, 4);
@Ground(Full); Full(x, y) distinct :- Edge(x, y);
@Ground(Delta); Delta(x, y) distinct :- Edge(x, y);
New(x, z) distinct :- Delta(x, y), Edge(y, z), ~Full(x, z);
@Ground(Back, Delta);
Back(x, y) distinct :- New(x, y);
@Iteration(Delta, predicates: [New, Back], repetitions: 10, accumulate: Full);
Closure(x, y) :- Full(x, y);
"""


@pytest.mark.parametrize("engine", ["duckdb", "sqlite"])
@pytest.mark.parametrize(
    "source, predicate, tables, want",
    [
        (TOP, "Top", MEASURE, [(30,), (20,), (12,)]),
        (DOUBLING, "Result", {}, [(14,)]),
        (CLOSURE, "Closure", {},
         [(1, 2), (1, 3), (1, 4), (2, 3), (2, 4), (3, 4)]),
    ],
    ids=["grounded", "loop", "accumulating loop"],
)
def test_plan_and_script_give_the_same_rows(source, predicate, tables, want, engine):
    script_rows = Engine(engine, tables).run_script(mirtova.compile(source, predicate, engine=engine))
    plan_rows = Engine(engine, tables).run_plan(mirtova.plan(source, predicate, engine=engine))
    assert as_multiset(script_rows) == as_multiset(want)
    assert as_multiset(plan_rows) == as_multiset(want)


def test_plan_step_shapes():
    steps = mirtova.plan(DOUBLING, "Result")
    # Cur's first rows; Nxt made empty, so that the first round has a table to
    # compare with; the loop; the main query.
    assert [s["kind"] for s in steps] == ["setup", "sql", "sql", "loop", "sql"]
    loop = steps[3]
    assert list(loop) == ["kind", "body", "repetitions", "changed"]
    # Copies of the two tables the loop writes, taken at the start of a round, then its two members.
    assert loop["repetitions"] == 3 and len(loop["body"]) == 4
    assert list(steps[0]) == ["kind", "sql"]


@pytest.mark.parametrize("engine", ["duckdb", "sqlite"])
@pytest.mark.parametrize(
    "limit, offset, want",
    [
        (None, None, [(30,), (20,), (12,)]),
        (2, None, [(30,), (20,)]),
        (10, None, [(30,), (20,), (12,)]),
        (2, 1, [(20,), (12,)]),
        (None, 0, [(30,), (20,), (12,)]),
    ],
)
def test_ordering_limit_and_offset_page_in_order(engine, limit, offset, want):
    assert run(TOP, "Top", engine, MEASURE, limit=limit, offset=offset) == want


@pytest.mark.parametrize("limit, offset, want", [(2, 1, [(20,), (12,)]), (None, 2, [(12,), (11,)]), (1, 5, [])])
def test_row_number_paging_runs_on_duckdb(limit, offset, want):
    script = mirtova.compile(TOP, "Top", limit=limit, offset=offset, engine="presto")
    assert "ROW_NUMBER() OVER (ORDER BY col0 desc) AS mirtova_row" in script
    assert Engine("duckdb", MEASURE).run_script(script) == want


GRAND = 'Parent("alice", "bob"); Parent("bob", "carol"); Parent("al", "x"); Grandparent(a, c) :- Parent(a, b), Parent(b, c);'


@pytest.mark.parametrize("engine", ["duckdb", "sqlite"])
@pytest.mark.parametrize(
    "source, predicate, pattern, tables, want",
    [
        (GRAND, "Parent", "^al", {}, [("alice", "bob"), ("al", "x")]),
        (GRAND, "Grandparent", "rol$", {}, [("alice", "carol")]),
        ("M(x) :- Measure(x);", "M", "^1", MEASURE, [(11,), (12,)]),
        ("B(x, x > 15) :- Measure(x);", "B", "true", MEASURE, [(20, True), (30, True)]),
    ],
)
def test_search_keeps_matching_rows(source, predicate, pattern, tables, want, engine):
    script = mirtova.search(source, predicate, pattern, engine=engine)
    rows = Engine(engine, tables).run_script(script)
    if engine == "sqlite":
        want = [tuple(int(v) if isinstance(v, bool) else v for v in row) for row in want]
    assert as_multiset(rows) == as_multiset(want)
    plan = mirtova.plan(source, predicate, engine=engine, pattern=pattern)
    assert as_multiset(Engine(engine, tables).run_plan(plan)) == as_multiset(rows)


def with_chain(n, diamond=False):
    """Predicates of two rules, each read by the next as a WITH clause; with
    `diamond`, each also reads the one two before, and every fifth is stored."""
    text = "P0(x, y) :- E(x, y);"
    for i in range(1, n):
        back = f", P{i - 2}(y, w)" if diamond and i > 1 else ""
        text += f"P{i}(x, y) :- P{i - 1}(x, z), E(z, y){back}; P{i}(x, y) :- E(x, y), x > {i};"
        if diamond and i % 5 == 0:
            text += f"@Ground(P{i});"
    return text


# compile_all keeps each WITH clause a script writes for the next script that
# comes to it in the same state, so its scripts are checked against compile's,
# past the bound of 250 clauses waiting on one another too.
@pytest.mark.parametrize("engine", ["duckdb", "sqlite", "psql", "presto"])
@pytest.mark.parametrize("source", [TOP + GRAND + "Z(x) distinct :- Measure(x);", with_chain(30, diamond=True),
                                    with_chain(265)], ids=["small", "diamond", "past the bound"])
def test_compile_all_equals_compile_of_each(engine, source):
    scripts = mirtova.compile_all(source, engine=engine)
    if source.startswith(TOP):
        assert sorted(scripts) == ["Big", "Grandparent", "Parent", "Top", "Z"]
    # The scripts nearest the bound, and the first and last past it.
    names = sorted(scripts)[::7] + ["P248", "P249", "P250", "P251", "P264"]
    for name in [n for n in scripts if n in names or len(scripts) < 100]:
        assert scripts[name] == mirtova.compile(source, name, engine=engine), name
    assert mirtova.compile_all("@Engine(\"duckdb\");") == {}


def test_compile_all_equals_compile_of_each_on_generated_programs():
    for index in range(40):
        program = generate(19 * 100000 + index)
        source = program_text(program)
        for engine in ("duckdb", "psql"):
            try:
                scripts = mirtova.compile_all(source, engine=engine)
            except ValueError:
                continue
            for name, sql in scripts.items():
                assert sql == mirtova.compile(source, name, engine=engine), (index, engine, name)


def test_compile_all_leaves_out_functions_of_arguments():
    # A function has no rows until it is called; its callers and constants do.
    source = "Double(x) = 2 * x; M(1); Q(y) :- M(x), y == Double(x); Pi() = 3.14; Of(a) = n :- N(a, n);"
    assert sorted(mirtova.compile_all(source)) == ["M", "Of", "Pi", "Q"]
    # Nor one whose body only compares an argument, or leaves it out in one rule;
    # a body that gives the argument a value lists it.
    source = ("M(1); M(5); Above(x:) = y :- M(y), y > x; R(v) :- v == Above(x: 2); "
              "Either(x:) = y :- M(y), M(x); Either(x:) = y :- M(y); Given(x:) = y :- M(y), M(x), y > x;")
    scripts = mirtova.compile_all(source, engine="duckdb")
    assert sorted(scripts) == ["Given", "M", "R"]
    assert scripts["R"] == mirtova.compile(source, "R", engine="duckdb")
    assert Engine("duckdb", {}).run_script(scripts["R"]) == [(5,)]


@pytest.mark.parametrize(
    "source, predicate, message",
    [
        ("P(1);", "Q", "Compile error: Predicate 'Q' has no rules to compile."),
        ("Q(s) :- s == Size();", "Q",
         "Compile error in rule: Q(s) :- s == Size()\nBuilt-in function Size expects 1-1 arguments, got 0"),
        ("M(1); Big(x) :- M(x); Q(y) :- M(x), y == (if Big(x) then 1 else 0);", "Q",
         "Compile error in rule: Q(y) :- M(x), y == (if Big(x) then 1 else 0)\n"
         "Predicate 'Big' has no value to use here: only a function (a predicate defined with \"=\") can stand "
         "where a value is expected."),
        ("P(y) :- T(x);", "P",
         "Compile error in rule: P(y) :- T(x)\n"
         "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion."),
        ("Q(a: 1); P(x) :- Q(b: x);", "P", "Compile error in rule: P(x) :- Q(b: x)\nPredicate 'Q' has no column 'b'."),
        ("P(a: 1); P(b: 2);", "P", "Compile error in rule: P(b: 2)\n"
                                   "Rules of predicate 'P' define different columns: a and b."),
        ("@Limit(P, -1); P(1);", "P",
         "Compile error in rule: @Limit(P, -1)\n@Limit(P): the limit must be a whole number of rows, 0 or more"),
        ("@OrderBy(P, \"x; drop\"); P(1);", "P",
         "Compile error in rule: @OrderBy(P, \"x; drop\")\n@OrderBy(P): 'x; drop' is not a column to order by: "
         "write a column name, optionally followed by ASC or DESC"),
        ('@Engine("bigquery"); @OrderBy(Q, "agg desc"); T(1); Q(agg? List= x) distinct :- T(x);', "Q",
         "Compile error: @OrderBy(Q): column agg holds a list or a record, which engine bigquery does not order."),
        ("@Dataset(\"a b\"); P(1);", "P", "Compile error in rule: @Dataset(\"a b\")\n"
         "@Dataset: 'a b' is not a schema name: write names of letters, digits, '_' and '-', joined by '.'"),
        ("@Engine(duckdb); P(1);", "P",
         "Compile error in rule: @Engine(duckdb)\n@Engine needs the engine's name as a text, as in @Engine(\"duckdb\")"),
        ("@Engine(\"oracle\"); P(1);", "P",
         "Compile error: Unsupported engine 'oracle'. Supported engines: bigquery, sqlite, psql, trino, presto, "
         "databricks, duckdb."),
        ("@Ground(P, copy_to_file: \"/tmp/x\"); P(1);", "P", "Compile error in rule: "
         "@Ground(P, copy_to_file: \"/tmp/x\")\n@Ground: copy_to_file is not supported: a program writes no file"),
        ('P(x) :- x == 1, x == "a";', "P",
         "Compile error: Type inference error: Type mismatch: cannot match number with string at (0, 0)"),
        ("P(x) :- T(x); Q(x) :- P(x), x == Nothing(x);", "Q",
         "Compile error in rule: Q(x) :- P(x), x == Nothing(x)\n"
         "'Nothing' is neither a predicate of the program nor a built-in function"),
    ],
)
def test_refusals_reach_the_host_worded(source, predicate, message):
    with pytest.raises(ValueError) as e:
        mirtova.compile(source, predicate)
    assert str(e.value) == message


def test_type_checking_can_be_turned_off():
    source = '@Engine("sqlite", type_checking: false); P(x) :- x == 1, x == "a";'
    assert Engine("sqlite", {}).run_script(mirtova.compile(source, "P")) == []


def test_a_loop_too_long_for_one_script():
    source = DOUBLING.replace("repetitions: 3", "repetitions: 1001")
    with pytest.raises(ValueError) as e:
        mirtova.compile(source, "Result")
    assert str(e.value) == ("Compile error: Iteration 'Doubling' repeats 1001 times, more than the 1000 that one "
                            "script may hold; use plan() to run it as a loop.")
    assert mirtova.plan(source, "Result")[3]["repetitions"] == 1001


def test_imported_predicates_are_named_as_written(tmp_path):
    (tmp_path / "lib").mkdir()
    (tmp_path / "lib" / "util.l").write_text("P(x) :- T(x);\n")
    source = "import lib.util.P as Mine;\nQ(x) :- Mine(y: x);\n"
    roots = [str(tmp_path)]
    # compile_all knows the imported predicate by its internal name.
    assert sorted(mirtova.compile_all("import lib.util.P as Mine;\nOk(x) :- Mine(x);", import_root=roots)) == [
        "Ok", "Util_P"]
    assert '"T"' in mirtova.compile(source.replace("y: x", "x"), "Mine", engine="sqlite", import_root=roots)
    with pytest.raises(ValueError) as written:
        mirtova.compile(source, "Q", import_root=roots)
    assert str(written.value) == "Compile error in rule: Q(x) :- Mine(y: x)\nPredicate 'Mine' has no column 'y'."
    with pytest.raises(ValueError) as kept:
        mirtova.compile_all(source, import_root=roots)
    message = str(kept.value)
    assert message.endswith("Predicate 'Util_P' has no column 'y'.")


def test_threads_compile_the_same_scripts():
    from concurrent.futures import ThreadPoolExecutor

    jobs = [(TOP, "Top", engine) for engine in ("duckdb", "sqlite", "psql", "presto")] + [
        (CLOSURE, "Closure", "duckdb"), (GRAND, "Grandparent", "bigquery")]
    want = [mirtova.compile(s, p, engine=e) for s, p, e in jobs]
    with ThreadPoolExecutor(max_workers=8) as pool:
        for _ in range(4):
            got = list(pool.map(lambda job: mirtova.compile(job[0], job[1], engine=job[2]), jobs * 8))
            assert got == want * 8
