// Expressions as the parser writes them, converted for one engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/expr_translator.h"
#include "parser/parse_file.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

class NoProgram : public SubqueryTranslator {
 public:
  Result<std::string, CompileError> translate_table(std::string_view p) override { return std::string(p); }
  std::string table_alias(std::string_view p) override { return "t_" + std::string(p); }
  Result<std::string, CompileError> translate_rule(const Json&, const Vocabulary&, const TypeMap&, bool,
                                                   OuterRows*) override {
    return std::string("SELECT from_program");
  }
  std::optional<std::string> combine_psql_type(const Json&) override { return std::nullopt; }
  std::optional<Type> column_type(std::string_view, std::string_view) override { return std::nullopt; }
  std::string register_record_type(const Type&) override { return "r"; }
};

// The value expression of the head field v of `Q(v: <text>);`.
std::optional<Json> parsed_value(const std::string& text) {
  auto tree = parse_file("Q(v: " + text + ");");
  if (!tree.ok()) return std::nullopt;
  const Json& rule = tree.value().at("rule").as_array().at(0);
  return rule.at("head").at("record").at("field_value").as_array().at(0).at("value").at("expression");
}

struct Case {
  std::string engine;
  std::string text;
  std::string expected;  // SQL, or the error's message
  bool fails = false;
};

void run_cases(const std::vector<Case>& cases) {
  FlagMap flags{{"region", "eu's"}};
  for (const Case& c : cases) {
    std::optional<Json> expr = parsed_value(c.text);
    ASSERT_TRUE(expr.has_value()) << c.text << "\n"
                                  << parse_file("Q(v: " + c.text + ");").error().show_message();
    auto dialect = Dialect::get(engine_of(c.engine));
    NoProgram program;
    ExprTranslator tr({{"x", "T.x"}, {"y", "T.y"}, {"l", "T.l"}, {"s", "T.s"}, {"r", "T.r"}}, *dialect,
                      flags);
    tr.subquery_translator = &program;
    auto sql = tr.convert_to_sql_expecting(*expr, Type::any());
    if (c.fails) {
      ASSERT_FALSE(sql.ok()) << c.text;
      EXPECT_EQ(sql.error().message, c.expected) << c.text;
    } else {
      ASSERT_TRUE(sql.ok()) << c.text << ": " << sql.error().message;
      EXPECT_EQ(sql.value(), c.expected) << c.text;
    }
  }
}

TEST(ExprParsed, WrittenAsSql) {
  run_cases({
      {"duckdb", "Join(l, \",\")",
       "(CASE WHEN T.l IS NULL OR ',' IS NULL THEN NULL ELSE COALESCE(ARRAY_TO_STRING(T.l, ','), '') END)"},
      {"sqlite", "[1, 2.5]", "JSON_ARRAY(1, 2.5)"},
      {"duckdb", "[1, 2.5]", "[CAST(1 AS BIGINT), 2.5E0]"},
      {"duckdb", "{a: 1, b: \"q\"}", "{a: CAST(1 AS BIGINT), b: 'q'}"},
      {"duckdb", "r.a", "T.r.a"},
      {"duckdb", "Replace(s, \"{1}\", \"{0}\")", "REPLACE(T.s, '{1}', '{0}')"},
      {"duckdb", "Concat(l, l, l)", "Built-in function Concat expects 2-2 arguments, got 3", true},
      {"duckdb", "FlagValue(\"missing\")", "Undefined flag: missing", true},
      {"duckdb", "FlagValue(\"region\")", "'eu''s'"},
  });
}

TEST(ExprParsed, OperatorsWrittenAsSql) {
  run_cases({
      {"duckdb", "x + 1", "((T.x) + (CAST(1 AS BIGINT)))"},
      {"duckdb", "x - y - 1", "((((T.x) - (T.y))) - (CAST(1 AS BIGINT)))"},
      {"duckdb", "x * y / 2", "((T.x) * (((T.y) / NULLIF(CAST(2 AS BIGINT), 0))))"},
      {"psql", "x / y", "(CAST(T.x AS double precision) / NULLIF(T.y, 0))"},
      {"duckdb", "-x", "- T.x"},
      {"psql", "if x > 1 then \"a\" else \"b\"",
       "(CASE WHEN (T.x > CAST(1 AS BIGINT)) THEN 'a' ELSE 'b' END)"},
      {"duckdb", "\"{1}\" ++ s", "(('{1}') || (T.s))"},
      {"sqlite", "x in l",
       "((WITH mirtova_once(mirtova_a0, mirtova_a1) AS (VALUES (T.x, T.l)) SELECT (CASE WHEN mirtova_a0 IS "
       "NULL OR "
       "mirtova_a1 IS NULL THEN NULL WHEN IN_LIST(mirtova_a0, mirtova_a1) THEN 1 WHEN EXISTS (SELECT 1 FROM "
       "JSON_EACH(mirtova_a1) WHERE type = 'null') THEN NULL ELSE 0 END) FROM mirtova_once))"},
  });
}

TEST(ExprParsed, CombinesWrittenAsSql) {
  // clang-format off
  run_cases({
      {"duckdb", "Sum{e :- e in l}", "(SELECT SUM(mirtova_u0.unnested_pod) FROM (select unnest(T.l) as unnested_pod) as mirtova_u0)"},
      {"psql", "Max{e * 2 :- e in l, e > x}", "(SELECT MAX(((mirtova_u0) * (CAST(2 AS BIGINT)))) FROM UNNEST(T.l) as mirtova_u0 WHERE (mirtova_u0 > T.x))"},
      {"duckdb", "Sum{e :- U(e)}", "(SELECT from_program)"},
      {"duckdb", "Sum{e :- e in l, U(e)}", "(SELECT from_program)"},
  });
  // clang-format on
}

}  // namespace
}  // namespace mirtova
