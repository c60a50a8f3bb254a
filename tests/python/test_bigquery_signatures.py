"""BigQuery cannot run here: every BigQuery script of the suite's programs is
read by sqlglot and each of its calls checked against BigQuery's documented
signatures (tests/data/bigquery_signatures.txt)."""

import pytest
import sqlglot

import mirtova
from bigquery_signatures import call_faults, plan_faults, type_faults
from differential_programs import Options, generate, program_text
from sql_parse import parse_sql
from suite_programs import compiled, modules, programs_of
from test_built_in_calls import CALLS
from test_compile_plans import CLOSURE, DOUBLING

DIFFERENTIAL = 300  # the programs test_differential draws from seed 19


def checked(script):
    """Each statement parses in BigQuery's dialect, each call matches the table
    (sql_parse checks both); the statements. A statement nested deeper than
    sqlglot's parser recurses (the hostile programs of test_robustness) is
    left out."""
    statements = [s for s in script.split(";\n") if s.strip()]
    for statement in statements:
        try:
            parse_sql(statement, read="bigquery")
        except RecursionError:
            continue
    return statements


@pytest.mark.parametrize("name, refused, source, want", CALLS, ids=[c[0] for c in CALLS])
def test_built_in_call(name, refused, source, want):
    base, _, count = name.partition("@")[0].partition("/")
    if "bigquery" in refused:
        with pytest.raises(ValueError, match=f"Built-in function {base} is not available on engine bigquery"):
            mirtova.compile(source, "Q", engine="bigquery")
    elif "[[" in source:
        with pytest.raises(ValueError, match="A list of lists is not available on engine bigquery."):
            mirtova.compile(source, "Q", engine="bigquery")
    else:
        checked(mirtova.compile(source, "Q", engine="bigquery"))


# Their scripts run to megabytes, minutes of sqlglot's reading: the whole run reads them, the everyday one not.
LONG_SCRIPTS = {"test_long_chains", "test_compile_plans"}


def spread(scripts):
    """The scripts of a program to read: all of a few, and of a chain's
    thousands (each predicate's script repeats the clauses of all those before
    it, 70 MB for the chains of one module) the longest, which holds every
    clause, and a spread of the others."""
    if len(scripts) <= 16:
        return scripts
    by_length = sorted(scripts, key=len)
    return [by_length[i] for i in range(0, len(by_length), len(by_length) // 15)] + by_length[-1:]


@pytest.mark.parametrize("module", [pytest.param(m, marks=pytest.mark.slow) if m in LONG_SCRIPTS else m
                                    for m in modules() if m != "test_bigquery_signatures"])
def test_programs_of_the_suite(module):
    for source in programs_of(module):
        for script in spread(compiled(source, "bigquery")):
            checked(script)


# Seed 19 is test_differential's; the others draw programs no other test compiles for BigQuery.
@pytest.mark.parametrize("seed", [19, 23, 311, 4242, 90001])
def test_differential_programs(seed):
    for index in range(DIFFERENTIAL):
        # BigQuery's arrays hold no arrays, and it orders no ARRAY or STRUCT.
        program = generate(seed * 1_000_003 + index, Options(lists_of_lists=False, ordered_containers=False))
        checked(mirtova.compile(program_text(program), program.query, engine="bigquery"))


# What the compiler once wrote for BigQuery, and forms it writes now.
@pytest.mark.parametrize("sql, fault", [
    ('SELECT DATE_ADD("2024-01-31", 1, "MONTH")', "DATE_ADD: 3 arguments"),
    ('SELECT DATE_DIFF(a, b, "DAY")', "DATE_DIFF: argument 3 is a text where BigQuery takes a keyword"),
    ("SELECT DATE_TRUNC(d, HOUR)", "DATE_TRUNC: argument 2 is not one of the keywords"),
    ("SELECT TIME_ADD(CURRENT_TIMESTAMP(), 1)", "TIME_ADD: argument 2 is no INTERVAL"),
    ("SELECT DATE_ADD(d, INTERVAL 1 HOUR)", "DATE_ADD: argument 2 is an interval whose part is not one of"),
    ("SELECT ABS(INTERVAL 1 DAY)", "ABS: argument 1 is an INTERVAL"),
    ('SELECT NORMALIZE(x, "NFKC")', "NORMALIZE: argument 2 is a text where"),
    ("SELECT ROW_NUMBER()", "ROW_NUMBER: not a function BigQuery documents"),
    ("SELECT x FROM t WHERE REGEXP_LIKE(CAST(x AS STRING), '^a')", "REGEXP_LIKE: not a function"),
    ("SELECT NET.FORMAT_IP(1)", "NET.FORMAT_IP: not a function"),
    ("SELECT ST_BUFFERWITHTOLERANCE(g, 1, 1)", "argument 3 is not the named argument tolerance_meters"),
    ("SELECT CAST(NULL AS varchar)", "CAST: argument 1 is the type varchar"),
    ("SELECT MAX(x ORDER BY x) FROM t", "MAX: ORDER clause"),
    ("SELECT ABS(x) OVER () FROM t", "ABS: OVER"),
    ("SELECT ARRAY_LENGTH()", "ARRAY_LENGTH: 0 arguments"),
    ("SELECT SUBSTR(x, 2, -1), SUBSTR(x, 1, (- 2))", "SUBSTR: argument 3 is a negative number"),
    ("SELECT MOD(7.5, NULLIF(2, 0))", "MOD: argument 1 is a number with a fraction"),
    ("SELECT MOD(x, -2), MOD(-7, 1e0)", "MOD: argument 2 is a number with a fraction"),
    ("SELECT SUBSTR(x, -2, 1), SUBSTR(x, 2, GREATEST(-1, 0)), SUBSTR(x, 1, n - 1)", None),
    ("SELECT ARRAY(SELECT 1 FROM t) || ARRAY(1)", "ARRAY: argument 1 is not a query"),
    ("SELECT FORMAT('%s %d', 'a', 1), FORMAT('<%5s %s>', x, -2)", "FORMAT: argument 3 is a number or a boolean"),
    ("SELECT FORMAT('%d%% %s', 1, TRUE)", "FORMAT: argument 3 is a number or a boolean"),
    ("SELECT FORMAT('%d %s %t', 1, CAST(2 AS STRING), 3), FORMAT(f, 1)", None),
    ("SELECT FORMAT('%s', ARRAY[1]), FORMAT('%t', [2])", "FORMAT: argument 2 is a list or a record"),
    ("SELECT CAST(STRUCT(1 AS a) AS STRING)", "CAST: argument 1 is a list or a record cast to STRING"),
    ("SELECT CAST([1][OFFSET(0)] AS STRING), CAST(ARRAY(SELECT 1) AS INT64), TO_JSON_STRING(STRUCT(1 AS a))", None),
    ("SELECT DATE_TRUNC(d, WEEK(MONDAY)), COUNT(*), COUNT(DISTINCT x), NET.HOST(h)", None),
    ("SELECT ARRAY_AGG(x IGNORE NULLS ORDER BY [x][OFFSET(0)] LIMIT 1)[SAFE_OFFSET(0)] FROM t", None),
    ("SELECT ARRAY_AGG(x ORDER BY y IS NULL, y DESC LIMIT 2), ARRAY_AGG(x, y ORDER BY y) FROM t",
     "ARRAY_AGG: 2 arguments"),
    ("SELECT CAST(x AS ARRAY<STRUCT<a INT64, b STRING>>), STRUCT(1 AS a, 2), SUM(x) OVER (ORDER BY y)", None),
    ("SELECT GENERATE_DATE_ARRAY(a, b, INTERVAL - 1 MONTH), TIMESTAMP_TRUNC(t, DAY, 'UTC')", None),
    # Faults of the values' types: ARRAYs compared, grouped or told apart, INT64s rounded to FLOAT64s.
    ("SELECT ABS(x) FROM t WHERE ARRAY[1, 2] = [1, 2]", "EQ: an ARRAY compared"),
    ("SELECT x FROM t WHERE STRUCT([1] AS a) != STRUCT([2] AS a)", "NEQ: an ARRAY compared"),
    ("WITH T AS (SELECT 1 AS c, [1] AS l) SELECT ABS(T.c) FROM T AS T, T AS U WHERE T.l = U.l", "EQ: an ARRAY compared"),
    ("WITH T AS (SELECT 1 AS c, [1] AS l) SELECT DISTINCT ABS(T.c) AS c, T.l AS l FROM T AS T",
     "SELECT DISTINCT: an ARRAY"),
    ("WITH T AS (SELECT 1 AS c, [1] AS l) SELECT T.l AS k, SUM(T.c) AS s FROM T AS T GROUP BY k", "GROUP BY: an ARRAY"),
    ("WITH T AS (SELECT [1] AS l) SELECT COUNT(DISTINCT T.l) AS n FROM T AS T", "COUNT: DISTINCT of an ARRAY"),
    ("SELECT ABS(1) FROM t WHERE STRUCT([1] AS a) IN UNNEST([STRUCT([1] AS a)])", "IN: an ARRAY sought"),
    ("WITH T AS (SELECT [1] AS l) SELECT MAX((CASE WHEN 1 > 0 THEN T.l ELSE [2] END)) AS m FROM T AS T",
     "MAX: an ARRAY or a STRUCT"),
    ("WITH T AS (SELECT STRUCT(1 AS a) AS r) SELECT MIN(T.r) AS m FROM T AS T", "MIN: an ARRAY or a STRUCT"),
    ("WITH T AS (SELECT [1] AS l) SELECT ARRAY_AGG(T.l ORDER BY [T.l][OFFSET(0)] LIMIT 1) AS m FROM T AS T",
     "ORDER BY: an ARRAY or a STRUCT"),
    ("WITH T AS (SELECT 1 AS c, [1] AS l) SELECT * FROM T EXCEPT DISTINCT SELECT ABS(c), l FROM T",
     "EXCEPT DISTINCT: an ARRAY"),
    ("WITH T AS (SELECT 1 AS c, [1] AS l) SELECT NULLIF(TO_JSON_STRING(r), 'null') AS k FROM T AS r EXCEPT DISTINCT "
     "SELECT TO_JSON_STRING(STRUCT(T.l AS l)) FROM T AS T ORDER BY k", None),
    ("SELECT FLOOR(9007199254740993), FLOOR(1.5)", "FLOOR: an INT64 rounded"),
    ("SELECT ROUND(CAST(x AS INT64)) FROM t", "ROUND: an INT64 rounded"),
    ("SELECT SUBSTR(x, FLOOR(y)) FROM t", "SUBSTR: argument 2 is a FLOAT64 of rounding"),
    ("SELECT [1][OFFSET((CASE WHEN y < 0 THEN CEIL(y) ELSE 0 END))] FROM t", "OFFSET: argument 1 is a FLOAT64 of"),
    ("WITH T AS (SELECT 1 AS c, [1] AS l) SELECT ANY_VALUE(T.l) AS k, SUM(T.c) AS s, COUNT(DISTINCT "
     "TO_JSON_STRING(T.l)) AS n FROM T AS T WHERE NULLIF(TO_JSON_STRING(T.l), 'null') = TO_JSON_STRING([1]) "
     "GROUP BY NULLIF(TO_JSON_STRING(T.l), 'null')", None),
    ("SELECT x = FLOOR(x), FLOOR(1.5), SUBSTR(x, CAST(FLOOR(y) AS INT64)), [1][OFFSET(CAST(ROUND(y) AS INT64))] "
     "FROM t WHERE x = y", None),
])
def test_check_finds_each_fault(sql, fault):
    names, faults = call_faults(sql)
    try:
        faults += type_faults(sqlglot.parse_one(sql, read="bigquery"))
    except sqlglot.errors.ParseError:
        pass  # the SQL of a fault sqlglot reads no tree of; its calls are checked
    assert names
    if fault is None:
        assert faults == []
    else:
        assert any(fault in f for f in faults), faults


# BigQuery orders no STRUCT, and its MAX and MIN refuse one: the greatest and least record are picked by the
# values of its fields.
@pytest.mark.parametrize("source", [
    next(source for name, _, source, _ in CALLS if name == "Max@record"),
    next(source for name, _, source, _ in CALLS if name == "Min@record"),
    "T(k: 1, r: {a: {b: 2}, c: null}); Q(k:, v? Min= r) distinct :- T(k:, r:);",
    "T(1); T(2); Q(v) :- v == Max{{a: x, b: -x} :- T(x)};",
])
def test_no_extreme_of_a_record(source):
    names = []
    for statement in checked(mirtova.compile(source, "Q", engine="bigquery")):
        names += call_faults(statement)[0]
    assert "ARRAY_AGG" in names and "MAX" not in names and "MIN" not in names


# Where BigQuery reads a keyword the call must name one, as a text literal.
@pytest.mark.parametrize("call, message", [
    ('DateAdd("2024-01-31", 1, p)', "DateAdd needs its argument 3 as a text literal on engine bigquery: one of "
                                     "DAY, WEEK, MONTH, QUARTER, YEAR."),
    ('DateAdd("2024-01-31", 1, "HOUR")', 'DateAdd on engine bigquery takes one of DAY, WEEK, MONTH, QUARTER, '
                                         'YEAR as its argument 3, not "HOUR".'),
    ('TimestampDiff("2024-01-31", "2024-01-01", "WEEK")', 'TimestampDiff on engine bigquery takes one of '
                                                          'MICROSECOND, MILLISECOND, SECOND, MINUTE, HOUR, DAY'),
    ('Normalize("a", "NFX")', "Normalize on engine bigquery takes one of NFC, NFKC, NFD, NFKD as its argument 2"),
    ('GenerateDateArray("2024-01-01", "2024-02-01", 1, p)', "GenerateDateArray needs its argument 4 as a text "
                                                             "literal on engine bigquery"),
    ("Log(1, 2, 3)", "Built-in function Log is not available on engine bigquery with 3 arguments."),
    ("Coalesce()", "Built-in function Coalesce is not available on engine bigquery with 0 arguments."),
    ("Size()", "Built-in function Size is not available on engine bigquery with 0 arguments."),
    # Past the numbers a row of the engine can name, the count the row takes.
    ("Abs(" + ", ".join(["1"] * 10) + ")", "Built-in function Abs expects 1-1 arguments, got 10"),
])
def test_keyword_and_count_refusals(call, message):
    with pytest.raises(ValueError) as caught:
        mirtova.compile(f'Q(v) :- p == "MONTH", v == {call};', "Q", engine="bigquery")
    assert message in str(caught.value)


def test_parts_in_any_case():
    script = mirtova.compile('Q(v) :- v == DateTrunc("2024-05-15", "week(monday)");', "Q", engine="bigquery")
    assert 'DATE_TRUNC(CAST("2024-05-15" AS DATE), WEEK(MONDAY))' in checked(script)[-1]


# The loops of test_compile_plans, and the same with lists in their tables, which BigQuery's EXCEPT DISTINCT
# and GROUP BY do not take: rows holding lists are told apart and counted by their JSON text.
DOUBLING_LISTS = """
@Ground(Cur); Cur([0]);
@Ground(Next, Nxt);
Next([y]) :- Cur(x), y == Element(x, 0) + 1;
@Ground(Again, Cur);
Again([y]) :- Next(x), y == 2 * Element(x, 0);
@Iteration(Doubling, predicates: [Next, Again], repetitions: 3);
Result(x) :- Again(x);
"""
CLOSURE_LISTS = """
Edge(1, 2); Edge(2, 3); Edge(3, 4);
@Ground(Full); Full(x, [y]) distinct :- Edge(x, y);
@Ground(Delta); Delta(x, [y]) distinct :- Edge(x, y);
New(x, [z]) distinct :- Delta(x, y), Edge(Element(y, 0), z), ~Full(x, [z]);
@Ground(Back, Delta);
Back(x, y) distinct :- New(x, y);
@Iteration(Delta, predicates: [New, Back], repetitions: 10, accumulate: Full);
Closure(x, y) :- Full(x, y);
"""


@pytest.mark.parametrize("source, predicate, in_json", [
    (DOUBLING, "Result", False), (CLOSURE, "Closure", False),
    (DOUBLING_LISTS, "Result", True), (CLOSURE_LISTS, "Closure", True),
])
def test_loop_plans(source, predicate, in_json):
    statements = []
    for step in mirtova.plan(source, predicate, engine="bigquery"):
        statements += step["body"] + [step["changed"]] if step["kind"] == "loop" else step["sql"].split(";\n")
    for statement in statements:
        names, faults = call_faults(statement)
        assert not faults, faults
    assert plan_faults(statements) == []
    assert any("TO_JSON_STRING(mirtova_r)" in s for s in statements) == in_json
