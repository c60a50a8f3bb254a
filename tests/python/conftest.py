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

# The everyday run, pytest -m "not slow", leaves out the tests marked slow where
# they are written (the scale tests, and those that run in child processes) and
# those of the engines that start as a stage of their own; of each large family
# of cases run on the other engines it takes one case in EVERYDAY_ONE_IN, spread
# over the family. scripts/test.sh runs every case.
EVERYDAY_ONE_IN = 8
ENGINE_FIXTURES = {"engine", "any_engine", "pg_connection", "pg_cluster"}


class EverydaySample:
    # Before -m deselects, so that the marks made here count.
    @pytest.hookimpl(tryfirst=True)
    def pytest_collection_modifyitems(self, items):
        families = {}
        for item in items:
            if any(item.get_closest_marker(stage) for stage in ENGINE_STAGES):
                item.add_marker(pytest.mark.slow)
            elif hasattr(item, "callspec") and ENGINE_FIXTURES & set(item.fixturenames):
                families.setdefault((item.path, item.originalname), []).append(item)
        for cases in families.values():
            if len(cases) > EVERYDAY_ONE_IN:
                for i, item in enumerate(cases):
                    if i % EVERYDAY_ONE_IN:
                        item.add_marker(pytest.mark.slow)


def pytest_configure(config):
    config.pluginmanager.register(EverydaySample(), "everyday-sample")


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
