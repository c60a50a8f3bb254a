"""The placeholder check that runs before sqlglot reads generated SQL."""
import pytest

from sql_parse import unfilled_placeholder


@pytest.mark.parametrize("sql, left", [
    ("SELECT 1", None),
    ("SELECT {0} AS col0", "{0}"),
    ("SELECT LOWER({12})", "{12}"),
    ("SELECT DATE_TRUNC(d, {1:DAY|WEEK(MONDAY)})", "{1:DAY|WEEK(MONDAY)}"),
    ("SELECT (SELECT {body} FROM t)", "{body}"),
    ("SELECT FORMAT(%s)", "%s"),
    ("SELECT '{0} and %s'", None),                # the program's own text
    ("SELECT 'it''s {body}', x", None),           # a doubled quote inside a literal
    ('SELECT FORMAT("%s-%s", "a\\"{0}")', None),     # BigQuery's double-quoted literals
    ('SELECT "a", %s, "b"', "%s"),
    (r"SELECT 'a\'b', {1}", "{1}"),               # a backslash-escaped quote, then a placeholder
    ("SELECT {a}, {v} FROM t", None),             # named fields of a SqlExpr are no placeholders
])
def test_placeholders_outside_literals(sql, left):
    assert unfilled_placeholder(sql) == left
