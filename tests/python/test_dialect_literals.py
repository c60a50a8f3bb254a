"""String literals written for duckdb and sqlite read back as the original text on the real engines.

The rows are copied from the literal table of tests/cpp/dialects/dialects_quoting_test.cpp
(its "standard" column, which duckdb and sqlite share): the compiler's quoting is
checked there, and here that the same SQL text means the original string.
"""

import sqlite3

import duckdb
import pytest

# (original text, SQL literal as the compiler writes it for duckdb and sqlite)
LITERALS = [
    ("", "''"),
    ("plain", "'plain'"),
    ("it's", "'it''s'"),
    ("''", "''''''"),
    ('say "hi"', "'say \"hi\"'"),
    (r"back\slash", r"'back\slash'"),
    ("\\'", r"'\'''"),
    ('\\"', r"""'\"'"""),
    (r"\u0022", r"'\u0022'"),
    ("trailing\\", "'trailing\\'"),
    ("line\nbreak\ttab", "'line\nbreak\ttab'"),
    ("h\u00e9llo \u2603 \u65e5\u672c \U0001F600", "'h\u00e9llo \u2603 \u65e5\u672c \U0001F600'"),
    ("$1 ${x}", "'$1 ${x}'"),
    ("-- no comment /* */ ;", "'-- no comment /* */ ;'"),
    ("%s {0} {body}", "'%s {0} {body}'"),
    ("' OR '1'='1", "''' OR ''1''=''1'"),
]


@pytest.mark.parametrize("text,literal", LITERALS)
def test_duckdb_reads_the_original(text, literal):
    con = duckdb.connect()
    try:
        assert con.execute(f"SELECT {literal}").fetchall() == [(text,)]
    finally:
        con.close()


@pytest.mark.parametrize("text,literal", LITERALS)
def test_sqlite_reads_the_original(text, literal):
    con = sqlite3.connect(":memory:")
    try:
        assert con.execute(f"SELECT {literal}").fetchall() == [(text,)]
    finally:
        con.close()


@pytest.mark.parametrize("text,literal", LITERALS)
def test_literal_is_one_token_in_a_larger_query(text, literal):
    # A literal that ended early would change the row count or the columns.
    query = f"SELECT {literal} AS v, 7 AS w UNION ALL SELECT {literal}, 8"
    expected = [(text, 7), (text, 8)]
    con = duckdb.connect()
    try:
        assert con.execute(query).fetchall() == expected
    finally:
        con.close()
    con = sqlite3.connect(":memory:")
    try:
        assert con.execute(query).fetchall() == expected
    finally:
        con.close()
