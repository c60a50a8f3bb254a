"""The Trino server of the tests (see server_engine): the release's own jars and
its memory connector from the engine cache, on a Java new enough for it."""

import pytest

import server_engine
from engine_cache import VERSIONS, installed, java_home
from server_engine import Unavailable

# The oldest Java the release runs on.
LOWEST_JAVA = 24


def launch_spec():
    home = installed("trino")
    if home is None:
        raise Unavailable(f"Trino {VERSIONS['TRINO_VERSION']} is not in the engine cache: run scripts/install_engines.sh")
    java = java_home(LOWEST_JAVA)
    if java is None:
        raise Unavailable(f"Trino {VERSIONS['TRINO_VERSION']} needs Java {LOWEST_JAVA} or newer; none is in "
                          "$JAVA_HOME or under /usr/lib/jvm")
    return {"header": "X-Trino", "version": VERSIONS["TRINO_VERSION"], "home": str(home), "java": java,
            "main": "io.trino.server.TrinoServer",
            "jvm_flags": ["--enable-native-access=ALL-UNNAMED", "-XX:+EnableDynamicAgentLoading"],
            "config": {"http-server.log.enabled": "false"}}


server_engine.SPECS["trino"] = launch_spec


@pytest.fixture(scope="session")
def trino_server():
    return server_engine.served("trino")
