#include "compiler/program/annotations.h"

#include <gtest/gtest.h>

#include "compiler/dialects/dialect.h"
#include "support/engine_names.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

TEST(LimitNumberTest, ReadsOnlyWholeNumberLiterals) {
  struct Case {
    Json expr;
    std::optional<int64_t> want;
  } cases[] = {
      {num("10"), 10},
      {num("+7"), 7},
      {num("-3"), -3},
      {num("9223372036854775807"), INT64_MAX},
      {num("9223372036854775808"), std::nullopt},
      {num("-9223372036854775808"), INT64_MIN},
      {num("1.5"), std::nullopt},
      {num("1e3"), std::nullopt},
      {num("+"), std::nullopt},
      {num(""), std::nullopt},
      {Json::object({{"literal", Json::object({{"the_number", Json(42)}})}}), 42},
      {str("5"), std::nullopt},
      {var("x"), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(limit_number(c.expr), c.want) << c.expr.compact();
}

TEST(NameChecksTest, SchemaTableAndOrderingItems) {
  struct Case {
    std::string text;
    bool schema, table, order_item;
  } cases[] = {
      {"sales", true, true, true},
      {"my-project.sales_2", true, false, false},
      {"a..b", false, false, false},
      {"-a", false, false, false},
      {"a.-b", false, false, false},
      {"", false, false, false},
      {"_x.y1", true, true, false},
      {"1abc", true, false, false},
      {"`my-project.1x`", false, true, false},
      {"`a..b`", false, false, false},
      {"``", false, false, false},
      {"col desc", false, false, true},
      {"col DESC NULLS last", false, false, true},
      {"col nulls first", false, false, true},
      {"desc", true, true, true},
      {"desc asc", false, false, false},
      {"col desc desc", false, false, false},
      {"col nulls", false, false, false},
      {"col; DROP TABLE x", false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_schema_name(c.text), c.schema) << c.text;
    EXPECT_EQ(is_table_name(c.text), c.table) << c.text;
    EXPECT_EQ(!order_by_item_error(c.text).has_value(), c.order_item) << c.text;
  }
  EXPECT_EQ(*order_by_item_error("a b"),
            "'a b' is not a column to order by: write a column name, optionally followed by ASC or DESC");
}

TEST(AnnotationsTest, DefaultTablesAndOrderingPerEngine) {
  std::vector<Json> rules = {
      annotation("@OrderBy",
                 {var("P"), str("col0 desc"), var("col1"), str("col2 desc nulls first"), str("order")}),
      annotation("@Dataset", {str("analytics")}),
  };
  auto a = Annotations::extract(rules, std::nullopt);
  ASSERT_TRUE(a.ok()) << a.error().message;
  EXPECT_EQ(a.value().default_table("Select"), "analytics.Select_table");
  EXPECT_EQ(a.value().default_table("P-1"), "analytics.P_1");
  EXPECT_EQ(a.value().default_table("`9lives`"), "analytics._9lives");
  struct Case {
    std::string engine, want;
  } cases[] = {
      {"duckdb", "col0 desc, col1, col2 desc nulls first, \"order\""},
      {"psql", "col0 desc NULLS LAST, col1, col2 desc nulls first, \"order\""},
      {"bigquery", "col0 desc, col1 NULLS LAST, col2 desc nulls first, `order` NULLS LAST"},
  };
  for (const Case& c : cases) {
    auto d = Dialect::get(engine_of(c.engine));
    EXPECT_EQ(a.value().order_by_clause("P", d.get()), c.want) << c.engine;
  }
  EXPECT_EQ(a.value().order_by_clause("Q", nullptr), "");
}

TEST(AnnotationsTest, ReadsEachAnnotation) {
  std::vector<Json> rules = {
      annotation("@Engine", {str("sqlite")}, {{"type_checking", boolean(false)}}),
      annotation("@Engine", {str("psql")}),
      annotation("@Limit", {pred("P"), num(3)}),
      annotation("@Limit", {var("P"), num(5)}),
      annotation("@Ground", {var("A"), var("B")}),
      annotation("@Ground", {var("C")}),
      annotation("@NoInject", {var("N")}),
      annotation("@With", {var("W")}),
      annotation("@DefineFlag", {str("f"), str("v")}),
      annotation("@DefineFlag", {str("g"), num(7)}),
      annotation("@DefineFlag", {var("h"), num(7)}),
      annotation("@Iteration", {var("It")},
                 {{"predicates", list({var("N1"), var("N2")})},
                  {"repetitions", num(4)},
                  {"accumulate", var("Full")},
                  {"stop_signal", str("/tmp/s")}}),
      annotation("@Unheard", {num(1)}),
  };
  auto r = Annotations::extract(rules, std::nullopt);
  ASSERT_TRUE(r.ok()) << r.error().message;
  const Annotations& a = r.value();
  EXPECT_EQ(a.engine().value(), Engine::kSqlite);
  EXPECT_FALSE(a.type_checking());
  EXPECT_EQ(a.limit_of("P"), 5u);
  EXPECT_EQ(a.ground_of("A")->table_of, "B");
  EXPECT_EQ(a.ground_of("C")->table_of, "C");
  EXPECT_TRUE(a.owns_table_of_other("B"));
  EXPECT_FALSE(a.owns_table_of_other("C"));
  EXPECT_TRUE(a.not_injected("N") && a.not_injected("W") && !a.not_injected("P"));
  EXPECT_EQ(a.flag_values().size(), 2u);
  EXPECT_EQ(a.flag_values().at("g"), "7");
  ASSERT_EQ(a.iterations().size(), 1u);
  EXPECT_EQ(a.iterations()[0].predicates, (std::vector<std::string>{"N1", "N2"}));
  EXPECT_EQ(a.iterations()[0].repetitions, 4);
  EXPECT_EQ(a.iteration_of("Full"), &a.iterations()[0]);
  EXPECT_EQ(a.iteration_of("It"), nullptr);
  EXPECT_EQ(Annotations::extract(rules, Engine::kPresto).value().engine().value(), Engine::kPresto);
  EXPECT_EQ(Annotations::extract({}, std::nullopt).value().engine().value(), Engine::kDuckdb);
  // A name none of the engines has is refused when the engine is asked for,
  // unless the caller's engine takes its place.
  const std::vector<Json> unknown = {annotation("@Engine", {str("postgres")})};
  EXPECT_EQ(
      Annotations::extract(unknown, std::nullopt).value().engine().error().message,
      "Unsupported engine 'postgres'. Supported engines: bigquery, sqlite, psql, trino, presto, databricks, "
      "duckdb.");
  EXPECT_EQ(Annotations::extract(unknown, Engine::kSqlite).value().engine().value(), Engine::kSqlite);
}

TEST(AnnotationsTest, RefusalsNameTheStatement) {
  const std::string kPred = "This annotation requires predicate symbol as the first positional argument.";
  struct Case {
    Json statement;
    std::string message;
    // clang-format off
  } cases[] = {
      {annotation("@Limit", {str("P"), num(1)}), kPred},
      {annotation("@Limit", {}), kPred},
      {annotation("@Ground", {num(1)}), kPred},
      {annotation("@NoInject", {str("x")}), kPred},
      {annotation("@Limit", {var("P"), num(-1)}), "@Limit(P): the limit must be a whole number of rows, 0 or more"},
      {annotation("@Limit", {var("P"), str("3")}), "@Limit(P): the limit must be a whole number of rows, 0 or more"},
      {annotation("@Limit", {var("P")}), "@Limit(P): the limit must be a whole number of rows, 0 or more"},
      {annotation("@OrderBy", {var("P"), num(1)}), "@OrderBy(P): each argument is a column name, as a string"},
      {annotation("@OrderBy", {var("P"), str("a; drop")}),
       "@OrderBy(P): 'a; drop' is not a column to order by: write a column name, optionally followed by ASC or DESC"},
      {annotation("@Ground", {var("P")}, {{"copy_to_file", str("/tmp/x")}}),
       "@Ground: copy_to_file is not supported: a program writes no file"},
      {annotation("@AttachDatabase", {str("db")}),
       "@AttachDatabase is not supported: a program reads the tables of the database it runs on, not files"},
      {annotation("@Dataset", {str("a b")}),
       "@Dataset: 'a b' is not a schema name: write names of letters, digits, '_' and '-', joined by '.'"},
      {annotation("@Iteration", {var("It")}, {{"repetitions", num(2)}}),
       "@Iteration(It): predicates must be a list of predicates and repetitions a whole number"},
      {annotation("@Iteration", {var("It")}, {{"predicates", list({var("A")})}, {"repetitions", str("x")}}),
       "@Iteration(It): predicates must be a list of predicates and repetitions a whole number"},
      {annotation("@Engine", {var("duckdb")}), "@Engine needs the engine's name as a text, as in @Engine(\"duckdb\")"},
  };
  // clang-format on
  for (const Case& c : cases) {
    auto r = Annotations::extract({c.statement}, std::nullopt);
    ASSERT_FALSE(r.ok()) << c.message;
    EXPECT_EQ(r.error().message, c.message);
    EXPECT_EQ(r.error().rule_text, "@annotation");
  }
}

TEST(AnnotationsTest, CheckerCollectsWhatTheCompileStopsAt) {
  const std::vector<Json> rules = {
      annotation("@Limit", {var("P"), num(-1)}, {}, "first"),
      annotation("@Limit", {var("P"), num(3)}, {}, "fine"),
      annotation("@CompileAsUdf", {}, {}, "second"),
      annotation("@Unheard", {}, {}, "passed over"),
      annotation("@OrderBy", {var("P"), num(1), str("a; b")}, {}, "third"),
  };
  auto compiled = Annotations::extract(rules, std::nullopt);
  ASSERT_FALSE(compiled.ok());
  EXPECT_EQ(compiled.error().rule_text, "first");
  std::vector<std::string> texts;
  for (const CompileError& e : annotation_errors(rules)) texts.push_back(e.rule_text + ": " + e.message);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "first: @Limit(P): the limit must be a whole number of rows, 0 or more",
                       "second: This annotation requires predicate symbol as the first positional argument.",
                       "third: @OrderBy(P): each argument is a column name, as a string",
                   }));
  // The item reader goes on where the statement's reader stops.
  EXPECT_EQ(
      read_order_item(rules[4], "P", str("a; b")).error().message,
      "@OrderBy(P): 'a; b' is not a column to order by: write a column name, optionally followed by ASC or "
      "DESC");
  EXPECT_TRUE(annotation_errors({annotation("@Limit", {var("P"), num(0)})}).empty());
}

}  // namespace
}  // namespace mirtova
