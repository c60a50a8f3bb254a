"""Numbers turn into text alike on DuckDB, SQLite and PostgreSQL."""

import pytest

from pg_engine import pg_cluster  # noqa: F401  (the fixture)
from test_engine_rows import ENGINES, rows

# (expression, text)
CASES = [
    ("0.0000000000000004", "0"),
    ("3.0", "3"),
    ("100000000000000000.0", "100000000000000000"),
    ("0.1 + 0.2", "0.3"),
    ("-2.5", "-2.5"),
    ("1.0 / 3.0", "0.333333333333333"),
    ("123456.789", "123456.789"),
    ("2.0 / 3.0 * 1000.0", "666.666666666667"),
    ("7", "7"),
    # Integers, of a column: whole below 1e18, to 15 digits past it, the least one too.
    ("x", "999999999999999999", 999999999999999999),
    ("x", "-999999999999999999", -999999999999999999),
    ("x", "-9223372036854780000", -9223372036854775808),
    ("x", "9223372036854780000", 9223372036854775807),
]


@pytest.mark.parametrize("engine", ENGINES)
@pytest.mark.parametrize("case", CASES)
def test_number_text(request, engine, case):
    expression, text, *column = case
    facts = f"F({column[0]}); " if column else ""
    body = " :- F(x), " if column else " :- "
    assert rows(request, engine, f"{facts}T(s){body}s == ToString({expression});", "T") == [(text,)]
