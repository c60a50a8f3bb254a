"""Built-ins nested N deep: each engine gives the value worked out here, and the
SQL grows at most linearly with the nesting (a template that writes an argument
twice would double it per level)."""

import pytest

import mirtova
from pg_engine import pg_cluster  # noqa: F401  (the fixture)
from test_engine_rows import ENGINES, SERVED
from test_engine_rows import rows as engine_rows

DEPTHS = [1, 8, 20]
VALUES = [(3,), (None,)]

# (name, one level of the call around e, the value of one level in Python)
CALLS = [
    ("SafeAdd", lambda e: f"SafeAdd({e}, 1)", lambda v: None if v is None else v + 1),
    ("SafeSubtract", lambda e: f"SafeSubtract({e}, 2)", lambda v: None if v is None else v - 2),
    ("SafeMultiply", lambda e: f"SafeMultiply({e}, 1)", lambda v: v),
    ("SafeNegate", lambda e: f"SafeNegate({e})", lambda v: None if v is None else -v),
    ("Format", lambda e: f'Format("<%s>", {e})', lambda v: None if v is None else f"<{v}>"),
    # Each level reads its text three times over: unless kept apart, eight levels overwhelm the planner.
    ("Substr", lambda e: f'Substr({"ToString(x)" if e == "x" else e}, -4, 3)',
     lambda v: None if v is None else str(v)[-4:][:3]),
    ("arithmetic", lambda e: f"(({e} - 1) * 2 + -1) * 1", lambda v: None if v is None else (v - 1) * 2 - 1),
    ("SubstrFromStart", lambda e: f'Substr({"ToString(x)" if e == "x" else e}, 1, 9)',
     lambda v: None if v is None else str(v)[:9]),
]
# Those SQLite's parser holds 20 deep.
SQLITE_DEEP = {"arithmetic", "SubstrFromStart"}


def nested(call, depth):
    e = "x"
    for _ in range(depth):
        e = call(e)
    return f"Q(x, y) :- T(x), y == {e};"


def value(step, depth, v):
    for _ in range(depth):
        v = step(v)
    return v


@pytest.mark.parametrize("engine", ENGINES + SERVED)
@pytest.mark.parametrize("name, call, step", CALLS, ids=[c[0] for c in CALLS])
@pytest.mark.parametrize("depth", DEPTHS)
def test_nested_calls_give_their_values(request, engine, name, call, step, depth):
    if engine == "sqlite" and depth > 8 and name not in SQLITE_DEEP:
        pytest.skip("SQLite's parser stack holds about nine nested calls")
    got = engine_rows(request, engine, nested(call, depth), "Q", {"T": VALUES})
    want = [(v, value(step, depth, v)) for (v,) in VALUES]
    assert sorted(got, key=repr) == sorted(want, key=repr)


@pytest.mark.parametrize("engine", ["duckdb", "sqlite", "psql", "databricks", "trino", "presto", "bigquery"])
@pytest.mark.parametrize("name, call, step", CALLS, ids=[c[0] for c in CALLS])
def test_nested_calls_grow_linearly(engine, name, call, step):
    size = [len(mirtova.compile(nested(call, depth), "Q", engine=engine)) for depth in (10, 20, 30)]
    # Equal steps: each level adds the same text.
    assert size[2] - size[1] == size[1] - size[0]
