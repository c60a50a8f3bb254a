"""Every built-in function of the template tables, called with small arguments
on DuckDB, SQLite, PostgreSQL, Spark (databricks), Trino and Presto: it runs,
or the compiler refuses it for that engine, naming the function and the engine
(tests/data/built_in_calls.txt)."""

import json
import math
import pathlib
import re

import pytest
import sqlglot

import mirtova
from batched_values import FAILED, batched_value
from sql_parse import parse_sql
from pg_engine import pg_cluster  # noqa: F401  (the fixture)
from test_engine_rows import ENGINES, SERVED, SPARK, rows, run_script, same_rows

CALLS_FILE = pathlib.Path(__file__).resolve().parent.parent / "data" / "built_in_calls.txt"


NO_VALUE = object()


def _calls():
    for line in CALLS_FILE.read_text().splitlines():
        if not line or line.startswith("#"):
            continue
        name, refused, value, call = line.split("|", 3)
        if refused == "internal":
            continue
        source = call if ":-" in call or call.endswith(";") else f"Q(v) :- v == {call};"
        want = NO_VALUE if value == "" else value if value[:1] in "~!" else json.loads(value)
        yield name, set() if refused == "-" else set(refused.split(",")), source, want


CALLS = list(_calls())
REFUSED = {name: refused for name, refused, _, _ in CALLS}
# The engines each row runs on: Spark, Trino and Presto under their stages' markers.
RUN_ON = ENGINES + SERVED


def same_value(engine, got, want):
    """The one value of a call against the one worked out: numbers to 1e-9,
    SQLite's booleans as 1 and 0, texts against a "~" pattern."""
    if isinstance(want, str) and want.startswith("~"):
        return got is not None and re.fullmatch(want[1:], str(got)) is not None
    if isinstance(want, bool) or isinstance(got, bool):
        return got is not None and want is not None and int(got) == int(want)
    if engine == "psql" and got in ("Infinity", "-Infinity", "NaN"):
        got = float(got)  # PostgreSQL's JSON of the row spells them out
    if isinstance(want, int) and isinstance(got, int):
        return got == want  # past 2^53 a rounded quotient is within 1e-9 of the right one
    if isinstance(want, (int, float)) and isinstance(got, (int, float)):
        if isinstance(want, float) and math.isnan(want):
            return isinstance(got, float) and math.isnan(got)
        return got == want or math.isclose(got, want, rel_tol=1e-9)
    if isinstance(want, list) and isinstance(got, list):
        return len(got) == len(want) and all(same_value(engine, g, w) for g, w in zip(got, want))
    if isinstance(want, dict) and isinstance(got, dict):
        return got.keys() == want.keys() and all(same_value(engine, got[k], w) for k, w in want.items())
    return got == want


def call_value(request, engine, source):
    got = rows(request, engine, source, "Q")
    assert len(got) == 1 and len(got[0]) == 1, got
    return got[0][0]


def _batchable(item):
    want = item.callspec.params["want"]
    refused = item.callspec.params["refused"]
    if want == "!" or want is NO_VALUE or item.callspec.params["engine"] in refused:
        return None
    return item.callspec.params["source"]


def checked_value(request, engine, source, want, batchable=_batchable):
    """The call's value, from a batch where it can; one that differs from the one worked out is fetched again
    by the call alone, so that a failure shows what the call alone gives."""
    got = batched_value(request, engine, source, batchable)
    if got is FAILED or not same_value(engine, got, want):
        got = call_value(request, engine, source)
    return got


@pytest.mark.parametrize("engine", RUN_ON)
@pytest.mark.parametrize("name, refused, source, want", CALLS, ids=[c[0] for c in CALLS])
def test_built_in_function_runs_or_is_refused(request, engine, name, refused, source, want):
    base, _, count = name.partition("@")[0].partition("/")
    if engine in refused:
        with pytest.raises(ValueError) as caught:
            mirtova.compile(source, "Q", engine=engine)
        # A function refused whole is named so at any number of arguments.
        arity = f" with {count} arguments" if count and engine not in REFUSED.get(base, ()) else ""
        assert f"Built-in function {base} is not available on engine {engine}{arity}." in str(caught.value)
        return
    if want == "!":
        script = mirtova.compile(source, "Q", engine=engine)
        with pytest.raises(Exception):
            run_script(request, engine, script)
        return
    if want is NO_VALUE:
        rows(request, engine, source, "Q")
        return
    got = checked_value(request, engine, source, want)
    assert same_value(engine, got, want), (got, want)



def _arguments(text, open_at):
    """The (start, end) of each argument of the call whose "(" is at `open_at`."""
    depth, quote, start, spans = 0, None, open_at + 1, []
    for i in range(open_at + 1, len(text)):
        c = text[i]
        if quote:
            quote = None if c == quote and text[i - 1] != "\\" else quote
        elif c in "\"'":
            quote = c
        elif c in "([{":
            depth += 1
        elif c in ")]}" and depth > 0:
            depth -= 1
        elif c in ",)" and depth == 0:
            spans.append((start, i))
            start = i + 1
            if c == ")":
                return [(a, b) for a, b in spans if text[a:b].strip()]
    return []


def _fed_by_combines(name, source):
    """The row's call with every argument the engine's SQL may take from a
    computed value (not a format or a part, which must be literals) given as a
    combine's value, a sub-query in the SQL; None when there is none."""
    found = re.search(r"(?<![\w])" + re.escape(name.partition("@")[0].partition("/")[0]) + r"\(", source)
    spans = _arguments(source, found.end() - 1) if found else []

    def fed(chosen):
        text, combines = source, []
        for i in sorted(chosen, reverse=True):
            start, end = spans[i]
            text = f"{text[:start]}c{i}{text[end:]}"
            combines.append(f"c{i} == Max{{z{i} :- z{i} == ({source[start:end].strip()})}}")
        head, _, body = text.partition(":-")
        return f"{head}:- {', '.join(combines)}, {body.strip()}"

    chosen = []
    for i, (start, end) in enumerate(spans):
        if re.fullmatch(r"[a-z_]\w*", source[start:end].strip()):
            continue  # a variable of the rule, not a value of the call's own
        try:
            mirtova.compile(fed(chosen + [i]), "Q", engine="databricks")
        except ValueError:
            continue
        chosen.append(i)
    return fed(chosen) if chosen else None


# Calls that still fail so fed; each names why.
FED_FAILS = {
    # As on DuckDB, where both must be constants.
    "ApproxQuantiles": "the count of quantiles is read inside a lambda over the group's values",
    "PercentileCont": "Spark takes a constant fraction only (DATATYPE_MISMATCH.NON_FOLDABLE_INPUT)",
    "PercentileDisc": "Spark takes a constant fraction only (DATATYPE_MISMATCH.NON_FOLDABLE_INPUT)",
}
FED = [pytest.param(name, fed, want, id=name, marks=[pytest.mark.xfail(reason=FED_FAILS[name], strict=True)]
                    if name in FED_FAILS else [])
       for name, refused, source, want in CALLS
       if "databricks" not in refused and (fed := _fed_by_combines(name, source))]


# Spark takes no sub-query inside a function that binds a lambda: each call
# again, its arguments from combines.
@pytest.mark.parametrize("engine", [SPARK])
@pytest.mark.parametrize("name, source, want", FED)
def test_built_in_function_takes_combine_values(request, engine, name, source, want):
    if want == "!":
        with pytest.raises(Exception):
            run_script(request, engine, mirtova.compile(source, "Q", engine=engine))
    elif want is NO_VALUE:
        rows(request, engine, source, "Q")
    else:
        got = call_value(request, engine, source)
        assert same_value(engine, got, want), (got, want)


# The functions that once called what the engine lacks, with their values
# worked out by hand.
@pytest.mark.parametrize("engine", RUN_ON)
@pytest.mark.parametrize(
    "source, want",
    [
        ("Q(v) :- v == Sort([3, 1, 2]);", [([1, 2, 3],)]),
        ('Q(v) :- v == DateAddDay("2024-01-30", 3);', [("2024-02-02",)]),
        ('Q(v) :- v == DateAddDay("2024-03-01", -1);', [("2024-02-29",)]),
        ('Q(v) :- v == DateDiffDay("2024-03-01", "2024-02-01");', [(29,)]),
        ('Q(v) :- v == RangeOf(["a", "b", "c"]);', [([0, 1, 2],)]),
        ("Q(v? ++= x) distinct :- x in [[1, 2], [3, 4]];", [([1, 2, 3, 4],)]),
        # Lists of any lengths, constants, the empty list; the order in which
        # the lists are joined is the engine's.
        ("Q(s? ++= [1]) distinct;", [([1],)]),
        ("Q(s? ++= []) distinct;", [([],)]),
        ("F(3); Q(s? ++= [v, v]) distinct :- F(v);", [([3, 3],)]),
        ('F("k", [1]); F("k", [3, 2]); A(k:, v? ++= x) distinct :- F(k, x); Q(k, Sort(v)) :- A(k:, v:);',
         [("k", [1, 2, 3])]),
        ('F(["a"]); F(["c", "b"]); A(v? ++= x) distinct :- F(x); Q(Sort(v)) :- A(v:);', [(["a", "b", "c"],)]),
        ("Q(v? Median= x) distinct :- x in [5, 1, 3];", [(3,)]),
        ("Q(v? SomeValue= x) distinct :- x in [4, 4];", [(4,)]),
        ("Q(v? AnyValue= x) distinct :- x in [4, 4];", [(4,)]),
        ("Q(v) :- v == Concat([1], [2, 3]);", [([1, 2, 3],)]),
        ("Q(v) :- v == ArrayConcat([1], [2, 3]);", [([1, 2, 3],)]),
        ('Q(v) :- v == Split("a,b,c", ",");', [(["a", "b", "c"],)]),
        ('Q(v) :- v == RegexpReplace("abcb", "b", "x");', [("axcx",)]),
        ('Q(v) :- v == RegexpExtract("abc", "b.");', [("bc",)]),
        ("Q(v) :- v == Unique([2, 1, 2]);", [([1, 2],)]),
        ("Q(v) :- v == Round(1000 * Log(Exp(2)));", [(2000,)]),
        ("Q(v) :- v == GenerateArray(1, 3);", [([1, 2, 3],)]),
        # Counts and positions read from a table are 64-bit integers.
        ('F(3, 2); Q(v) :- F(n, k), v == Lpad(Repeat("ab", k), n + 2, "x");', [("xabab",)]),
        ('F(3, 2); Q(v, w) :- F(n, k), v == Substr("abcdef", k, n), w == Rpad("a", k, "y");', [("bcd", "ay")]),
        ("Q(v? LogicalOr= x, w? LogicalAnd= x) distinct :- x in [true, false];", [(True, False)]),
    ],
)
def test_changed_built_ins_give_their_values(request, engine, source, want):
    assert same_rows(engine, rows(request, engine, source, "Q"), want)


SQLGLOT = {"bigquery": "bigquery", "presto": "presto", "trino": "trino", "databricks": "databricks"}


# The engines the tests cannot run: each engine's own form parses in its dialect.
@pytest.mark.parametrize("engine", sorted(SQLGLOT))
@pytest.mark.parametrize("call", ["ToUInt64(2)", 'DateAddDay("2024-01-30", 3)', 'DateDiffDay("2024-03-01", "2024-02-01")',
                                  'TimestampAddDays("2024-01-30 10:00:00", 3)'])
def test_own_forms_parse(engine, call):
    script = mirtova.compile(f"Q(v) :- v == {call};", "Q", engine=engine)
    parse_sql(script.split(";\n\n")[-1].rstrip(";"), read=SQLGLOT[engine],
                      error_level=sqlglot.ErrorLevel.RAISE)
