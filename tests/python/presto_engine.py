"""The Presto server of the tests (see server_engine): the server's jars and its
memory connector as scripts/engines/presto-jars.xml resolves them, on Java 17."""

import pytest

import server_engine
from engine_cache import VERSIONS, installed, java_home
from server_engine import Unavailable

# The release is built for Java 8 to 11; it runs on 17 with a newer ASM (presto-jars.xml) and the JDK's internals
# its libraries reach into opened to them. A Java newer than the ASM knows fails at start.
JAVA_RANGE = (17, 23)
OPENED = ["java.lang", "java.lang.reflect", "java.lang.invoke", "java.util", "java.util.concurrent",
          "java.util.concurrent.atomic", "java.nio", "java.io", "java.net", "sun.nio.ch", "jdk.internal.misc",
          "jdk.internal.ref", "sun.security.action"]


def launch_spec():
    home = installed("presto")
    if home is None:
        raise Unavailable(f"Presto {VERSIONS['PRESTO_VERSION']} is not in the engine cache: "
                          "run scripts/install_engines.sh")
    java = java_home(*JAVA_RANGE)
    if java is None:
        raise Unavailable(f"Presto {VERSIONS['PRESTO_VERSION']} runs on Java {JAVA_RANGE[0]} to {JAVA_RANGE[1]}; "
                          "none is in $JAVA_HOME or under /usr/lib/jvm")
    return {"header": "X-Presto", "version": VERSIONS["PRESTO_VERSION"], "home": str(home), "java": java,
            "main": "com.facebook.presto.server.PrestoServer",
            "jvm_flags": [f"--add-opens=java.base/{p}=ALL-UNNAMED" for p in OPENED],
            "config": {"discovery-server.enabled": "true", "http-server.log.enabled": "false"}}


server_engine.SPECS["presto"] = launch_spec


@pytest.fixture(scope="session")
def presto_server():
    return server_engine.served("presto")
