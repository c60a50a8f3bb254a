"""Random programs compiled for DuckDB, SQLite and PostgreSQL, run there, and
their rows compared with a reference evaluator written here.

MIRTOVA_DIFFERENTIAL_COUNT sets how many programs run (default 300) and
MIRTOVA_DIFFERENTIAL_SEED the seed they are drawn from (default 19); program i
of a run is always the same for the same seed."""

import math
import os
from collections import Counter
from decimal import Decimal

import pytest

import mirtova
from compile_engines import Engine
from differential_programs import DATABASE, generate, program_text
from pg_engine import Cluster, pg, server_bin

COUNT = int(os.environ.get("MIRTOVA_DIFFERENTIAL_COUNT", "300"))
SEED = int(os.environ.get("MIRTOVA_DIFFERENTIAL_SEED", "19"))


@pytest.fixture(scope="module")
def pg_connection():
    """A connection to a throwaway server, or None when none can be had: the
    other engines still run."""
    bindir = server_bin()
    if bindir is None or pg is None:
        yield None
        return
    cluster = Cluster(bindir)
    try:
        cluster.start()
    except Exception:
        cluster.stop()
        yield None
        return
    con = cluster.connect()
    yield con
    con.close()
    cluster.stop()


# ---- engines -------------------------------------------------------------------


def _sql_value(v):
    return "NULL" if v is None else str(v)


def _create(tables, column_type):
    for name, rows in tables.items():
        cols = ", ".join(f"col{i} {column_type}" for i in range(DATABASE[name]))
        yield f'CREATE TABLE "{name}" ({cols})'
        if rows:
            values = ", ".join("(" + ", ".join(_sql_value(v) for v in row) + ")" for row in rows)
            yield f'INSERT INTO "{name}" VALUES {values}'


def run_local(engine, tables, script, plan=None):
    e = Engine(engine, {})
    for statement in _create(tables, "BIGINT"):
        e.con.execute(statement)
    return e.run_plan(plan) if plan is not None else e.run_script(script)


def run_psql(con, tables, script):
    con.run("DROP SCHEMA IF EXISTS t CASCADE")
    con.run("CREATE SCHEMA t")
    con.run("SET search_path TO t, public")
    for statement in _create(tables, "bigint"):
        con.run(statement)
    pieces = [p.strip().rstrip(";") for p in script.split(";\n\n") if p.strip()]
    result = None
    for piece in pieces:
        for part in [p for p in piece.split(";\n") if p.strip()]:
            result = con.run(part)
    return [tuple(row) for row in result or []]


# ---- comparison -------------------------------------------------------------------


def normal(v):
    """One form for a value on every engine: exact integers, floats rounded."""
    if isinstance(v, Decimal):
        v = int(v) if v == v.to_integral_value() else float(v)
    if isinstance(v, float):
        if math.isfinite(v) and v == round(v) and abs(v) < 2**53:
            return int(v)
        return round(v, 6)
    return v


def as_counter(rows):
    return Counter(tuple(normal(v) for v in row) for row in rows)


def describe(program, want, got):
    missing = want - got
    extra = got - want
    return (f"query {program.query}\n{program_text(program)}\ntables {program.tables}\n"
            f"missing {sorted(missing.elements(), key=repr)}\nextra {sorted(extra.elements(), key=repr)}")


def check_program(seed, pg_con):
    program = generate(seed)
    source = program_text(program)
    want = as_counter(program.rows.elements())
    failures = []
    for engine in ["duckdb", "sqlite", "psql"]:
        if engine == "psql" and pg_con is None:
            continue
        try:
            script = mirtova.compile(source, program.query, engine=engine)
            if engine == "psql":
                got = run_psql(pg_con, program.tables, script)
            else:
                got = run_local(engine, program.tables, script)
        except Exception as e:  # noqa: BLE001 - every failure is reported with its program
            failures.append(f"{engine}: {type(e).__name__}: {e}")
            continue
        got = as_counter(got)
        if got != want:
            failures.append(f"{engine}: wrong rows\n" + describe(program, want, got))
    return failures


@pytest.mark.parametrize("index", range(COUNT))
def test_engines_agree_with_the_reference(index, pg_connection):
    seed = SEED * 1_000_003 + index
    failures = check_program(seed, pg_connection)
    assert not failures, f"seed {seed}\n" + program_text(generate(seed)) + "\n" + "\n".join(failures)
