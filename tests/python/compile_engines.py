"""Running compiled SQL on real engines in the tests: fixture tables, the SQLite
host functions, a script runner and a plan runner."""

import hashlib
import json
import math
import re
import unicodedata
from decimal import ROUND_HALF_UP, Decimal
import sqlite3

import duckdb

import mirtova


# ---- fixtures -------------------------------------------------------------

def _duck_type(value):
    if isinstance(value, bool):
        return "BOOLEAN"
    if isinstance(value, int):
        return "BIGINT"
    if isinstance(value, float):
        return "DOUBLE"
    if isinstance(value, str):
        return "VARCHAR"
    if isinstance(value, list):
        return _duck_type(value[0]) + "[]"
    if isinstance(value, dict):
        return "STRUCT(" + ", ".join(f'"{k}" {_duck_type(v)}' for k, v in value.items()) + ")"
    raise TypeError(value)


def _columns(rows):
    first = rows[0]
    if isinstance(first, dict):
        return list(first)
    return [f"col{i}" for i in range(len(first))]


def _values(row):
    return list(row.values()) if isinstance(row, dict) else list(row)


def load_duckdb(con, tables):
    for name, rows in tables.items():
        cols = _columns(rows)
        types = [_duck_type(v) for v in _values(rows[0])]
        con.execute(f'CREATE TABLE "{name}" (' + ", ".join(f'"{c}" {t}' for c, t in zip(cols, types)) + ")")
        for row in rows:
            con.execute(f'INSERT INTO "{name}" VALUES (' + ", ".join("?" for _ in cols) + ")", _values(row))


def load_sqlite(con, tables):
    for name, rows in tables.items():
        cols = _columns(rows)
        con.execute(f'CREATE TABLE "{name}" (' + ", ".join(f'"{c}"' for c in cols) + ")")
        for row in rows:
            values = [json.dumps(v) if isinstance(v, (list, dict)) else v for v in _values(row)]
            con.execute(f'INSERT INTO "{name}" VALUES (' + ", ".join("?" for _ in cols) + ")", values)


# ---- SQLite host functions --------------------------------------------------

def _loads(text):
    return json.loads(text) if isinstance(text, str) else text


class _DistinctListAgg:
    def __init__(self):
        self.items = []

    def step(self, value):
        # A null is a value of the set once, as ARRAY_AGG(DISTINCT ...) keeps it elsewhere.
        if value not in self.items:
            self.items.append(value)

    @staticmethod
    def _key(value):
        if isinstance(value, (int, float)) and not isinstance(value, bool):
            return ("number", value)
        return (type(value).__name__, json.dumps(value) if isinstance(value, (list, dict)) else value)

    def finalize(self):
        # Sorted, nulls last, as the other engines give a set.
        return json.dumps(sorted(self.items, key=lambda v: (v is None, self._key(v))))


def _sort_key(value):
    """Nulls last; a record by its fields' values in the order of their names, a list by its elements."""
    if isinstance(value, dict):
        return (False, tuple(_sort_key(value[k]) for k in sorted(value)))
    if isinstance(value, list):
        return (False, tuple(_sort_key(v) for v in value))
    return (value is None, value)


def _arg_extreme(sign):
    class Agg:
        def __init__(self):
            self.pairs = []

        def step(self, arg, value, count):
            self.count = count
            if value is not None:
                self.pairs.append((value, arg))

        def finalize(self):
            ordered = sorted(self.pairs, key=lambda p: p[0], reverse=sign < 0)
            if getattr(self, "count", None) is not None:
                ordered = ordered[: self.count]
            return json.dumps([_loads(a) if isinstance(a, str) and a[:1] in ("[", "{") else a for _, a in ordered])

    return Agg


def _trim_fraction(text):
    return text.rstrip("0").rstrip(".") if "." in text else text


def _number_text(v):
    """The host's MIRTOVA_NUMBER_TEXT: the same ladder the other engines write out
    in SQL, so that numbers read alike on every engine."""
    if v is None:
        return None
    if isinstance(v, int) and abs(v) < 10**18:
        return str(v)
    v = float(v)
    if abs(v) < 5e-16:
        return "0"
    if v == math.floor(v) and abs(v) < 1e18:
        return str(int(v))
    if abs(v) >= 1e38:
        return repr(v)
    d = Decimal(repr(v))
    if abs(v) < 1:
        return _trim_fraction(format(d.quantize(Decimal(1).scaleb(-15), ROUND_HALF_UP), "f"))
    digits = len(str(int(abs(d))))
    rounded = d.quantize(Decimal(1).scaleb(digits - 15), ROUND_HALF_UP)
    if abs(v) < 1e18:
        return _trim_fraction(format(rounded, "f"))
    return format(rounded.quantize(Decimal(1), ROUND_HALF_UP), "f")


class _ArrayConcatAgg:
    def __init__(self):
        self.items = []

    def step(self, value):
        self.items.extend(_loads(value) or [])

    def finalize(self):
        return json.dumps(self.items)


class _Median:
    def __init__(self):
        self.values = []

    def step(self, value):
        if value is not None:
            self.values.append(value)

    def finalize(self):
        v = sorted(self.values)
        if not v:
            return None
        middle = len(v) // 2
        return v[middle] if len(v) % 2 else (v[middle - 1] + v[middle]) / 2


def _regexp_extract(text, pattern):
    if text is None or pattern is None:
        return None
    found = re.search(pattern, text)
    if found is None:
        return None
    return found.group(1) if found.groups() else found.group(0)


def _regexp_group(text, pattern, n):
    if text is None or pattern is None or n is None:
        return None
    found = re.search(pattern, text)
    return None if found is None else found.group(n)


def _regexp_extract_all(text, pattern):
    if text is None or pattern is None:
        return None
    return json.dumps([m.group(1) if m.groups() else m.group(0) for m in re.finditer(pattern, text)])


def _digest(algorithm, value):
    if value is None:
        return None
    data = value.encode() if isinstance(value, str) else bytes(value)
    return hashlib.new(algorithm, data).digest()


def _normalize(text, form, casefold):
    if text is None or form is None:
        return None
    return unicodedata.normalize(form, text.casefold() if casefold else text)


def _unhex(text):
    """SQLite's own unhex (from 3.41 on): NULL for text that is not hex."""
    try:
        return None if text is None else bytes.fromhex(text)
    except ValueError:
        return None


def _error(message):
    raise ValueError(message)


def _split(text, delimiter):
    """A text cut at each delimiter; an empty delimiter cuts between characters."""
    if text is None or delimiter is None:
        return None
    return json.dumps(text.split(delimiter) if delimiter else list(text) or [""])


def _fingerprint(s):
    return int.from_bytes(hashlib.sha256(str(s).encode()).digest()[:8], "big", signed=True)


def sqlite_connection():
    con = sqlite3.connect(":memory:")
    con.create_function("MagicalEntangle", 2, lambda v, x: v)
    con.create_function("IN_LIST", 2, lambda e, l: int(e in (_loads(l) or [])))
    con.create_function("MIRTOVA_NUMBER_TEXT", 1, _number_text)
    # Nulls last, as the other engines sort a list.
    con.create_function("SortList", 1, lambda l: json.dumps(sorted(_loads(l) or [], key=_sort_key)))
    con.create_function("Fingerprint", 1, _fingerprint)
    con.create_function("AssembleRecord", 1,
                        lambda fv: json.dumps({p["arg"]: p["value"] for p in _loads(fv) or []}))
    con.create_function("DisassembleRecord", 1,
                        lambda r: json.dumps([{"arg": k, "value": v} for k, v in (_loads(r) or {}).items()]))
    con.create_function("regexp", 2, lambda p, v: int(v is not None and re.search(p, str(v)) is not None))
    con.create_function("MIRTOVA_SPLIT", 2, _split)
    con.create_function("MIRTOVA_REGEXP_REPLACE", 3,
                        lambda t, p, r: None if None in (t, p, r) else re.sub(p, re.sub(r"\\(\d)", r"\\g<\1>", r), t))
    con.create_function("MIRTOVA_REGEXP_EXTRACT", 2, _regexp_extract)
    con.create_function("MIRTOVA_ARRAY_CONCAT", 2,
                        lambda a, b: None if a is None or b is None else json.dumps(_loads(a) + _loads(b)))
    con.create_function("MIRTOVA_REGEXP_EXTRACT_ALL", 2, _regexp_extract_all)
    con.create_function("MIRTOVA_REGEXP_GROUP", 3, _regexp_group, deterministic=True)
    con.create_function("MIRTOVA_DIGEST", 2, _digest, deterministic=True)
    con.create_function("MIRTOVA_NORMALIZE", 3, _normalize, deterministic=True)
    con.create_function("MIRTOVA_ERROR", 1, _error)
    if sqlite3.sqlite_version_info < (3, 41):
        con.create_function("unhex", 1, _unhex, deterministic=True)
    con.create_aggregate("MIRTOVA_ARRAY_CONCAT_AGG", 1, _ArrayConcatAgg)
    con.create_aggregate("MIRTOVA_MEDIAN", 1, _Median)
    con.create_aggregate("DistinctListAgg", 1, _DistinctListAgg)
    con.create_aggregate("ArgMin", 3, _arg_extreme(1))
    con.create_aggregate("ArgMax", 3, _arg_extreme(-1))
    return con


# ---- running ----------------------------------------------------------------

_WRITES = re.compile(r"\b(INSERT|CREATE|DROP|DELETE|MERGE|UPDATE|ALTER|TRUNCATE|USE|SET)\b", re.IGNORECASE)


def reads_only(sql):
    """Whether a statement surely only reads: a query naming no statement that writes (a word in a text that
    looks like one counts as a write, which costs only a schema made for nothing)."""
    return re.match(r"\s*(SELECT|WITH)\b", sql, re.IGNORECASE) is not None and not _WRITES.search(sql)


def statements(script):
    """The pieces of a written-out script, each without its final ';'."""
    return [p.strip().rstrip(";") for p in script.split(";\n\n") if p.strip()]


def _normal(value):
    if isinstance(value, str) and value[:1] in "[{":
        try:
            return _normal(json.loads(value))
        except ValueError:
            return value
    if isinstance(value, list):
        return [_normal(v) for v in value]
    if isinstance(value, dict):
        return {k: _normal(v) for k, v in value.items()}
    if isinstance(value, float) and value.is_integer():
        return int(value)
    return value


def rows_of(result):
    return [tuple(_normal(v) for v in row) for row in result]


class StatementRunner:
    """run_script and run_plan for an engine that takes one statement at a time: `run_statement(sql)` gives the
    rows of one statement."""

    def run(self, sql):
        """The rows of the last of the statements of one step, separated as the compiler separates them."""
        result = None
        for piece in sql.split(";\n"):
            piece = piece.strip().rstrip(";")
            if piece:
                result = self.run_statement(piece)
        return result

    def run_script(self, script):
        result = None
        for piece in statements(script):
            result = self.run(piece)
        return rows_of(result)

    def run_plan(self, plan):
        result = None
        for step in plan:
            if step["kind"] == "loop":
                for _ in range(step["repetitions"]):
                    for statement in step["body"]:
                        self.run(statement)
                    if self.run(step["changed"])[0][0] == 0:
                        break
            else:
                result = self.run(step["sql"])
        return rows_of(result)


class Engine(StatementRunner):
    """DuckDB or SQLite in this process."""

    def __init__(self, name, tables):
        self.name = name
        if name == "duckdb":
            self.con = duckdb.connect()
            load_duckdb(self.con, tables)
        else:
            self.con = sqlite_connection()
            load_sqlite(self.con, tables)

    def run(self, sql):
        if self.name == "duckdb":
            return self.con.execute(sql).fetchall()
        cur = self.con.cursor()
        parts = [p for p in re.split(r";\n", sql) if p.strip()]
        for p in parts[:-1]:
            cur.execute(p)
        cur.execute(parts[-1])
        return cur.fetchall()


def run(source, predicate, engine, tables=None, **kwargs):
    script = mirtova.compile(source, predicate, engine=engine, **kwargs)
    return Engine(engine, tables or {}).run_script(script)


def as_multiset(rows):
    return sorted(rows, key=repr)
