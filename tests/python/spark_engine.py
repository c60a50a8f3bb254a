"""One local Spark session per test run for the databricks SQL: `local[2]`, ANSI
mode on (as Databricks SQL warehouses run by default), a warehouse folder under
the run's temporary folder, a small driver heap; started in the background as
soon as the collected tests show it is needed. Each test gets a database of its
own, dropped at its end."""

import itertools
import os
import shutil
import tempfile
import threading
import time

import pytest

from compile_engines import StatementRunner, reads_only
from engine_cache import VERSIONS, java_home, unavailable
from fixture_types import table_columns

try:
    import pyspark
    from pyspark.sql import Row, SparkSession
    from pyspark.sql import types as T
except ImportError:  # the tests that need Spark skip
    pyspark = None

# Spark 4 runs on Java 17 and 21.
JAVA_RANGE = (17, 21)


class _Session:
    """The run's session, built on a thread of its own so that its start overlaps other tests."""

    def __init__(self):
        self.session, self.reason, self.ready_after, self.stopped = None, None, None, False
        self.root = tempfile.mkdtemp(prefix="mirtova-spark-")
        self.began = time.monotonic()
        self.thread = threading.Thread(target=self._build, daemon=True)
        self.thread.start()

    def _build(self):
        if pyspark is None:
            self.reason = f"pyspark {VERSIONS['PYSPARK_VERSION']} is not installed: run scripts/install_engines.sh"
            return
        java = java_home(*JAVA_RANGE)
        if java is None:
            self.reason = f"Spark needs Java {JAVA_RANGE[0]} to {JAVA_RANGE[1]}; none is in $JAVA_HOME or under /usr/lib/jvm"
            return
        os.environ["JAVA_HOME"] = java
        os.environ["SPARK_LOCAL_IP"] = "127.0.0.1"
        # Spark's JVM writes to the run's own stderr: only its errors belong there.
        log_config = os.path.join(self.root, "log4j2.properties")
        with open(log_config, "w") as f:
            f.write("rootLogger.level = error\nrootLogger.appenderRef.stderr.ref = console\n"
                    "appender.console.type = Console\nappender.console.name = console\n"
                    "appender.console.target = SYSTEM_ERR\nappender.console.layout.type = PatternLayout\n"
                    "appender.console.layout.pattern = %d{HH:mm:ss} %p %c{1}: %m%n\n")
        try:
            builder = SparkSession.builder.master("local[2]").appName("mirtova-tests")
            for key, value in {
                "spark.sql.ansi.enabled": "true",
                "spark.sql.warehouse.dir": os.path.join(self.root, "warehouse"),
                "spark.local.dir": os.path.join(self.root, "local"),
                # A gigabyte ran out in a hash aggregate of a long counterexample script late in a run.
                "spark.driver.memory": "2g",
                "spark.driver.host": "127.0.0.1",
                "spark.driver.bindAddress": "127.0.0.1",
                "spark.ui.enabled": "false",
                "spark.ui.showConsoleProgress": "false",
                "spark.sql.catalogImplementation": "in-memory",
                # The tests' tables hold a few rows: Spark's default of 200 shuffle partitions costs seconds a query.
                "spark.sql.shuffle.partitions": "2",
                "spark.default.parallelism": "2",
                "spark.sql.session.timeZone": "UTC",
                "spark.driver.extraJavaOptions": f"-Duser.timezone=UTC -Dlog4j2.configurationFile={log_config}",
            }.items():
                builder = builder.config(key, value)
            self.session = builder.getOrCreate()
            self.session.sparkContext.setLogLevel("ERROR")
            self.session.sql("SELECT 1").collect()
            self.ready_after = time.monotonic() - self.began
        except Exception as e:  # noqa: BLE001  (any failure to start skips the Spark tests)
            self.reason = f"Spark did not start: {e}"

    def wait(self):
        self.thread.join()
        if self.session is None:
            unavailable(self.reason)
        return self.session

    def stop(self):
        self.thread.join()
        if self.session is not None and not self.stopped:
            self.session.stop()
        self.stopped = True
        shutil.rmtree(self.root, ignore_errors=True)


_started = []


def start():
    if not _started:
        _started.append(_Session())
    return _started[0]


def status():
    if not _started:
        return []
    session = _started[0]
    if session.session is None:
        return [f"spark: not run: {session.reason}"]
    return [f"spark {pyspark.__version__}: answered {session.ready_after:.1f} s after its start"]


def stop():
    if _started:
        _started[0].stop()


@pytest.fixture(scope="session")
def spark_session():
    return start().wait()


def spark_type(t):
    if isinstance(t, tuple) and t[0] == "list":
        return T.ArrayType(spark_type(t[1]))
    if isinstance(t, tuple):
        return T.StructType([T.StructField(k, spark_type(v)) for k, v in t[1]])
    return {"bool": T.BooleanType(), "int": T.LongType(), "float": T.DoubleType(), "str": T.StringType()}[t]


def _as_type(value, t):
    """A fixture value as createDataFrame takes it for the column's type (ints of a column of floats as floats)."""
    if value is None:
        return None
    if isinstance(t, tuple) and t[0] == "list":
        return [_as_type(v, t[1]) for v in value]
    if isinstance(t, tuple):
        return tuple(_as_type(value.get(k), ft) for k, ft in t[1])
    return float(value) if t == "float" else value


def python_value(value):
    """A value of a collected row as the DuckDB runner gives it: dicts for structs, bytes for binaries."""
    if isinstance(value, Row):
        return {k: python_value(v) for k, v in value.asDict(recursive=False).items()}
    if isinstance(value, list):
        return [python_value(v) for v in value]
    if isinstance(value, dict):
        return {k: python_value(v) for k, v in value.items()}
    if isinstance(value, bytearray):
        return bytes(value)
    return value


_databases = itertools.count(1)


class SparkEngine(StatementRunner):
    """A session of its own (sharing the run's Spark) whose current database holds the test's tables. A test with
    no tables whose statements only read makes none: the database's creation and dropping cost about as much as
    its query."""

    def __init__(self, spark, tables):
        self.spark = spark.newSession()
        self.database = f"t{next(_databases)}"
        self.created = False
        for name, rows in tables.items():
            self._create()
            columns = table_columns(rows)
            schema = T.StructType([T.StructField(c, spark_type(t)) for c, t in columns])
            data = [tuple(_as_type(row[c] if isinstance(row, dict) else row[i], t)
                          for i, (c, t) in enumerate(columns)) for row in rows]
            self.spark.createDataFrame(data, schema).write.saveAsTable(f"`{name}`")

    def _create(self):
        if not self.created:
            self.spark.sql(f"CREATE DATABASE {self.database}")
            self.spark.sql(f"USE {self.database}")
            self.created = True

    def close(self):
        if self.created:
            self.spark.sql(f"DROP DATABASE {self.database} CASCADE")

    def run_statement(self, sql):
        if not reads_only(sql):
            self._create()
        return [tuple(python_value(v) for v in row) for row in self.spark.sql(sql).collect()]
