#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/dialects/templates/date_format_sql.h"
#include "compiler/expr_translate/apply_template.h"
#include "compiler/expr_translate/expr_translator.h"
#include "support/engine_names.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

// Stands in for the program: fixed answers, and a log of what it was asked.
class FakeProgram : public SubqueryTranslator {
 public:
  Result<std::string, CompileError> translate_table(std::string_view predicate) override {
    if (predicate == "Missing") return CompileError("No such predicate: Missing");
    return std::string(predicate) + "_table";
  }
  std::string table_alias(std::string_view predicate) override { return "t_" + std::string(predicate); }
  Result<std::string, CompileError> translate_rule(const Json& rule, const Vocabulary& outer, const TypeMap&,
                                                   bool in_combine, OuterRows*) override {
    ++rules_translated;
    outer_seen = outer;
    return std::string(in_combine ? "SELECT inner_sql" : "SELECT wrong_flag");
  }
  std::optional<std::string> combine_psql_type(const Json&) override { return psql_type; }
  std::optional<Type> column_type(std::string_view, std::string_view) override { return std::nullopt; }
  std::string register_record_type(const Type& record) override {
    registered.push_back(record.to_string());
    return "registered";
  }

  int rules_translated = 0;
  Vocabulary outer_seen;
  std::optional<std::string> psql_type;
  std::vector<std::string> registered;
};

struct Env {
  explicit Env(std::string_view engine)
      : dialect(Dialect::get(engine_of(engine))), tr(vocabulary(), *dialect, flags) {
    tr.variable_types.insert_or_assign("n", Type::number());
    tr.variable_types.insert_or_assign("s", Type::string());
    tr.variable_types.insert_or_assign("b", Type::boolean());
    tr.subquery_translator = &program;
  }
  static Vocabulary vocabulary() {
    return {{"x", "T.x"}, {"y", "T.y"}, {"l", "T.l"}, {"n", "T.n"},
            {"s", "T.s"}, {"b", "T.b"}, {"c", "T.c"}, {"r", "T.r"}};
  }
  FlagMap flags{{"env", "prod"}};
  std::unique_ptr<Dialect> dialect;
  FakeProgram program;
  ExprTranslator tr;
};

struct Case {
  std::string engine;
  Json expr;
  std::string expected;  // SQL, or the message of the error
  bool fails = false;
  Type expecting = Type::any();
};

void run_cases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Env env(c.engine);
    auto sql = env.tr.convert_to_sql_expecting(c.expr, c.expecting);
    if (c.fails) {
      ASSERT_FALSE(sql.ok()) << c.engine << " " << c.expr.compact();
      EXPECT_EQ(sql.error().message, c.expected) << c.engine << " " << c.expr.compact();
    } else {
      ASSERT_TRUE(sql.ok()) << c.engine << " " << c.expr.compact() << ": " << sql.error().message;
      EXPECT_EQ(sql.value(), c.expected) << c.engine << " " << c.expr.compact();
    }
  }
}

TEST(ExprConvert, Literals) {
  // clang-format off
  run_cases({
      {"duckdb", num("12"), "CAST(12 AS BIGINT)"},
      {"duckdb", num("1.5"), "1.5E0"},
      {"duckdb", num("-1"), "CAST(-1 AS BIGINT)"},
      {"duckdb", num("+007"), "CAST(+007 AS BIGINT)"},
      {"psql", num("-9223372036854775808"), "CAST(-9223372036854775808 AS BIGINT)"},
      {"duckdb", num("9223372036854775808"), "9223372036854775808"},
      {"sqlite", num("12"), "12"},
      {"trino", num("12"), "CAST(12 AS BIGINT)"},
      {"duckdb", num("1e5"), "1e5"},
      {"duckdb", num("inf"), "The number inf has no SQL literal; write it as a calculation.", true},
      {"psql", num("-Infinity"), "The number -Infinity has no SQL literal; write it as a calculation.", true},
      {"sqlite", num("NaN"), "The number NaN has no SQL literal; write it as a calculation.", true},
      {"psql", num("1.5"), "CAST(1.5 AS double precision)"},
      {"sqlite", num("0.1"), "0.1"},
      {"bigquery", num("1.5"), "1.5"},
      {"duckdb", str("it's"), "'it''s'"},
      {"bigquery", str("say \"hi\""), "\"say \\u0022hi\\u0022\""},
      {"duckdb", boolean(true), "true"},
      {"duckdb", null_literal(), "null"},
      {"psql", null_literal(), "CAST(null AS numeric[])", false, Type::list(Type::number())},
      {"databricks", null_literal(), "CAST(null AS ARRAY<STRING>)", false, Type::list(Type::string())},
      // No hint, but PostgreSQL would read a bare null as text.
      {"psql", null_literal(), "CAST(NULL AS numeric)", false, Type::number()},
      {"psql", null_literal(), "CAST(NULL AS text)", false, Type::string()},
      {"psql", null_literal(), "null"},
      {"duckdb", null_literal(), "null", false, Type::number()},
      {"duckdb", list({num("1"), num("2")}), "[CAST(1 AS BIGINT), CAST(2 AS BIGINT)]"},
      {"duckdb", list({num("1")}), "[CAST(1 AS BIGINT)]"},
      {"sqlite", list({num("1"), num("2")}), "JSON_ARRAY(1, 2)"},
      {"psql", list({str("a")}), "ARRAY['a']"},
      {"duckdb", list({}), "[]"},
      {"psql", list({}), "CAST('{}' AS text[])", false, Type::list(Type::string())},
      {"psql", list({}), "'{}'"},
      {"duckdb", pred("P"), "'predicate_name:P'"},
      {"bigquery", pred("P"), "STRUCT(\"P\" AS predicate_name)"},
      {"duckdb", var("x"), "T.x"},
      {"duckdb", var("zz"), "Variable 'zz' is not given a value in this rule: bind it with a predicate, an equality or an inclusion.", true},
  });
  // clang-format on
}

TEST(ExprConvert, OperatorsAndFunctions) {
  // clang-format off
  run_cases({
      {"duckdb", op("+", var("x"), num("1")), "((T.x) + (CAST(1 AS BIGINT)))"},
      {"duckdb", op("/", var("x"), var("y")), "((T.x) / NULLIF(T.y, 0))"},
      {"trino", op("/", var("x"), var("y")), "(CAST(T.x AS DOUBLE) / NULLIF(T.y, 0))"},
      {"duckdb", op("in", var("x"), var("l")), "((CASE WHEN list_contains(T.l, T.x) THEN true WHEN T.x IS NULL OR T.l IS NULL OR list_count(T.l) < len(T.l) THEN NULL ELSE false END))"},
      {"psql", op("in", var("x"), var("l")), "(T.x = ANY(T.l))"},
      {"databricks", op("in", var("x"), var("l")), "(ARRAY_CONTAINS(T.l, T.x))"},
      {"sqlite", op("%", var("x"), var("y")),
       "((WITH mirtova_once(mirtova_a0, mirtova_a1) AS (VALUES (T.x, T.y)) SELECT (CASE WHEN (mirtova_a1) = -1 THEN "
       "(mirtova_a0) - CAST((mirtova_a0) AS INTEGER) ELSE (mirtova_a0) - (mirtova_a1) * CAST((mirtova_a0) / "
       "NULLIF(mirtova_a1, 0) AS INTEGER) END) FROM mirtova_once))"},
      {"duckdb", op("is not", var("x"), null_literal()), "(T.x IS NOT null)"},
      {"duckdb", op("&&", op("<", var("x"), num("1")), op(">", var("y"), num("2"))), "((T.x < CAST(1 AS BIGINT)) AND (T.y > CAST(2 AS BIGINT)))"},
      {"duckdb", call("-", {var("x")}), "- T.x"},
      {"duckdb", call("!", {op("==", var("x"), var("y"))}), "NOT (T.x = T.y)"},
      {"duckdb", call("Upper", {var("s")}), "UPPER(T.s)"},
      {"duckdb", call("Join", {var("l"), str(",")}), "(CASE WHEN T.l IS NULL OR ',' IS NULL THEN NULL ELSE COALESCE(ARRAY_TO_STRING(T.l, ','), '') END)"},
      {"bigquery", call("Join", {var("l"), str(",")}), "ARRAY_TO_STRING(T.l, \",\")"},
      // Where BigQuery reads a keyword, a text literal names it.
      {"bigquery", call("DateAdd", {var("x"), var("n"), str("month")}), "DATE_ADD(CAST(T.x AS DATE), INTERVAL T.n MONTH)"},
      {"bigquery", call("DateTrunc", {var("x"), var("s")}), "DateTrunc needs its argument 2 as a text literal on engine bigquery: one of DAY, WEEK, WEEK(SUNDAY), WEEK(MONDAY), WEEK(TUESDAY), WEEK(WEDNESDAY), WEEK(THURSDAY), WEEK(FRIDAY), WEEK(SATURDAY), ISOWEEK, MONTH, QUARTER, YEAR, ISOYEAR.", true},
      {"bigquery", call("Log", {var("x"), var("y"), var("x")}), "Built-in function Log is not available on engine bigquery with 3 arguments.", true},
      // An argument the template does not take is refused, never dropped.
      {"duckdb", call("Size", {var("l"), var("x")}), "Built-in function Size expects 1-1 arguments, got 2", true},
      {"psql", call("Concat", {var("l"), var("l"), var("l")}), "Built-in function Concat expects 2-2 arguments, got 3", true},
      {"duckdb", call("Size", {var("l")}), "LEN(T.l)"},
      // A row made for one number of arguments comes before the function's own.
      {"sqlite", call("Normalize", {var("s")}), "MIRTOVA_NORMALIZE(T.s, 'NFC', 0)"},
      {"sqlite", call("Normalize", {var("s"), var("x")}), "MIRTOVA_NORMALIZE(T.s, upper(T.x), 0)"},
      {"sqlite", call("Normalize", {var("s"), var("x"), var("y")}), "Built-in function Normalize expects 1-2 arguments, got 3", true},
      {"duckdb", call("Normalize", {var("s"), var("x")}), "Built-in function Normalize is not available on engine duckdb with 2 arguments.", true},
      {"psql", call("NormalizeAndCasefold", {var("s"), var("x")}), "Built-in function NormalizeAndCasefold is not available on engine psql.", true},
      // A row for the kind of the first argument comes before the others.
      {"sqlite", call("ToJsonString", {var("b")}), "(WITH mirtova_once(mirtova_a0) AS (VALUES (T.b)) SELECT (CASE WHEN mirtova_a0 IS NULL THEN 'null' WHEN mirtova_a0 THEN 'true' ELSE 'false' END) FROM mirtova_once)"},
      {"sqlite", call("ToJsonString", {var("s")}), "json_quote(T.s)"},
      // A template without placeholders takes no arguments.
      {"psql", call("CurrentDate", {var("s")}), "Built-in function CurrentDate expects 0-0 arguments, got 1", true},
      {"duckdb", call("Agg+", {var("x")}), "SUM(T.x)"},
      {"databricks", call("Agg++", {var("l")}), "FLATTEN(COLLECT_LIST(T.l))"},
      {"duckdb", call("AbsentEverywhere", {var("x")}), "(SELECT t_AbsentEverywhere.quoril_value FROM AbsentEverywhere_table AS t_AbsentEverywhere WHERE t_AbsentEverywhere.col0 = T.x)"},
      {"duckdb", call("F", {}, {{"a", var("x")}, {"order", num("1")}}), "(SELECT t_F.quoril_value FROM F_table AS t_F WHERE t_F.a = T.x AND t_F.\"order\" = CAST(1 AS BIGINT))"},
      {"duckdb", call("F", {}), "(SELECT t_F.quoril_value FROM F_table AS t_F)"},
      {"duckdb", call("Missing", {}), "No such predicate: Missing", true},
      {"duckdb", call("If", {var("b"), num("1"), num("2")}), "(CASE WHEN T.b THEN CAST(1 AS BIGINT) ELSE CAST(2 AS BIGINT) END)"},
      {"duckdb", call("In", {var("x"), var("l")}), "((CASE WHEN list_contains(T.l, T.x) THEN true WHEN T.x IS NULL OR T.l IS NULL OR list_count(T.l) < len(T.l) THEN NULL ELSE false END))"},
      {"duckdb", call("Cast", {var("x"), str("DECIMAL(10, 2)")}), "CAST(T.x AS DECIMAL(10, 2))"},
      {"duckdb", call("TryCast", {var("x"), str("BIGINT")}), "TRY_CAST(T.x AS BIGINT)"},
      {"duckdb", call("Cast", {var("x"), str("INT); DROP TABLE t; --")}), "Cast takes a value and the name of an SQL type as a text literal.", true},
      {"duckdb", call("CumulativeSum", {var("x"), var("y")}), "SUM(T.x) OVER (ORDER BY T.y ROWS BETWEEN UNBOUNDED PRECEDING AND CURRENT ROW)"},
      {"duckdb", call("WindowMax", {var("x"), var("y"), num("3")}), "MAX(T.x) OVER (ORDER BY T.y ROWS BETWEEN CAST(3 AS BIGINT) PRECEDING AND CURRENT ROW)"},
      {"duckdb", call("WindowMax", {var("x")}), "Built-in function WindowMax expects 3-3 arguments, got 1", true},
      {"duckdb", implication({{var("b"), num("1")}, {op("<", var("x"), num("0")), num("2")}}, num("3")),
       "(CASE WHEN T.b THEN CAST(1 AS BIGINT) WHEN (T.x < CAST(0 AS BIGINT)) THEN CAST(2 AS BIGINT) ELSE CAST(3 AS BIGINT) END)"},
  });
  // clang-format on
}

TEST(ExprConvert, ArgumentCounts) {
  // clang-format off
  run_cases({
      {"duckdb", call("Concat", {var("x"), var("y"), var("c")}), "Built-in function Concat expects 2-2 arguments, got 3", true},
      {"psql", call("If", {var("b"), var("x")}), "Built-in function If expects 3-3 arguments, got 2", true},
      {"sqlite", call("Element", {var("l")}), "Built-in function Element expects 2-2 arguments, got 1", true},
      {"bigquery", call("MagicalEntangle", {}), "Built-in function MagicalEntangle expects 2-2 arguments, got 0", true},
      {"duckdb", call("Concat", {var("x"), var("y")}),
       "((T.x) || (T.y))"},
  });
  // clang-format on
}

TEST(ExprConvert, FlagsAndSqlExpr) {
  // clang-format off
  run_cases({
      {"duckdb", call("FlagValue", {str("env")}), "'prod'"},
      {"duckdb", call("FlagValue", {str("\"env\"")}), "'prod'"},
      {"duckdb", call("FlagValue", {str("other")}), "Undefined flag: other", true},
      {"duckdb", call("SqlExpr", {str("argmin({a}, {v})"), record({{"a", var("x")}, {"v", var("y")}})}), "argmin(T.x, T.y)"},
      {"duckdb", call("SqlExpr", {str("f({a}, {v}, {w})"), record({{"a", str("{v}")}, {"v", num("1")}})}), "f('{v}', CAST(1 AS BIGINT), {w})"},
      {"duckdb", call("SqlExpr", {str("now()")}), "now()"},
  });
  // clang-format on
}

TEST(ExprConvert, UserTextSurvivesTemplateFilling) {
  // A string literal holding a placeholder must reach SQL as written.
  run_cases({
      {"duckdb", call("Replace", {str("{1}"), str("a"), str("b")}), "REPLACE('{1}', 'a', 'b')"},
      {"duckdb", call("Split", {str("{1}{0}"), str(",")}),
       "(CASE WHEN ',' IS NULL THEN NULL WHEN '{1}{0}' = '' THEN [''] ELSE string_split('{1}{0}', ',') END)"},
      {"duckdb", op("in", str("{right}"), var("l")),
       "((CASE WHEN list_contains(T.l, '{right}') THEN true WHEN '{right}' IS NULL OR T.l IS NULL OR "
       "list_count(T.l) < len(T.l) THEN NULL ELSE false END))"},
      // An argument left out is filled after the user's own.
      {"duckdb", call("Lpad", {str("{2}"), num("3")}),
       "LPAD('{2}', CAST(CAST(3 AS BIGINT) AS INTEGER), ' ')"},
      {"sqlite", call("Substr", {str("{1}"), num("2")}),
       "SUBSTR('{1}', MIN(2, 2147483647), MIN(MAX(2147483647, 0), 2147483647))"},
      {"duckdb", op("+", str("%s"), var("x")), "(('%s') + (T.x))"},
  });
}

TEST(ExprConvert, EngineSpecialForms) {
  Env duck("duckdb");
  auto round2 = duck.tr.convert_to_sql_expecting(call("Round", {var("n"), num("2")}), Type::any());
  ASSERT_TRUE(round2.ok());
  EXPECT_TRUE(round2.value().starts_with(
      "list_transform([T.n], mirtova_v -> (CASE WHEN mirtova_v IS NULL OR CAST(2 AS BIGINT) IS NULL"))
      << round2.value();
  auto to_text = duck.tr.convert_to_sql_expecting(call("ToString", {var("n")}), Type::any());
  ASSERT_TRUE(to_text.ok());
  EXPECT_TRUE(to_text.value().starts_with(
      "list_transform([T.n], mirtova_v -> (CASE WHEN mirtova_v IS NULL THEN NULL"));

  // clang-format off
  run_cases({
      {"duckdb", call("Round", {var("n")}), "ROUND(T.n)"},
      {"psql", call("Round", {var("n")}),
       "(SELECT CASE WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 4503599627370496 THEN ROUND(CAST(CAST(mirtova_v AS TEXT) AS numeric)) WHEN "
       "ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 9223372036854775807 THEN CAST(CAST(mirtova_v AS BIGINT) AS numeric) ELSE "
       "CAST(CAST(mirtova_v AS TEXT) AS numeric) END FROM (SELECT T.n AS mirtova_v) AS mirtova_n)"},
      {"sqlite", call("ToString", {var("n")}), "MIRTOVA_NUMBER_TEXT(T.n)"},
      {"sqlite", call("ToString", {op("+", var("x"), num("1"))}), "MIRTOVA_NUMBER_TEXT(((T.x) + (1)))"},
      {"duckdb", call("ToString", {var("s")}), "CAST(T.s AS TEXT)"},
      {"sqlite", call("ToString", {var("b")}), "(CASE T.b WHEN 1 THEN 'true' WHEN 0 THEN 'false' END)"},
      {"duckdb", call("ToString", {var("b")}), "CAST(T.b AS TEXT)"},
      {"duckdb", call("ToInt64", {var("s")}), "CAST(T.s AS BIGINT)"},
      {"sqlite", call("ToInt64", {str("12")}), "CAST('12' AS INTEGER)"},
      {"duckdb", call("ToInt64", {var("x")}),
       "(CASE WHEN typeof(T.x) IN ('DOUBLE', 'FLOAT') THEN CAST(ROUND(CAST(T.x AS DOUBLE)) AS BIGINT) ELSE "
       "CAST(T.x AS BIGINT) END)"},
      {"duckdb", call("ToInt64", {num("2.5")}), "CAST(ROUND(2.5E0) AS BIGINT)"},
      {"psql", call("Min", {var("b")}), "BOOL_AND(T.b)"},
      {"psql", call("Max", {var("b")}), "BOOL_OR(T.b)"},
      {"psql", call("Max", {var("n")}), "MAX(T.n)"},
      // Constants of no type to PostgreSQL, given to functions of several forms;
      // the empty list is written as the text {} is, and stays untyped.
      {"psql", call("List", {str("{}")}), "ARRAY_AGG(CAST('{}' AS TEXT))"},
      {"psql", call("ArrayLength", {list({})}), "CARDINALITY(CAST('{}' AS TEXT[]))"},
      {"psql", call("Sum", {null_literal()}), "SUM(CAST(NULL AS numeric))"},
      {"psql", call("Set", {null_literal()}), "ARRAY_AGG(DISTINCT CAST(NULL AS TEXT))"},
      {"psql", call("Agg++", {list({})}),
       "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE COALESCE(mirtova_array_concat_agg(CAST('{}' AS TEXT[])), '{}') END)"},
      {"psql", call("Abs", {null_literal()}), "ABS(CAST(NULL AS BIGINT))"},
      {"duckdb", call("Sum", {null_literal()}), "SUM(null)"},
      {"duckdb", call("Max", {var("b")}), "MAX(T.b)"},
      {"duckdb", call("Least", {var("x"), var("y")}), "(CASE WHEN T.x IS NULL OR T.y IS NULL THEN NULL ELSE LEAST(T.x, T.y) END)"},
      {"psql", call("Greatest", {var("x"), num("1"), var("y")}),
       "(CASE WHEN T.x IS NULL OR CAST(1 AS BIGINT) IS NULL OR T.y IS NULL THEN NULL ELSE GREATEST(T.x, CAST(1 AS BIGINT), T.y) END)"},
      {"duckdb", call("Least", {var("x")}), "LEAST(T.x)"},
      {"presto", call("Least", {var("x"), var("y")}), "LEAST(T.x, T.y)"},
      {"sqlite", call("Greatest", {var("x"), var("y")}), "MAX(T.x, T.y)"},
      {"duckdb", call("Format", {str("%s-%s"), var("x"), var("y")}), "Printf('%s-%s', CAST(T.x AS TEXT), CAST(T.y AS TEXT))"},
      {"psql", call("Format", {str("%s-%s"), var("x"), var("y")}), "(CAST(T.x AS TEXT) || '-' || CAST(T.y AS TEXT))"},
      {"trino", call("Format", {str("100%% of %d"), var("x")}), "('100% of ' || CAST(T.x AS VARCHAR))"},
      {"presto", call("Format", {str("plain")}), "('plain')"},
      {"psql", call("Format", {var("s"), var("x")}), "Format needs its format as a text literal on engine psql.", true},
      {"psql", call("Format", {str("%s %s"), var("x")}), "Format has more placeholders than values: %s %s.", true},
  });
  // clang-format on
}

TEST(ExprConvert, RecordsAndFields) {
  run_cases({
      {"duckdb", record({{"a", num("1")}, {"b", str("x")}}), "{a: CAST(1 AS BIGINT), b: 'x'}"},
      {"duckdb", record({{"select", num("1")}}), "{\"select\": CAST(1 AS BIGINT)}"},
      {"bigquery", record({{"b", num("1")}, {"a", num("2")}}), "STRUCT(1 AS b, 2 AS a)"},
      {"sqlite", record({{"a", num("1")}}), "JSON_OBJECT('a', 1)"},
      {"trino", record({{"b", var("s")}, {"a", num("2")}}),
       "CAST(ROW(CAST(2 AS BIGINT), T.s) AS ROW(a BIGINT, b varchar))"},
      {"duckdb", subscript(var("r"), "a"), "T.r.a"},
      {"psql", subscript(var("r"), "a"), "(T.r).a"},
      {"sqlite", subscript(var("r"), "a"), "JSON_EXTRACT(T.r, \"$.a\")"},
      {"duckdb", subscript(var("r"), "order"), "T.r.\"order\""},
  });
  Env psql("psql");
  auto sql = psql.tr.convert_to_sql_expecting(record({{"b", var("s")}, {"a", num("1")}}), Type::any());
  ASSERT_TRUE(sql.ok());
  // The literal's type is named as the program's registry named it.
  EXPECT_EQ(sql.value(), "ROW(CAST(1 AS BIGINT), T.s)::registered");
  EXPECT_EQ(psql.program.registered, std::vector<std::string>{"{a: number, b: string}"});
}

TEST(ExprConvert, Combines) {
  Json sum_of_t = combine(combine_rule("Agg+", var("z"), {conjunct_of(call("T", {var("z")}))}));
  {
    Env env("duckdb");
    auto sql = env.tr.convert_to_sql_expecting(sum_of_t, Type::any());
    ASSERT_TRUE(sql.ok());
    EXPECT_EQ(sql.value(), "(SELECT inner_sql)");
    EXPECT_EQ(env.program.outer_seen, Env::vocabulary());
  }
  {
    Env env("psql");
    env.program.psql_type = "numeric";
    auto sql = env.tr.convert_to_sql_expecting(sum_of_t, Type::any());
    ASSERT_TRUE(sql.ok());
    EXPECT_EQ(sql.value(), "CAST((SELECT inner_sql) AS numeric)");
  }
  {
    Env env("duckdb");
    env.tr.subquery_translator = nullptr;
    auto sql = env.tr.convert_to_sql_expecting(sum_of_t, Type::any());
    ASSERT_FALSE(sql.ok());
    EXPECT_EQ(sql.error().message, "Combine expressions require a subquery translator");
  }
}

TEST(ExprConvert, CombinesOverOneList) {
  Json over_l = combine(combine_rule(
      "Agg+", var("e"), {includes(var("e"), var("l")), conjunct_of(op(">", var("e"), var("x")))}));
  Json bare = combine(combine_rule("List", op("*", var("e"), num("2")), {includes(var("e"), var("l"))}));
  // The list's element is not the rule's own: only the program can write it.
  Json joined = combine(
      combine_rule("Agg+", var("e"), {includes(var("e"), var("l")), conjunct_of(call("T", {var("e")}))}));
  Json free_var = combine(combine_rule("Agg+", var("w"), {includes(var("e"), var("l"))}));
  // clang-format off
  run_cases({
      {"duckdb", over_l, "(SELECT SUM(mirtova_u0.unnested_pod) FROM (select unnest(T.l) as unnested_pod) as mirtova_u0 WHERE (mirtova_u0.unnested_pod > T.x))"},
      {"psql", over_l, "(SELECT SUM(mirtova_u0) FROM UNNEST(T.l) as mirtova_u0 WHERE (mirtova_u0 > T.x))"},
      {"sqlite", bare, "(SELECT (CASE WHEN COUNT(*) = 0 THEN NULL ELSE JSON_GROUP_ARRAY(((mirtova_u0.value) * (2))) END) FROM JSON_EACH(T.l) as mirtova_u0)"},
      {"trino", bare, "(SELECT ARRAY_AGG(((mirtova_u0) * (CAST(2 AS BIGINT)))) FILTER (WHERE true) FROM UNNEST(TRANSFORM(T.l, mirtova_e -> ROW(mirtova_e))) as varnok(mirtova_u0))"},
      {"databricks", over_l, "(SELECT inner_sql)"},
      {"duckdb", joined, "(SELECT inner_sql)"},
      {"duckdb", free_var, "(SELECT inner_sql)"},
  });
  // clang-format on
}

TEST(ExprConvert, GroupingKeys) {
  struct Key {
    std::string engine;
    Json expr;
    std::string expected;
  };
  for (const Key& k :
       std::vector<Key>{{"duckdb", str("a"), "('a' || '')"},
                        {"duckdb", num("1"), "CAST(1 AS BIGINT) + 0"},
                        {"duckdb", num("1.5"), "1.5E0 + 0"},
                        {"duckdb", var("x"), "T.x"},
                        {"psql", op("+", var("x"), num("1")), "((T.x) + (CAST(1 AS BIGINT)))"}}) {
    Env env(k.engine);
    auto sql = env.tr.convert_to_sql_for_group_by(k.expr);
    ASSERT_TRUE(sql.ok());
    EXPECT_EQ(sql.value(), k.expected);
  }
}

TEST(ExprConvert, ScopesHideOuterNamesInsideOnly) {
  Env env("duckdb");
  ExprTranslator inner = env.tr.scoped({{"x", "inner_x"}, {"new", "N"}, {"new", "N2"}});
  EXPECT_EQ(inner.convert_to_sql_expecting(var("x"), Type::any()).value(), "inner_x");
  EXPECT_EQ(inner.convert_to_sql_expecting(var("y"), Type::any()).value(), "T.y");
  EXPECT_EQ(inner.convert_to_sql_expecting(var("new"), Type::any()).value(), "N2");
  EXPECT_EQ(env.tr.convert_to_sql_expecting(var("x"), Type::any()).value(), "T.x");
  EXPECT_EQ(inner.functions, env.tr.functions);
}

TEST(ExprConvert, EveryEngineWritesEveryTemplate) {
  for (std::string_view engine : {"duckdb", "databricks", "presto", "trino", "psql", "sqlite", "bigquery"}) {
    Env env(engine);
    for (const auto& [row, tmpl] : *env.tr.functions) {
      // A row for one kind of first argument ("ToJsonString@bool") is reached by
      // an argument of that kind; the values tests run those.
      if (row.find('@') != std::string::npos) continue;
      // The date format functions are written from their literal format, not a
      // template; the values tests run them.
      if (is_date_format_function(row) && env.dialect->writes_date_formats()) continue;
      // A row for one arity ("Date/3") is reached by a call with that many arguments.
      size_t slash = row.find('/');
      std::string name = row.substr(0, slash);
      std::optional<ArityRange> range = ExprTranslator::built_in_function_arity_range(name);
      size_t count = range ? static_cast<size_t>(range->least) : 3;
      if (slash != std::string::npos) {
        count = std::stoul(row.substr(slash + 1));
      } else if (!range && names_positional(tmpl)) {
        count = std::max<size_t>(1, arguments_needed(tmpl));
      } else if (!range && tmpl.find("%s") == std::string::npos && tmpl != kNotOnThisEngine) {
        count = 0;  // a template without placeholders takes no arguments
      }
      std::vector<Json> args;
      if (count > 0) args.push_back(str("%s"));
      while (args.size() < count) args.push_back(var(args.size() == 1 ? "x" : "y"));
      // Where the engine reads a keyword, the call names the first one it takes.
      for (const KeywordPlace& place : keyword_places(tmpl)) {
        if (place.index < args.size())
          args[place.index] = str(std::string(place.words.substr(0, place.words.find('|'))));
      }
      auto sql = env.tr.convert_to_sql_expecting(call(name, args), Type::any());
      if (tmpl == kNotOnThisEngine) {
        ASSERT_FALSE(sql.ok()) << engine << " " << name;
        std::string arity = slash == std::string::npos ? "" : " with " + std::to_string(count) + " arguments";
        EXPECT_EQ(sql.error().message, "Built-in function " + name + " is not available on engine " +
                                           std::string(engine) + arity + ".");
        continue;
      }
      ASSERT_TRUE(sql.ok()) << engine << " " << name << ": " << sql.error().message;
      EXPECT_FALSE(sql.value().empty()) << engine << " " << name;
      // An expanded Format consumes its format text instead of passing it on.
      bool expanded = name == "Format" && env.dialect->format_needs_expansion();
      bool takes_args =
          !expanded && (tmpl.find("%s") != std::string::npos || tmpl.find("{0}") != std::string::npos);
      std::string first_arg = env.dialect->str_literal("%s");
      if (takes_args) {
        EXPECT_NE(sql.value().find(first_arg), std::string::npos)
            << engine << " " << name << ": " << sql.value();
      }
    }
    for (const auto& [name, tmpl] : *env.tr.operators) {
      auto sql = env.tr.convert_to_sql_expecting(op(name, var("x"), var("y")), Type::any());
      ASSERT_TRUE(sql.ok()) << engine << " " << name;
      EXPECT_NE(sql.value().find("T.x"), std::string::npos) << engine << " " << name << ": " << sql.value();
      EXPECT_NE(sql.value().find("T.y"), std::string::npos) << engine << " " << name << ": " << sql.value();
      EXPECT_EQ(sql.value().front(), '(') << engine << " " << name;
    }
  }
}

}  // namespace
}  // namespace mirtova

namespace mirtova {
namespace {

TEST(ExprConvert, DeepestParsableNestingConverts) {
  // The parser admits 250 levels of nesting; a chain a little deeper converts
  // on a host thread of its own, in time linear in its size.
  using namespace trees;
  // Built by moving, not through the copying builders, to keep the set-up linear.
  auto operand = [](const char* side, Json expr) {
    Json value;
    value.set("expression", std::move(expr));
    Json entry;
    entry.set("field", side);
    entry.set("value", std::move(value));
    return entry;
  };
  Json expr = var("x");
  for (int i = 0; i < 260; ++i) {
    Json entries = Json::array();
    entries.push(operand("left", std::move(expr)));
    entries.push(operand("right", call("Abs", {list({num("1")})})));
    Json record;
    record.set("field_value", std::move(entries));
    Json node;
    node.set("predicate_name", "+");
    node.set("record", std::move(record));
    expr = Json();
    expr.set("call", std::move(node));
  }
  std::string sql;
  bool ok = false;
  std::thread worker([&] {
    Env env("psql");
    auto result = env.tr.convert_to_sql_expecting(expr, Type::number());
    ok = result.ok();
    if (ok) sql = result.value();
  });
  worker.join();
  ASSERT_TRUE(ok);
  EXPECT_TRUE(sql.ends_with("(ABS(ARRAY[CAST(1 AS BIGINT)])))"));
  EXPECT_EQ(std::count(sql.begin(), sql.end(), '+'), 260);
}

}  // namespace
}  // namespace mirtova
