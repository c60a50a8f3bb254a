"""A throwaway PostgreSQL server for the tests: started once per session in a
temp directory, reached through pg8000 on a free loopback port, removed at the
end; tests that need it skip when the server programs or the driver are absent."""

import glob
import os
import shutil
import socket
import subprocess
import tempfile
import time

import pytest

from compile_engines import Engine, _columns, _values, rows_of, statements

try:
    import pg8000.native as pg
except ImportError:  # the tests that need the server skip
    pg = None


def server_bin():
    """The directory of the newest installed server programs, or None."""
    found = sorted(glob.glob("/usr/lib/postgresql/*/bin/pg_ctl"),
                   key=lambda p: int(p.split("/")[4]) if p.split("/")[4].isdigit() else 0)
    return os.path.dirname(found[-1]) if found else None


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Cluster:
    """initdb into a temp dir and pg_ctl start; the server refuses root, so as
    root it runs as the postgres system user."""

    def __init__(self, bindir):
        self.bindir = bindir
        # As root the server's user must reach the directory: /tmp is open to it,
        # a TMPDIR under root's home may not be.
        as_root = os.geteuid() == 0
        self.root = tempfile.mkdtemp(prefix="mirtova-pg-", dir="/tmp" if as_root and os.path.isdir("/tmp") else None)
        self.data = os.path.join(self.root, "data")
        self.port = _free_port()
        self.prefix = []
        if as_root:
            self.prefix = ["runuser", "-u", "postgres", "--"]
            shutil.chown(self.root, "postgres")
            os.chmod(self.root, 0o700)

    def _run(self, *args):
        subprocess.run(self.prefix + list(args), check=True, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                       cwd=self.root, timeout=120)

    def start(self):
        self._run(os.path.join(self.bindir, "initdb"), "-D", self.data, "-U", "postgres", "--auth=trust",
                  "--no-sync", "-E", "UTF8", "--locale=C")
        options = (f"-p {self.port} -c listen_addresses=127.0.0.1 -k {self.root} -c fsync=off"
                   " -c synchronous_commit=off -c full_page_writes=off")
        self._run(os.path.join(self.bindir, "pg_ctl"), "-D", self.data, "-o", options, "-w", "-t", "60",
                  "-l", os.path.join(self.root, "log"), "start")

    def stop(self):
        try:
            self._run(os.path.join(self.bindir, "pg_ctl"), "-D", self.data, "-m", "immediate", "-w", "stop")
        except (subprocess.SubprocessError, OSError):
            pass
        shutil.rmtree(self.root, ignore_errors=True)

    def connect(self):
        deadline = time.monotonic() + 30
        while True:
            try:
                return pg.Connection("postgres", host="127.0.0.1", port=self.port, database="postgres")
            except Exception:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.2)


@pytest.fixture(scope="session")
def pg_cluster():
    bindir = server_bin()
    if bindir is None or pg is None or (os.geteuid() == 0 and shutil.which("runuser") is None):
        pytest.skip("PostgreSQL server programs or the pg8000 driver are not installed")
    cluster = Cluster(bindir)
    try:
        cluster.start()
    except subprocess.CalledProcessError as e:
        cluster.stop()
        pytest.fail("PostgreSQL did not start: " + e.stdout.decode(errors="replace"))
    yield cluster
    cluster.stop()


def _pg_type(value):
    if isinstance(value, bool):
        return "boolean"
    if isinstance(value, int):
        return "bigint"
    if isinstance(value, float):
        return "double precision"
    if isinstance(value, str):
        return "text"
    if isinstance(value, list):
        return _pg_type(value[0]) + "[]"
    raise TypeError(value)


def _literal(value):
    if value is None:
        return "NULL"
    if isinstance(value, bool):
        return "TRUE" if value else "FALSE"
    if isinstance(value, (int, float)):
        return repr(value)
    if isinstance(value, str):
        return "'" + value.replace("'", "''") + "'"
    if isinstance(value, list):
        return "ARRAY[" + ", ".join(_literal(v) for v in value) + "]"
    if isinstance(value, dict):
        return "ROW(" + ", ".join(_literal(v) for v in value.values()) + ")"
    raise TypeError(value)


class PgEngine:
    """One fresh schema of the session's server per test, holding its tables."""

    def __init__(self, cluster, tables):
        self.con = cluster.connect()
        self.con.run("DROP SCHEMA IF EXISTS t CASCADE")
        self.con.run("CREATE SCHEMA t")
        self.con.run("SET search_path TO t, public")
        for name, rows in tables.items():
            cols = _columns(rows)
            types = [self._type(f"{name}_{c}", v) for c, v in zip(cols, _values(rows[0]))]
            self.con.run(f'CREATE TABLE "{name}" (' + ", ".join(f'"{c}" {t}' for c, t in zip(cols, types)) + ")")
            for row in rows:
                values = [_literal(v) + (f"::{t}" if isinstance(v, (list, dict)) else "")
                          for v, t in zip(_values(row), types)]
                self.con.run(f'INSERT INTO "{name}" VALUES (' + ", ".join(values) + ")")

    def _type(self, name, value):
        """A record column gets a composite type of its own, made for it here."""
        if isinstance(value, list) and value:
            return self._type(name, value[0]) + "[]"
        if not isinstance(value, dict):
            return _pg_type(value)
        fields = [f'"{k}" {self._type(name + "_" + k, v)}' for k, v in value.items()]
        self.con.run(f'CREATE TYPE "{name}" AS (' + ", ".join(fields) + ")")
        return f'"{name}"'

    def close(self):
        self.con.close()

    def run(self, sql):
        result = None
        for piece in [p for p in sql.split(";\n") if p.strip()]:
            result = self.con.run(piece)
        return result

    def query(self, sql):
        """The rows of the SQL's last statement, each read through JSON so that
        records come back as dicts rather than the driver's text for them."""
        *setup, query = [p for p in sql.split(";\n") if p.strip()]
        for piece in setup:
            self.con.run(piece)
        result = self.con.run(f"SELECT row_to_json(mirtova_q) FROM ({query}) AS mirtova_q")
        return rows_of([tuple(row[0].values()) for row in result])

    def run_script(self, script):
        pieces = statements(script)
        for piece in pieces[:-1]:
            self.run(piece)
        return self.query(pieces[-1])

    def run_plan(self, plan):
        *steps, last = plan
        for step in steps:
            if step["kind"] == "loop":
                for _ in range(step["repetitions"]):
                    for statement in step["body"]:
                        self.run(statement)
                    if self.run(step["changed"])[0][0] == 0:
                        break
            else:
                self.run(step["sql"])
        return self.query(last["sql"])


@pytest.fixture(params=["duckdb", "sqlite", "psql"])
def any_engine(request):
    """Opens engines of one kind, DuckDB, SQLite or PostgreSQL, each loaded with
    its tables; the PostgreSQL ones are closed at the end of the test."""
    name = request.param
    cluster = request.getfixturevalue("pg_cluster") if name == "psql" else None
    opened = []

    def open_engine(tables):
        engine = PgEngine(cluster, tables) if cluster else Engine(name, tables)
        opened.append(engine)
        return engine

    open_engine.name = name
    yield open_engine
    for engine in opened:
        if cluster:
            engine.close()
