import pytest

import mirtova

# The everyday run, pytest -m "not slow", leaves out the tests marked slow where
# they are written (the scale tests, and those that run in child processes),
# and of each large family of cases run on the engines it takes one case in
# EVERYDAY_ONE_IN, spread over the family; scripts/test.sh runs every case.
EVERYDAY_ONE_IN = 8
ENGINE_FIXTURES = {"engine", "any_engine", "pg_connection", "pg_cluster"}


def pytest_collection_modifyitems(items):
    families = {}
    for item in items:
        if hasattr(item, "callspec") and ENGINE_FIXTURES & set(item.fixturenames):
            families.setdefault((item.path, item.originalname), []).append(item)
    for cases in families.values():
        if len(cases) > EVERYDAY_ONE_IN:
            for i, item in enumerate(cases):
                if i % EVERYDAY_ONE_IN:
                    item.add_marker(pytest.mark.slow)


@pytest.fixture
def m():
    return mirtova
