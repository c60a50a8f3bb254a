"""FormatDate, FormatDatetime, FormatTime, FormatTimestamp and the Parse
functions on DuckDB, SQLite, PostgreSQL and Spark (databricks): each format element against values
worked out by hand, texts that do not match failing when run, and formats that
cannot be written refused when compiling."""

import pytest

import mirtova
from pg_engine import pg_cluster  # noqa: F401  (the fixture)
from test_built_in_calls import call_value
from test_engine_rows import ENGINES, SPARK, run_script

# 2024-01-02 is a Tuesday, the second day of ISO week 1; the first Sunday of
# 2024 is the 7th, its first Monday the 1st.
VALUES = [
    ('FormatDate("%Y-%m-%d", "2024-01-02")', "2024-01-02"),
    ('FormatDate("%F|%D|%x|%y|%C|%E4Y", "2024-01-02")', "2024-01-02|01/02/24|01/02/24|24|20|2024"),
    ('FormatDate("%e|%j|%a|%A|%b|%h|%B", "2024-01-02")', " 2|002|Tue|Tuesday|Jan|Jan|January"),
    ('FormatDate("%u|%w|%U|%W|%V|%G|%g|%Q", "2024-01-02")', "2|2|00|01|01|2024|24|1"),
    # 2021-01-03 is a Sunday in ISO week 53 of 2020.
    ('FormatDate("%u|%w|%U|%W|%V|%G", "2021-01-03")', "7|0|01|00|53|2020"),
    ('FormatDate("%B %e, 100%% %n", "2024-12-31")', "December 31, 100% \n"),
    ('FormatDatetime("%c", "2024-01-02 13:04:05")', "Tue Jan  2 13:04:05 2024"),
    ('FormatDatetime("%I %l %p %k|%E*S|%E3S|%E0S", "2024-01-02 00:04:05.25")', "12 12 AM  0|05.25|05.250|05"),
    ('FormatDatetime("%E*S %T %R", "2024-01-02 23:59:07")', "07 23:59:07 23:59"),
    ('FormatTime("%H:%M:%S %p", "15:04:05")', "15:04:05 PM"),
    ('FormatTime("%X|%E6S", "01:02:03.000004")', "01:02:03|03.000004"),
    ('FormatTimestamp("%s %z %Ez %Z", "2024-01-02 13:04:05")', "1704200645 +0000 +00:00 UTC"),
    # An offset in the text is read: the timestamp is written in UTC.
    ('FormatTimestamp("%F %T", "2024-01-02 01:30:00+02:00")', "2024-01-01 23:30:00"),
    ('ParseDate("%Y-%m-%d", "2024-1-2")', "2024-01-02"),
    ('ParseDate("%d %b %Y", "  2 FEBRUARY 2024 ")', "2024-02-02"),
    ('ParseDate("%Y%m%d", "20240229")', "2024-02-29"),
    ('ParseDate("%m/%d/%y", "12/31/68")', "2068-12-31"),
    ('ParseDate("%m/%d/%y", "12/31/69")', "1969-12-31"),
    ('ParseDate("%Y", "2024")', "2024-01-01"),
    ('ParseDate("%F", "2024-03-04")', "2024-03-04"),
    ('ParseDatetime("%F %T", "2024-03-04 05:06:07")', "2024-03-04 05:06:07"),
    ('ParseDatetime("%m/%d/%Y %l:%M %p", "7/4/2024 12:30 am")', "2024-07-04 00:30:00"),
    ('ParseDatetime("%d.%m.%Y %I:%M %p", "04.07.2024 12:30 PM")', "2024-07-04 12:30:00"),
    ('ParseTime("%H:%M:%E*S", "23:59:58.125")', "23:59:58.125"),
    ('ParseTime("%I%p", "7pm")', "19:00:00"),
    ('ParseTime("%H", "5")', "05:00:00"),
    ('ParseTimestamp("%F %T", "2024-01-02 03:04:05")', "2024-01-02 03:04:05"),
    ('ParseTimestamp("%F %T %z", "2024-01-02 03:04:05 -0130")', "2024-01-02 04:34:05"),
    ('ParseTimestamp("%F %H:%M:%E*S%Ez", "2024-01-01 00:30:00.5+01:00")', "2023-12-31 23:30:00.5"),
    ('ParseTimestamp("%s", "86400")', "1970-01-02 00:00:00"),
]


@pytest.mark.parametrize("engine", ENGINES + [SPARK])
@pytest.mark.parametrize("call, want", VALUES, ids=[v[0] for v in VALUES])
def test_format_and_parse_give_their_values(request, engine, call, want):
    assert call_value(request, engine, f"Q(v) :- v == {call};") == want


@pytest.mark.parametrize("engine", ENGINES + [SPARK])
@pytest.mark.parametrize("call", ['FormatDate("%Y", null)', 'ParseDate("%Y", null)', 'ParseTime("x", null)'])
def test_null_gives_null(request, engine, call):
    assert call_value(request, engine, f"Q(v) :- v == {call};") is None


# Texts the format does not describe, and dates and times that do not exist.
@pytest.mark.parametrize("engine", ENGINES + [SPARK])
@pytest.mark.parametrize("call", [
    'ParseDate("%Y-%m-%d", "2024/01/02")',
    'ParseDate("%Y-%m-%d", "2024-02-30")',
    'ParseDate("%Y-%m-%d", "2024-13-01")',
    'ParseDate("%Y-%m-%d", "2024-01-02x")',
    'ParseDate("%d %b %Y", "2 Foo 2024")',
    'ParseTime("%H:%M", "24:00")',
    'ParseTime("%H:%M:%S", "10:60:00")',
    'ParseTime("%I %p", "13 pm")',
    'ParseDatetime("%F %T", "2024-02-03 01:02:03.5")',
])
def test_unreadable_text_fails_when_run(request, engine, call):
    script = mirtova.compile(f"Q(v) :- v == {call};", "Q", engine=engine)
    with pytest.raises(Exception):
        run_script(request, engine, script)


@pytest.mark.parametrize("engine", ENGINES + ["databricks"])
@pytest.mark.parametrize("source, message", [
    ('Q(v) :- f == "%Y", v == FormatDate(f, "2024-01-02");', "FormatDate needs its format as a text literal"),
    ('Q(v) :- v == FormatDate("%H", "2024-01-02");', "The format element %H is not available in FormatDate."),
    ('Q(v) :- v == FormatTime("%Y", "01:02:03");', "The format element %Y is not available in FormatTime."),
    ('Q(v) :- v == FormatDate("%q", "2024-01-02");', "The format of FormatDate has an unknown element %q."),
    ('Q(v) :- v == FormatDate("%Y%", "2024-01-02");', "The format of FormatDate has an unknown element %."),
    ('Q(v) :- v == ParseDate("%j", "002");', "The format element %j is not available in ParseDate."),
    ('Q(v) :- v == ParseTimestamp("%Z", "UTC");', "The format element %Z is not available in ParseTimestamp."),
    ('Q(v) :- v == ParseDate("%Y");', "Built-in function ParseDate expects 2-2 arguments, got 1"),
])
def test_formats_that_cannot_be_written_are_refused(engine, source, message):
    with pytest.raises(ValueError) as caught:
        mirtova.compile(source, "Q", engine=engine)
    assert message in str(caught.value)
