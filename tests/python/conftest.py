import pytest

import mirtova
import server_engine
import spark_engine
from presto_engine import presto_server  # noqa: F401  (the fixtures, for every test module)
from spark_engine import spark_session  # noqa: F401
from trino_engine import trino_server  # noqa: F401

# The engines run as a stage of their own, by marker, and how each starts.
ENGINE_STAGES = {"spark": spark_engine.start, "trino": lambda: server_engine.start("trino"),
                 "presto": lambda: server_engine.start("presto")}


@pytest.fixture
def m():
    return mirtova


@pytest.hookimpl(trylast=True)
def pytest_collection_modifyitems(config, items):
    # After -m and -k have deselected: only the engines some selected test needs start, and now, so that their
    # start overlaps the tests before theirs.
    if config.option.collectonly:
        return
    needed = {stage for item in items for stage in ENGINE_STAGES if item.get_closest_marker(stage)}
    for stage in sorted(needed):
        ENGINE_STAGES[stage]()


def pytest_sessionfinish(session):
    spark_engine.stop()
    server_engine.stop_all()


def pytest_terminal_summary(terminalreporter):
    for line in spark_engine.status() + server_engine.status():
        terminalreporter.write_line(line)
