"""Random assertion statements over random small databases: the counterexamples
each engine finds (DuckDB, SQLite and PostgreSQL, as a script; one of them
also as a plan) against those of the evaluator in differential_assertions.

A pair is a statement and a database; MIRTOVA_ASSERTION_PAIRS sets how many run
(default 100) and MIRTOVA_ASSERTION_SEED the seed they are drawn from (default
7). A statement the compiler refuses as unsupported is skipped: there is no
verdict to compare. The first MIRTOVA_ASSERTION_SERVED_PAIRS of them (default 20)
and the examples run on Spark, Trino and Presto too, under those engines'
markers."""

import os

import pytest

import mirtova
from compile_engines import Engine
from differential_assertions import ARITY, expected, generate, program_text, row_order, sql_values, statement_text
from pg_engine import PgEngine, pg_cluster  # noqa: F401  (the fixture)
from test_engine_rows import SERVED, _engine

PAIRS = int(os.environ.get("MIRTOVA_ASSERTION_PAIRS", "100"))
SEED = int(os.environ.get("MIRTOVA_ASSERTION_SEED", "7"))
SERVED_PAIRS = int(os.environ.get("MIRTOVA_ASSERTION_SERVED_PAIRS", "20"))
PER_DATABASE = 5
ENGINES = ["duckdb", "sqlite", "psql"]


class Engines:
    """The engines holding the tables of the database the last pair read: the
    pairs of one database share them."""

    def __init__(self, cluster):
        self.cluster = cluster
        self.database = None
        self.open = {}

    def close(self):
        for engine in self.open.values():
            if isinstance(engine, PgEngine):
                engine.close()
        self.open = {}

    def names(self):
        return ENGINES if self.cluster else ENGINES[:2]

    def get(self, name, database, tables):
        if database != self.database:
            self.close()
            self.database = database
        if name not in self.open:
            engine = PgEngine(self.cluster, {}) if name == "psql" else Engine(name, {})
            for table, rows in tables.items():
                columns = ", ".join(f"col{i} BIGINT" for i in range(ARITY[table]))
                engine.run(f'CREATE TABLE "{table}" ({columns})')
                for row in rows:
                    engine.run(f'INSERT INTO "{table}" VALUES ({sql_values(row)})')
            self.open[name] = engine
        return self.open[name]


@pytest.fixture(scope="module")
def engines(request):
    try:
        cluster = request.getfixturevalue("pg_cluster")
    except pytest.skip.Exception:  # the other engines still run
        cluster = None
    held = Engines(cluster)
    yield held
    held.close()


def failures_of(engines, database, tables, texts, index, want, plan_on):
    """What each engine gets wrong about statement `index` of the texts; on
    the engine `plan_on` the plan runs too."""
    source, name = program_text(texts), f"s{index}"
    failures = []
    for engine_name in engines.names():
        engine = engines.get(engine_name, database, tables)
        for as_plan in [False, True] if engine_name == plan_on else [False]:
            try:
                if as_plan:
                    rows = engine.run_plan(mirtova.plan(source, "P", engine=engine_name, assertion=name))
                else:
                    rows = engine.run_script(mirtova.counterexamples(source, "P", name, engine=engine_name))
            except Exception as e:  # noqa: BLE001 - every failure is reported with its statement
                failures.append(f"{engine_name}: {type(e).__name__}: {e}")
                break
            if set(rows) != want:
                failures.append(f"{engine_name}{' plan' if as_plan else ''}: {sorted(set(rows), key=row_order)}")
    return failures


def fail_with(failures, database, tables, text, want):
    if failures:
        pytest.fail("\n".join([f"database {database}: {text}", f"tables {tables}", f"want {sorted(want, key=row_order)}"]
                              + failures), pytrace=False)


@pytest.mark.parametrize("index", range(PAIRS))
def test_counterexamples_agree_with_the_meaning(index, engines):
    database = SEED * 1_000_003 + index // PER_DATABASE
    tables, statements = generate(database, PER_DATABASE)
    texts = [statement_text(*s) for s in statements]
    at = index % PER_DATABASE
    report = mirtova.assertions(program_text(texts))[at]
    assert report["name"] == f"s{at}" and report["status"] in ("unchecked", "unsupported"), report
    if report["status"] == "unsupported":
        pytest.skip(f"{report['detail']}: {texts[at]}")
    want = expected(tables, statements[at])
    failures = failures_of(engines, database, tables, texts, at, want, ENGINES[index % 3])
    fail_with(failures, database, tables, texts[at], want)


def tables_of(u=(), e=(), dag=(), w=()):
    return {"U": list(u), "E": list(e), "Dag": list(dag), "W": list(w)}


NESTED = "∀ z, P z → ∃ w, Q w w ∧ ∀ y, Q z y → F z > y"
SUM_FIXED_POINT = "∀ y, (∃ z, ((z = (∑ t, R z t)) ∧ (∀ w, (P w → ((∑ u, R y u) ≥ (∑ v s, R v s))))))"
MANY_RULES = "∀ y, (P y → ((∃ z, (Q z 2 ∧ ((y = (∑ w, (F w + w))) ∨ (R z y ≤ z)))) → (¬ (Q 2 1 ↔ ((∑ u, Q u) ≥ F 3)))))"

# Faults the random pairs found, as their smallest statements, with the rows
# worked out by hand.
EXAMPLES = [
    # A universal inside another takes the values of the shared z from the
    # enclosing rule, not from a column of F read further in.
    (NESTED, tables_of(u=[(1,)], e=[(5, 5)]), set()),
    (NESTED, tables_of(u=[(1,)], e=[(5, 5)], dag=[(1, 0)]), set()),
    (NESTED, tables_of(u=[(1,)], e=[(5, 5), (1, 3)], dag=[(1, 2)]), {(1,)}),
    ("∀ z, P z → ∃ w, ∀ y, Q z y → F z > 0", tables_of(u=[(1,)]), set()),
    ("∀ z, P z → ∃ w, ∀ y, Q z y → F z > 0", tables_of(u=[(1,)], e=[(1, 2)], dag=[(1, 0)]), {(1,)}),
    # ... also when the enclosing rule binds it by a later comparison, or, in
    # a rule that shares it in turn, by a later equality.
    ("∀ x, (∃ y, Q y y ∧ ∀ u, P u → R x u > u) ∨ F x > 3", tables_of(e=[(0, 0)], dag=[(5, 2)]), set()),
    ("∀ z, P z → ∃ w, P w ∧ (∀ u, P u → ∃ v, Q z v ∧ F z > 0) ∧ w = z", tables_of(u=[(1,)], e=[(1, 2)]),
     {(1,)}),
    # A universal written again with its enclosing rule's literals seeds the
    # z those read as that rule will: from the column of the sum.
    (SUM_FIXED_POINT, tables_of(w=[(2, 0, 2)]), set()),
    (SUM_FIXED_POINT, tables_of(w=[(2, 0, 5)]), {(2,)}),
    (SUM_FIXED_POINT, tables_of(u=[(7,)], w=[(1, 0, 1)]), set()),
    (SUM_FIXED_POINT, tables_of(u=[(7,)], w=[(2, 0, 2), (3, 0, 1)]), {(2,), (3,)}),
    # No atom guards c: it ranges over the column the sum reads (not 3).
    ("∀ c, (∑ i, R c i) > 0", tables_of(u=[(3,)], w=[(1, 0, 2)]), set()),
    ("∀ c, (∑ i, R c i) > 2", tables_of(u=[(3,)], w=[(1, 0, 2)]), {(1,)}),
    # A sum over no row is 0.
    ("(∑ x, F x) = 10", tables_of(), {(1,)}),
    ("(∑ x, F x) ≠ 10", tables_of(), set()),
    ("(∑ x, F x) ≠ 10", tables_of(dag=[(1, 4), (2, 6)]), {(1,)}),
    ("Q (∑ x, F x) 0", tables_of(e=[(0, 0)]), set()),
    ("∀ y, P y → (∑ x, R y x) > 0", tables_of(u=[(1,), (2,)], w=[(1, 5, 3)]), {(2,)}),
    ("∀ y, P y → (∑ x, (F x + (∑ u, R y u))) ≥ 4", tables_of(u=[(1,), (2,)], dag=[(0, 1), (3, 2)], w=[(1, 0, 1)]),
     {(2,)}),
    # Atoms joined on a null match: a variable of two atoms, or of one atom
    # twice, a predicate's value read by another atom, the atoms of a sum.
    ("∀ a b, Q a b → ¬ F a b", tables_of(e=[(1, 2), (None, 3)], dag=[(None, 3)]), {(None, 3)}),
    ("∀ x, P x → ¬ Q x x", tables_of(u=[(None,)], e=[(None, None)]), {(None,)}),
    ("∀ x, P x → Q (F x) x", tables_of(u=[(None,)], dag=[(None, 5)]), {(None,)}),
    ("(∑ x y, R x y * R x y) = 2", tables_of(w=[(None, 1, 1), (2, 3, 1)]), set()),
    # ... also where a sub-formula is written again with the enclosing rule's atoms.
    ("∀ x z, P x ∧ F x z → ∃ y, Q y z ∧ ¬ Q x y", tables_of(u=[(None,)], e=[(5, 1)], dag=[(None, 1), (None, 2)]),
     {(None, 2)}),
    # An equality that gives a variable its value fails on a null, as any comparison does.
    ("∀ y z, Q y z → ∃ u, z = F u", tables_of(e=[(0, None)], dag=[(1, None)]), {(0, None)}),
    # Rules enough that one statement holding them all passes Presto's bound on stages.
    (MANY_RULES, tables_of(u=[(1,)], e=[(5, 2)], dag=[(3, 4)], w=[(5, 1, 0)]), {(1,)}),
    (MANY_RULES, tables_of(u=[(1,)], e=[(5, 2), (2, 1)], dag=[(3, 4)], w=[(5, 1, 0)]), set()),
]


@pytest.mark.parametrize("index", range(len(EXAMPLES)))
def test_examples(index, engines):
    text, tables, want = EXAMPLES[index]
    database = f"example {index}"
    failures = failures_of(engines, database, tables, [text], 0, want, ENGINES[index % 3])
    fail_with(failures, database, tables, text, want)


def served_failures(request, engine, tables, texts, index, want):
    """What a served engine gets wrong about statement `index`, its tables made first."""
    runner = _engine(request, engine, {})
    quote = "`" if engine == "databricks" else '"'
    try:
        for table, rows in tables.items():
            columns = ", ".join(f"col{i} BIGINT" for i in range(ARITY[table]))
            name = f"{quote}{table}{quote}"
            runner.run_statement(f"CREATE TABLE {name} ({columns})" + (" USING parquet" if engine == "databricks"
                                                                        else ""))
            if rows:
                runner.run_statement(f"INSERT INTO {name} VALUES " + ", ".join(
                    f"({sql_values(row)})" for row in rows))
        rows = runner.run_script(mirtova.counterexamples(program_text(texts), "P", f"s{index}", engine=engine))
    finally:
        runner.close()
    return [] if set(rows) == want else [f"{engine}: {sorted(set(rows))}"]


@pytest.mark.parametrize("engine", SERVED)
@pytest.mark.parametrize("index", range(SERVED_PAIRS + len(EXAMPLES)))
def test_served_engines_find_the_counterexamples(request, engine, index):
    if index < SERVED_PAIRS:
        database = SEED * 1_000_003 + index // PER_DATABASE
        tables, statements = generate(database, PER_DATABASE)
        texts, at = [statement_text(*s) for s in statements], index % PER_DATABASE
        if mirtova.assertions(program_text(texts))[at]["status"] == "unsupported":
            pytest.skip(texts[at])
        want = expected(tables, statements[at])
    else:
        text, tables, want = EXAMPLES[index - SERVED_PAIRS]
        database, texts, at = f"example {index - SERVED_PAIRS}", [text], 0
    fail_with(served_failures(request, engine, tables, texts, at, want), database, tables, texts[at], want)
