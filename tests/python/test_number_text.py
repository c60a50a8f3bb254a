"""Numbers turn into text alike on DuckDB and SQLite."""

import pytest

from compile_engines import run

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
    # Integers: whole below 1e18, to 15 digits past it, the least one too.
    ("999999999999999999", "999999999999999999"),
    ("-999999999999999999", "-999999999999999999"),
    ("-9223372036854775808", "-9223372036854780000"),
    ("9223372036854775807", "9223372036854780000"),
]


@pytest.mark.parametrize("engine", ["duckdb", "sqlite"])
@pytest.mark.parametrize("expression, text", CASES)
def test_number_text(engine, expression, text):
    rows = run(f"T(s) :- s == ToString({expression});", "T", engine)
    assert rows == [(text,)]
