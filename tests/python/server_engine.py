"""Trino and Presto servers for the tests: each started at most once per run, from
the engine cache, on a free loopback port, with the memory connector and a small
heap; started as soon as the collected tests show one is needed, so that its
start overlaps the tests before it, and stopped at the end of the run (and with
the run's process, however that ends). A client of the HTTP statement protocol
and a runner giving each test a schema of its own in the memory catalog."""

import atexit
import base64
import ctypes
import decimal
import itertools
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import urllib.error
import urllib.request

from compile_engines import StatementRunner, reads_only
from engine_cache import unavailable
from fixture_types import table_columns


class Unavailable(Exception):
    """Why an engine's tests cannot run on this machine."""


class QueryError(Exception):
    """The engine's own message for a statement it refused or failed."""


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _die_with_parent():
    # Runs in the child before exec: the server gets SIGKILL when the test run's process ends, even by SIGKILL.
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


class Server:
    """One server process. `spec` is the engine's launch description (see trino_engine.launch_spec)."""

    def __init__(self, name, spec):
        self.name = name
        self.header = spec["header"]
        self.version = spec["version"]
        self.root = tempfile.mkdtemp(prefix=f"mirtova-{name}-")
        self.port = _free_port()
        etc = os.path.join(self.root, "etc")
        os.makedirs(os.path.join(etc, "catalog"))
        config = {
            "coordinator": "true",
            "node-scheduler.include-coordinator": "true",
            "http-server.http.port": str(self.port),
            "discovery.uri": f"http://127.0.0.1:{self.port}",
            "query.max-memory": "512MB",
            "query.max-memory-per-node": "256MB",
            **spec["config"],
        }
        self._write(os.path.join(etc, "config.properties"), config)
        self._write(os.path.join(etc, "catalog", "memory.properties"),
                    {"connector.name": "memory", "memory.max-data-per-node": "256MB"})
        # The tests' queries are many, small and each of its own shape: the quick compiler alone starts the
        # server and answers them sooner than the optimizing one, which pays only on long runs. Each query's
        # code stays compiled: the default code cache of that compiler (48 MB) fills within one run, and a
        # server whose cache is full fails queries ("Out of space in CodeCache").
        command = [os.path.join(spec["java"], "bin", "java"), "-Xmx1G", "-XX:+UseSerialGC", "-XX:TieredStopAtLevel=1",
                   "-XX:ReservedCodeCacheSize=512M",
                   "-Duser.timezone=UTC", "-Dfile.encoding=UTF-8", "-Djdk.attach.allowAttachSelf=true",
                   *spec["jvm_flags"],
                   f"-Dconfig={etc}/config.properties", f"-Dcatalog.config-dir={etc}/catalog",
                   f"-Dplugin.dir={spec['home']}/plugin", "-Dnode.environment=test", f"-Dnode.id=mirtova-{name}",
                   f"-Dnode.data-dir={self.root}/data", "-Dnode.bind-ip=127.0.0.1",
                   "-Dnode.internal-address=127.0.0.1", "-cp", f"{spec['home']}/lib/*", spec["main"]]
        self.log_path = os.path.join(self.root, "server.log")
        self.began = time.monotonic()
        self.ready_after, self.failure = None, None
        # Started from the thread that runs the tests: the kernel ends the server with the thread that made it.
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                            cwd=self.root, start_new_session=True, preexec_fn=_die_with_parent)
        self.watcher = threading.Thread(target=self._watch, args=(240,), daemon=True)
        self.watcher.start()

    @staticmethod
    def _write(path, properties):
        with open(path, "w") as f:
            f.writelines(f"{k}={v}\n" for k, v in properties.items())

    def _log_tail(self, lines=15):
        try:
            with open(self.log_path, errors="replace") as f:
                return "".join(f.readlines()[-lines:])
        except OSError:
            return ""

    def _watch(self, timeout):
        """Runs beside the tests from the start: notes when the server first answers, or why it never does."""
        deadline = time.monotonic() + timeout
        probe = Client(self.port, self.header, "default", timeout=20)
        while True:
            if self.process.poll() is not None:
                self.failure = Unavailable(f"{self.name} stopped while starting (exit {self.process.returncode}):\n"
                                           + self._log_tail())
                return
            try:
                # A server answers before the coordinator has found itself as a node for the memory connector.
                probe.execute("CREATE TABLE IF NOT EXISTS memory.default.mirtova_ready AS SELECT 1 AS x")
                probe.execute("DROP TABLE memory.default.mirtova_ready")
                self.ready_after = time.monotonic() - self.began
                return
            except (OSError, QueryError, ValueError):
                pass
            if time.monotonic() > deadline:
                self.failure = Unavailable(f"{self.name} did not answer within {timeout} s:\n" + self._log_tail())
                return
            time.sleep(0.25)

    def wait_ready(self):
        """Returns once the server answers a query; raises Unavailable when it stopped or took too long."""
        self.watcher.join()
        if self.failure is not None:
            self.stop()
            raise self.failure

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    def client(self, schema):
        return Client(self.port, self.header, schema)


# ---- the run's servers ----------------------------------------------------------

# The launch description of each engine, registered by its module: a function returning the description or
# raising Unavailable.
SPECS = {}
# Per engine, once asked for: the Server, or the Unavailable saying why there is none.
_started = {}


def start(name):
    """Starts the engine's server unless it was started (or found missing) already; does not wait for it."""
    if name not in _started:
        try:
            _started[name] = Server(name, SPECS[name]())
        except (Unavailable, OSError) as e:
            _started[name] = e if isinstance(e, Unavailable) else Unavailable(f"{name} could not start: {e}")
    return _started[name]


def served(name):
    """The running server of an engine for a test, or the test is skipped with the reason."""
    server = start(name)
    if isinstance(server, Unavailable):
        unavailable(str(server))
    try:
        server.wait_ready()
    except Unavailable as e:
        _started[name] = e
        unavailable(str(e))
    return server


def status():
    """A line per engine asked for in this run: its version and start time, or why it did not run."""
    lines = []
    for name, server in sorted(_started.items()):
        server = getattr(server, "failure", None) or server
        if isinstance(server, Unavailable):
            lines.append(f"{name}: not run: {str(server).splitlines()[0]}")
        elif server.ready_after is not None:
            lines.append(f"{name} {server.version}: answered {server.ready_after:.1f} s after its start")
    return lines


@atexit.register
def stop_all():
    for server in _started.values():
        if isinstance(server, Server):
            server.stop()


# ---- the statement protocol ----------------------------------------------------

class Client:
    """Sends one statement at a time and follows the server's nextUri links to the last page of rows."""

    def __init__(self, port, header, schema, timeout=600):
        self.url = f"http://127.0.0.1:{port}/v1/statement"
        self.headers = {f"{header}-User": "mirtova", f"{header}-Catalog": "memory", f"{header}-Schema": schema,
                        f"{header}-Time-Zone": "UTC", "Content-Type": "text/plain; charset=utf-8"}
        self.timeout = timeout

    def _request(self, url, body=None):
        for attempt in itertools.count():
            request = urllib.request.Request(url, data=body, headers=self.headers,
                                             method="POST" if body is not None else "GET")
            try:
                with urllib.request.urlopen(request, timeout=self.timeout) as response:
                    return json.load(response)
            except urllib.error.HTTPError as e:
                # The protocol asks clients to try again after these.
                if e.code not in (502, 503, 504) or attempt > 20:
                    raise
                time.sleep(0.05 * (attempt + 1))

    def execute(self, sql):
        """The rows of one statement as Python values."""
        response = self._request(self.url, sql.encode())
        deadline = time.monotonic() + self.timeout
        columns, data = None, []
        while True:
            columns = response.get("columns") or columns
            data.extend(response.get("data") or [])
            if "error" in response:
                raise QueryError(response["error"].get("message", response["error"]))
            if "nextUri" not in response:
                break
            if time.monotonic() > deadline:
                urllib.request.urlopen(urllib.request.Request(response["nextUri"], method="DELETE"))
                raise QueryError(f"no answer within {self.timeout} s")
            response = self._request(response["nextUri"])
        signatures = [c["typeSignature"] for c in columns or []]
        return [tuple(decode(v, s) for v, s in zip(row, signatures)) for row in data]


def _parts(signature):
    """(raw type, argument signatures, field names) of a Trino or a Presto type signature."""
    if "typeArguments" in signature:
        return signature["rawType"], signature["typeArguments"], signature.get("literalArguments") or []
    arguments, names = [], []
    for argument in signature.get("arguments", []):
        if argument["kind"] == "TYPE":
            arguments.append(argument["value"])
        elif argument["kind"] == "NAMED_TYPE":
            arguments.append(argument["value"]["typeSignature"])
            names.append((argument["value"].get("fieldName") or {}).get("name"))
    return signature["rawType"], arguments, names


def decode(value, signature):
    """A value of the JSON the server sends as the DuckDB runner gives it: lists, dicts for ROWs (by field
    name), floats (NaN and the infinities are sent as texts), bytes; Presto sends a nested value as JSON text."""
    if value is None:
        return None
    raw, arguments, names = _parts(signature)
    if raw in ("array", "row", "map") and isinstance(value, str):
        value = json.loads(value)
    if raw == "array":
        return [decode(v, arguments[0]) for v in value]
    if raw == "row":
        names = [n or f"field{i}" for i, n in enumerate(names or [None] * len(arguments))]
        return {n: decode(v, s) for n, v, s in zip(names, value, arguments)}
    if raw == "map":
        return {k: decode(v, arguments[1]) for k, v in value.items()}
    if raw in ("double", "real"):
        return float(value)
    if raw == "varbinary":
        return base64.b64decode(value)
    if raw == "decimal":
        return decimal.Decimal(value)
    return value


# ---- fixture tables and running -------------------------------------------------

def sql_type(t):
    if isinstance(t, tuple) and t[0] == "list":
        return f"array({sql_type(t[1])})"
    if isinstance(t, tuple):
        return "row(" + ", ".join(f'"{k}" {sql_type(v)}' for k, v in t[1]) + ")"
    return {"bool": "boolean", "int": "bigint", "float": "double", "str": "varchar"}[t]


def literal(value, t):
    if value is None:
        return f"CAST(NULL AS {sql_type(t)})"
    if isinstance(t, tuple) and t[0] == "list":
        return f"CAST(ARRAY[{', '.join(literal(v, t[1]) for v in value)}] AS {sql_type(t)})"
    if isinstance(t, tuple):
        return f"CAST(ROW({', '.join(literal(value.get(k), ft) for k, ft in t[1])}) AS {sql_type(t)})"
    if t == "bool":
        return "TRUE" if value else "FALSE"
    if t == "str":
        return "'" + value.replace("'", "''") + "'"
    if t == "float" and value != value:
        return "nan()"
    if t == "float" and value in (float("inf"), float("-inf")):
        return ("-" if value < 0 else "") + "infinity()"
    return f"DOUBLE '{value!r}'" if t == "float" else str(value)


_schemas = itertools.count(1)


class ServerEngine(StatementRunner):
    """A fresh schema of the memory catalog per test, holding its tables; dropped with them at close so the
    server's memory holds only the running test's rows. A test with no tables whose statements only read makes
    none: the schema's creation, listing and dropping cost as much as its query."""

    def __init__(self, server, tables):
        self.schema = f"t{next(_schemas)}"
        self.client = server.client(self.schema)
        self.created = False
        for name, rows in tables.items():
            self._create()
            columns = table_columns(rows)
            self.client.execute(f'CREATE TABLE "{name}" ('
                                + ", ".join(f'"{c}" {sql_type(t)}' for c, t in columns) + ")")
            values = [row if isinstance(row, dict) else dict(zip([c for c, _ in columns], row)) for row in rows]
            self.client.execute(f'INSERT INTO "{name}" VALUES '
                                + ", ".join("(" + ", ".join(literal(v[c], t) for c, t in columns) + ")"
                                            for v in values))

    def _create(self):
        if not self.created:
            self.client.execute(f"CREATE SCHEMA memory.{self.schema}")
            self.created = True

    def close(self):
        if not self.created:
            return
        for (table,) in self.client.execute(f"SHOW TABLES FROM memory.{self.schema}"):
            self.client.execute(f'DROP TABLE IF EXISTS memory.{self.schema}."{table}"')
        self.client.execute(f"DROP SCHEMA memory.{self.schema}")

    def run_statement(self, sql):
        if not reads_only(sql):
            self._create()
        for attempt in itertools.count():
            try:
                return self.client.execute(sql)
            except QueryError as e:
                # Under load the coordinator may miss its own heartbeat for a moment and see no node.
                if "No nodes available" not in str(e) or attempt >= 20:
                    raise
                time.sleep(0.5)
                # A CREATE TABLE ... AS that saw no node may have left its table behind.
                created = re.match(r'\s*CREATE TABLE ("(?:[^"]|"")+"|\S+)', sql)
                if created:
                    self.client.execute(f"DROP TABLE IF EXISTS {created.group(1)}")
