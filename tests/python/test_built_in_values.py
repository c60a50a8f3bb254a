"""The values of built-in functions that DuckDB, SQLite and PostgreSQL compute
with their own SQL, at the edges of what the functions promise: each call gives
the value worked out by hand on every engine that takes it."""

import pytest

from pg_engine import pg_cluster  # noqa: F401  (the fixture)
from test_built_in_calls import call_value, same_value
from test_engine_rows import ENGINES, rows

INF = float("inf")
NAN = float("nan")
FOUR = "x in [1, 2, 3, 4]"

# (call, or a program whose predicate Q calls it; value; the engines that take it, or None for all)
NUMBERS = [
    ("IsInf(IeeeDivide(-1, 0))", True, ["duckdb", "psql"]),
    ("IsInf(0 - 9e999)", True, ["sqlite"]),
    ("IsNan(IeeeDivide(0, 0))", True, ["duckdb", "psql"]),
    ("IsNan(2.5)", False, None),
    ("IeeeDivide(1, 0)", INF, ["duckdb", "psql"]),
    ("IeeeDivide(-1, 0)", -INF, ["duckdb", "psql"]),
    ("IeeeDivide(0, 0)", NAN, ["duckdb", "psql"]),
    ("IeeeDivide(3, 2)", 1.5, ["duckdb", "psql"]),
    ("IeeeDivide(1e300, 1e-300)", INF, ["duckdb", "psql"]),
    ("IeeeDivide(1e-300, 1e300)", 0.0, ["duckdb", "psql"]),
    ("SafeAdd(9223372036854775807, 1)", None, None),
    ("SafeAdd(1.5, 2)", 3.5, None),
    ("SafeAdd(2147483647, 1)", 2147483648, None),
    ("Q(v) :- x in [2147483647], v == SafeMultiply(x, x);", 4611686014132420609, None),
    ("SafeAdd(1e308, 1e308)", None, None),
    ("SafeAdd(null, 1)", None, None),
    ("SafeSubtract(-9223372036854775807, 2)", None, None),
    ("SafeSubtract(5, 7)", -2, None),
    ("SafeMultiply(4294967296, 4294967296)", None, None),
    ("SafeMultiply(3, -4)", -12, None),
    ("SafeMultiply(1e200, 1e200)", None, None),
    ("SafeMultiply(2.5, 2)", 5, None),
    ("Q(v) :- x in [-9223372036854775807 - 1], v == SafeNegate(x);", None, None),
    ("SafeDivide(7, 2)", 3.5, None),
    ("SafeDivide(1e300, 1e-300)", None, None),
    ("RangeBucket(-1, [0, 1, 3])", 0, None),
    ("RangeBucket(3, [0, 1, 3])", 3, None),
    ("RangeBucket(null, [0, 1, 3])", None, None),
    ("BitCount(-1)", 64, None),
    ("BitCount(0)", 0, None),
    ("BitCastToInt32(5)", 5, None),
    ("BitCastToInt32(2147483648)", -2147483648, None),
    ("BitCastToUint32(4294967296 + 7)", 7, None),
]

AGGREGATES = [
    (f"Q(v) :- {FOUR}, v == Countif(x > 5);", 0, None),
    ("Q(v) :- x in [1, 2, 2, 3], v == ApproxCountDistinct(x);", 3, None),
    (f"Q(v) :- {FOUR}, v == PercentileCont(x, 0.25);", 1.75, None),
    (f"Q(v) :- {FOUR}, v == PercentileCont(x, 1);", 4, None),
    (f"Q(v) :- {FOUR}, v == PercentileDisc(x, 0.6);", 3, None),
    (f"Q(v) :- {FOUR}, v == PercentileDisc(x, 0);", 1, None),
    ("Q(v? BitOr= x) distinct :- x in [-2, 1];", -1, None),
    ("Q(v? BitAnd= x) distinct :- x in [-1, -3];", -3, None),
    ("Q(v? BitXor= x) distinct :- x in [5, 5];", 0, None),
    (f"Q(v? VarSamp= x) distinct :- {FOUR};", 5 / 3, None),
    (f"Q(v? StddevPop= x) distinct :- {FOUR};", 1.25 ** 0.5, None),
    ("Q(v? VarSamp= x) distinct :- x in [7];", None, None),
    (f"Q(v) :- {FOUR}, v == CovarSamp(x, 2 * x);", 10 / 3, None),
    (f"Q(v) :- {FOUR}, v == Corr(x, 0 - x);", -1.0, None),
]

TEXTS = [
    ('ByteLength(FromHex("00ff"))', 2, None),
    ('ByteLength("")', 0, None),
    ("ByteLength(null)", None, None),
    ('ToCodePoints("")', [], None),
    ('ToCodePoints(FromHex("00ff"))', [0, 255], None),
    ("CodePointsToString([97, 233])", "aé", None),
    ("CodePointsToString([])", "", None),
    ("CodePointsToString([97, null])", None, None),
    ('RegexpMatch("abc", "^b")', False, None),
    ('RegexpExtractAll("a1b22", "[a-z]([0-9]+)")', ["1", "22"], None),
    ('RegexpExtractAll("xyz", "b")', [], None),
    ('RegexpExtract("a1b22", "[a-z]([0-9]+)")', "1", None),
    ('RegexpExtract("abc", "b.")', "bc", None),
    ('RegexpExtract("abc", "z")', None, None),
    ('NormalizeAndCasefold("ÅB")', "åb", ["sqlite"]),
    ("Q(v) :- x in [1, 2], u == GenerateUuid(), v == Count(u);", 2, None),
    ('Q(v) :- x in [1, -1], v == If(x > 0, x, Error("negative"));', "!", None),
]

BYTES = [
    ('ToHex(FromHex("0AbC"))', "0abc", None),
    ('ToHex(FromHex(""))', "", None),
    ('ToBase64("abcd")', "YWJjZA==", None),
    ('ToBase64("abcdef")', "YWJjZGVm", None),
    ('ToBase64("")', "", None),
    ('ToHex(FromBase64("YWJjZA=="))', "61626364", None),
    ('ToBase32("abcde")', "MFRGGZDF", None),
    ('ToBase32("abcdef")', "MFRGGZDFMY======", None),
    ('ToBase32("é")', "YOUQ====", None),
    ('ToBase32("")', "", None),
    ('ToHex(FromBase32("MFRGGZDFMY======"))', "616263646566", None),
    ('ToHex(FromBase32("YOUQ===="))', "c3a9", None),
    ("ToBase32(null)", None, None),
    ('ToHex(Md5(FromHex("00")))', "93b885adfe0da089cdf634904fd59f71", None),
    ('ToHex(Sha256(""))', "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855", None),
    ('ToBase64(Sha1("abc"))', "qZk+NkcGgWq6PiVxeFDCbJzQ2J0=", ["duckdb", "sqlite"]),
    ("ToHex(CodePointsToBytes([0, 255, 16]))", "00ff10", None),
    ("ToHex(CodePointsToBytes([]))", "", None),
]

# Aggregates over groups: each key aggregates its own values only.
GROUPED = [
    ("Q(k, v? BitOr= x) distinct :- x in [1, 2, 4], k == Mod(x, 3);", [(1, 5), (2, 2)]),
    ("Q(k, v? VarPop= x) distinct :- x in [1, 3, 10, 20], k == (x > 5);", [(False, 1.0), (True, 25.0)]),
    ("Q(k, v? PercentileDisc= x) distinct :- x in [1, 3, 10, 20], k == (x > 5);", None),
]


def _cases(table):
    return [pytest.param(call, want, engines, id=call) for call, want, engines in table]


def _source(call):
    return call if ":-" in call else f"Q(v) :- v == {call};"


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("call, want, engines", _cases(NUMBERS) + _cases(AGGREGATES) + _cases(TEXTS) + _cases(BYTES))
def test_built_in_value(request, engine, call, want, engines):
    if engines is not None and engine not in engines:
        pytest.skip(f"{engine} does not take this call")
    if want == "!":
        if engine == "psql":
            pytest.skip("PostgreSQL has no Error")
        with pytest.raises(Exception):
            call_value(request, engine, _source(call))
        return
    assert same_value(engine, call_value(request, engine, _source(call)), want)


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("source, want", [g for g in GROUPED if g[1] is not None], ids=lambda v: str(v)[:40])
def test_grouped_aggregate_value(request, engine, source, want):
    got = rows(request, engine, source, "Q")
    assert len(got) == len(want)
    for (key, value), (want_key, want_value) in zip(sorted(got, key=repr), sorted(want, key=repr)):
        assert same_value(engine, key, want_key) and same_value(engine, value, want_value), got
