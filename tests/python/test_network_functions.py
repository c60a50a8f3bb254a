"""The IPv4 functions of the network family and ApproxQuantiles on DuckDB,
SQLite, PostgreSQL and Spark (databricks), against values worked out by hand; what BigQuery refuses
(and the IPv6 addresses these engines do not write) fails when run."""

import pytest

import mirtova
from pg_engine import pg_cluster  # noqa: F401  (the fixture)
from test_built_in_calls import call_value
from test_engine_rows import ENGINES, SPARK, run_script

VALUES = [
    ("ToHex(NetIpv4FromInt64(511))", "000001ff"),
    ("ToHex(NetIpv4FromInt64(-1))", "ffffffff"),
    ("ToHex(NetIpv4FromInt64(-2147483648))", "80000000"),
    ("ToHex(NetIpv4FromInt64(4294967295))", "ffffffff"),
    ('NetIpv4ToInt64(FromHex("ffffffff"))', 4294967295),
    ('NetIpv4ToInt64(FromHex("c0a80001"))', 3232235521),
    ("NetIpToString(NetIpv4FromInt64(511))", "0.0.1.255"),
    ('NetIpToString(NetIpFromString("192.168.0.1"))', "192.168.0.1"),
    ('ToHex(NetIpFromString("0.0.0.0"))', "00000000"),
    ('ToHex(NetSafeIpFromString("255.255.255.255"))', "ffffffff"),
    ('NetSafeIpFromString("1.2.3.256")', None),
    ('NetSafeIpFromString("01.2.3.4")', None),
    ('NetSafeIpFromString("1.2.3")', None),
    ('NetSafeIpFromString("a.b.c.d")', None),
    ("NetIpv4FromInt64(null)", None),
]


@pytest.mark.parametrize("engine", ENGINES + [SPARK])
@pytest.mark.parametrize("call, want", VALUES, ids=[v[0] for v in VALUES])
def test_ipv4_functions_give_their_values(request, engine, call, want):
    assert call_value(request, engine, f"Q(v) :- v == {call};") == want


@pytest.mark.parametrize("engine", ENGINES + [SPARK])
@pytest.mark.parametrize("call", [
    "NetIpv4FromInt64(4294967296)",
    "NetIpv4FromInt64(-2147483649)",
    'NetIpv4ToInt64(FromHex("0102"))',
    'NetIpFromString("1.2.3.256")',
    'NetIpFromString("1.2.3")',
    'NetIpFromString("::1")',
    'NetSafeIpFromString("::1")',
    'NetIpToString(FromHex("010203"))',
    'NetIpToString(FromHex("00000000000000000000000000000001"))',
])
def test_refused_addresses_fail_when_run(request, engine, call):
    script = mirtova.compile(f"Q(v) :- v == {call};", "Q", engine=engine)
    with pytest.raises(Exception):
        run_script(request, engine, script)


# Exact quantiles: of the n + 1, the k-th has rank ceil(k * count / n).
@pytest.mark.parametrize("engine", ENGINES + [SPARK])
@pytest.mark.parametrize("source, want", [
    ("Q(v) :- x in [5, 1, 4, 2, 3], v == ApproxQuantiles(x, 4);", [1, 2, 3, 4, 5]),
    ("Q(v) :- x in [4, 3, 2, 1], v == ApproxQuantiles(x, 2);", [1, 2, 4]),
    ("Q(v) :- x in [4, 3, 2, 1], v == ApproxQuantiles(x, 3);", [1, 2, 3, 4]),
    ("Q(v) :- x in [7, 9], v == ApproxQuantiles(x, 1);", [7, 9]),
    ("Q(v) :- x in [2, 2, 8], v == ApproxQuantiles(x, 4);", [2, 2, 2, 8, 8]),
])
def test_approx_quantiles_are_exact(request, engine, source, want):
    assert call_value(request, engine, source) == want
