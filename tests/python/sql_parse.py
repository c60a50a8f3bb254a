"""Generated SQL read by sqlglot, for the engines the tests cannot run.

BigQuery SQL is also checked call by call against BigQuery's documented
signatures (bigquery_signatures.py).

A template placeholder left in the SQL ("{0}", "{1:DAY|WEEK}", "{body}", "%s") is a part of a
template the compiler never filled: the SQL is refused before sqlglot reads it,
since sqlglot may well take the placeholder for something it knows. Text inside
quotes ('...' or "...": a string, or a quoted name) is the program's own and is
not looked at.
"""
import re

import sqlglot

from bigquery_signatures import call_faults, type_faults

TYPED_LENGTH = 50_000
PLACEHOLDER = re.compile(r"\{\d+(?::[^{}]*)?\}|\{body\}|%s")
STRING_LITERAL = re.compile(r"'(?:[^'\\]|\\.|'')*'|\"(?:[^\"\\]|\\.)*\"")


def unfilled_placeholder(sql):
    """The first placeholder outside string literals, or None."""
    found = PLACEHOLDER.search(STRING_LITERAL.sub("''", sql))
    return found.group(0) if found else None


def parse_sql(sql, read, **options):
    """sqlglot's tree of one statement, once no placeholder is left in it."""
    left = unfilled_placeholder(sql)
    assert left is None, f"template placeholder {left} left in the SQL:\n{sql}"
    tree = sqlglot.parse_one(sql, read=read, **options)
    if read == "bigquery":
        # BigQuery's quoted strings hold no line break, not even after a backslash.
        broken = next((s for s in STRING_LITERAL.findall(sql) if "\n" in s or "\r" in s), None)
        assert broken is None, f"line break inside the string {broken!r} in:\n{sql}"
        _, faults = call_faults(sql)
        # Types are read through every WITH clause, at twice the cost of the parse: the chains of
        # thousands of clauses, which repeat the forms of short statements, are left to the calls' check.
        if len(sql) <= TYPED_LENGTH:
            faults += type_faults(tree)
        assert not faults, f"{faults}\nin:\n{sql}"
    return tree
