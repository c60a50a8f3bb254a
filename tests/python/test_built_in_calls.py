"""Every built-in function of the template tables, called with small arguments
on DuckDB, SQLite and PostgreSQL: it runs, or the compiler refuses it for that
engine, naming the function and the engine (tests/data/built_in_calls.txt)."""

import pathlib

import pytest

import mirtova
from pg_engine import pg_cluster  # noqa: F401  (the fixture)
from test_engine_rows import ENGINES, _engine

CALLS_FILE = pathlib.Path(__file__).resolve().parent.parent / "data" / "built_in_calls.txt"


def _calls():
    for line in CALLS_FILE.read_text().splitlines():
        if not line or line.startswith("#"):
            continue
        name, refused, call = line.split("|", 2)
        if refused == "internal":
            continue
        source = call if ":-" in call or call.endswith(";") else f"Q(v) :- v == {call};"
        yield name, set() if refused == "-" else set(refused.split(",")), source


CALLS = list(_calls())


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("name, refused, source", CALLS, ids=[c[0] for c in CALLS])
def test_built_in_function_runs_or_is_refused(request, engine, name, refused, source):
    if engine in refused:
        with pytest.raises(ValueError) as caught:
            mirtova.compile(source, "Q", engine=engine)
        assert f"Built-in function {name} is not available on engine {engine}." in str(caught.value)
        return
    script = mirtova.compile(source, "Q", engine=engine)
    runner = _engine(request, engine, {})
    try:
        runner.run_script(script)
    finally:
        if engine == "psql":
            runner.close()
