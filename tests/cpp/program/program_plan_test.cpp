#include <gtest/gtest.h>

#include "support/program_test_support.h"

namespace mirtova {
namespace {

using namespace trees;

Json measures(std::vector<Json> extra = {}) {
  std::vector<Json> rules = {
      annotation("@Ground", {var("Big")}),
      rule(head("Big", {var("x")}), {atom("Measure", {var("x")}), cond(">", var("x"), num(10))}),
      rule(head("Top", {var("x")}), {atom("Big", {var("x")})}),
      annotation("@OrderBy", {var("Top"), str("col0 desc")}),
      annotation("@Limit", {var("Top"), num(3)}),
  };
  for (Json& r : extra) rules.push_back(std::move(r));
  return program(std::move(rules));
}

std::vector<std::string> kinds(const std::vector<PlanStep>& plan) {
  std::vector<std::string> out;
  for (const PlanStep& s : plan)
    out.push_back(s.kind == PlanStep::Kind::Setup ? "setup" : s.kind == PlanStep::Kind::Sql ? "sql" : "loop");
  return out;
}

TEST(ProgramPlanTest, MaterialisedStepOrderingAndLimit) {
  struct Case {
    std::string engine;
    PageWindow window;
    std::vector<std::string> kinds;
    std::string last;
    // clang-format off
  } cases[] = {
      {"duckdb", {}, {"setup", "sql", "sql"},
       "SELECT Big.col0 AS col0\nFROM \"Big\" AS Big\nORDER BY col0 desc\nLIMIT 3"},
      {"duckdb", {2, std::nullopt}, {"setup", "sql", "sql"},
       "SELECT Big.col0 AS col0\nFROM \"Big\" AS Big\nORDER BY col0 desc\nLIMIT 2"},
      {"duckdb", {7, 0}, {"setup", "sql", "sql"},
       "SELECT Big.col0 AS col0\nFROM \"Big\" AS Big\nORDER BY col0 desc\nLIMIT 3"},
      {"sqlite", {std::nullopt, 1}, {"sql", "sql"},
       "SELECT Big.col0 AS col0\nFROM \"Big\" AS Big\nORDER BY col0 desc\nLIMIT 3\nOFFSET 1"},
      {"psql", {}, {"setup", "sql", "sql"},
       "SELECT Big.col0 AS col0\nFROM \"Big\" AS Big\nORDER BY col0 desc NULLS LAST\nLIMIT 3"},
      {"presto", {2, 1}, {"sql", "sql"},
       "SELECT col0\nFROM (\n  SELECT *, ROW_NUMBER() OVER (ORDER BY col0 desc) AS mirtova_row\n  FROM (\n    SELECT "
       "Big.col0 AS col0\n    FROM \"Big\" AS Big\n  ) AS _numbered\n) AS _paginated\nWHERE mirtova_row > 1 AND "
       "mirtova_row <= 3\nORDER BY mirtova_row"},
  };
  // clang-format on
  for (const Case& c : cases) {
    auto program = build_program(measures(), c.engine);
    ASSERT_TRUE(program.ok()) << program.error().message;
    auto plan = program.value()->formatted_predicate_plan("Top", c.window, std::nullopt);
    ASSERT_TRUE(plan.ok()) << plan.error().message;
    EXPECT_EQ(kinds(plan.value()), c.kinds) << c.engine;
    EXPECT_EQ(plan.value().back().sql, c.last) << c.engine;
    // The script runs the plan's statements in turn, the set-up first, each ended once.
    std::string joined;
    for (const PlanStep& s : plan.value()) {
      std::string_view text = s.sql;
      while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
      joined += std::string(joined.empty() ? "" : "\n\n") + std::string(text) +
                (!text.empty() && text.back() == ';' ? "" : ";");
    }
    auto script = program.value()->formatted_predicate_sql_impl("Top", c.window, std::nullopt);
    ASSERT_TRUE(script.ok()) << script.error().message;
    EXPECT_EQ(script.value(), joined) << c.engine;
    const std::string& step = plan.value()[plan.value().size() - 2].sql;
    std::string drop =
        c.engine == "psql" ? "DROP TABLE IF EXISTS \"Big\" CASCADE;\n" : "DROP TABLE IF EXISTS \"Big\";\n";
    // DuckDB and PostgreSQL read a bare integer literal as 32-bit.
    std::string ten = c.engine == "duckdb" || c.engine == "psql" || c.engine == "trino" ||
                              c.engine == "presto" || c.engine == "databricks"
                          ? "CAST(10 AS BIGINT)"
                          : "10";
    EXPECT_EQ(step, drop +
                        "CREATE TABLE \"Big\" AS\nSELECT Measure.col0 AS col0\nFROM \"Measure\" AS Measure\n"
                        "WHERE (Measure.col0 > " +
                        ten + ")")
        << c.engine;
  }
}

TEST(ProgramPlanTest, GroundedIntoAnotherTableAndWithClausesPerStatement) {
  Json tree = program({
      rule(head("Pair", {num(1)}), {}),
      rule(head("Pair", {num(2)}), {}),
      annotation("@Ground", {var("Stored"), var("Shelf")}),
      rule(head("Stored", {var("x")}), {atom("Pair", {var("x")})}),
      rule(head("Both", {var("x")}), {atom("Stored", {var("x")}), atom("Pair", {var("x")})}),
  });
  auto program = build_program(tree, "sqlite");
  ASSERT_TRUE(program.ok());
  auto plan = program.value()->formatted_predicate_plan("Both", {}, std::nullopt);
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  ASSERT_EQ(plan.value().size(), 2u);
  EXPECT_EQ(plan.value()[0].sql,
            "DROP TABLE IF EXISTS \"Shelf\";\nCREATE TABLE \"Shelf\" AS\nWITH Pair AS (\n  SELECT 1 AS "
            "col0\n  UNION "
            "ALL\n  SELECT 2 AS col0\n)\nSELECT Pair.col0 AS col0\nFROM Pair AS Pair");
  EXPECT_EQ(
      plan.value()[1].sql,
      "WITH Pair AS (\n  SELECT 1 AS col0\n  UNION ALL\n  SELECT 2 AS col0\n)\nSELECT Stored.col0 AS col0\n"
      "FROM \"Shelf\" AS Stored, Pair AS t_0_Pair\nWHERE t_0_Pair.col0 = Stored.col0");
}

TEST(ProgramPlanTest, SearchFilterPerEngine) {
  struct Case {
    std::string engine, where;
  } cases[] = {
      {"duckdb",
       "WHERE regexp_matches(CAST(col0 AS TEXT), '^al') OR regexp_matches(CAST(col1 AS TEXT), '^al')"},
      {"sqlite", "WHERE CAST(col0 AS TEXT) REGEXP '^al' OR CAST(col1 AS TEXT) REGEXP '^al'"},
  };
  Json tree = program({rule(head("Pair", {var("a"), var("b")}), {atom("T", {var("a"), var("b")})})});
  for (const Case& c : cases) {
    auto sql = compile(tree, "Pair", c.engine, {}, std::string("^al"));
    ASSERT_TRUE(sql.ok()) << sql.error().message;
    EXPECT_NE(
        sql.value().find("SELECT * FROM (\n  SELECT T.col0 AS col0, T.col1 AS col1\n  FROM \"T\" AS T\n) AS "
                         "_searched\n" +
                         c.where + ";"),
        std::string::npos)
        << sql.value();
  }
}

Json iteration(int64_t repetitions) {
  return program({
      rule(head("Start", {num(0)}), {}),
      annotation("@Ground", {var("Start")}),
      annotation("@Ground", {var("Next"), var("Start")}),
      rule(head("Next", {var("y")}), {atom("Start", {var("x")}), unify(var("y"), op("+", var("x"), num(1)))}),
      annotation("@Iteration", {var("Counter")},
                 {{"predicates", list({var("Next")})}, {"repetitions", num(repetitions)}}),
      rule(head("Result", {var("x")}), {atom("Start", {var("x")})}),
  });
}

TEST(ProgramPlanTest, LoopsAndTheirWriteOut) {
  auto program = build_program(iteration(3), "sqlite");
  ASSERT_TRUE(program.ok()) << program.error().message;
  auto plan = program.value()->formatted_predicate_plan("Result", {}, std::nullopt);
  ASSERT_TRUE(plan.ok()) << plan.error().message;
  EXPECT_EQ(kinds(plan.value()), (std::vector<std::string>{"sql", "sql"}));

  auto with_loop = build_program(iteration(3), "sqlite");
  auto steps = with_loop.value()->formatted_predicate_plan("Next", {}, std::nullopt);
  ASSERT_TRUE(steps.ok()) << steps.error().message;
  ASSERT_EQ(kinds(steps.value()), (std::vector<std::string>{"sql", "loop", "sql"}));
  const PlanStep& loop = steps.value()[1];
  EXPECT_EQ(loop.repetitions, 3);
  // The loop writes one table; a copy taken at the start of each round tells
  // whether the round changed it, and only the plan needs that copy.
  ASSERT_EQ(loop.body.size(), 2u);
  EXPECT_EQ(loop.for_changed_only, 1u);
  EXPECT_EQ(loop.body[0],
            "DROP TABLE IF EXISTS \"mirtova_before_0\";\nCREATE TABLE \"mirtova_before_0\" AS\nSELECT * FROM "
            "\"Start\"");
  // Next keeps duplicates: the round's rows are compared with their counts.
  EXPECT_EQ(
      loop.changed,
      "SELECT (SELECT COUNT(*) FROM (SELECT col0, COUNT(*) AS mirtova_count FROM \"Start\" GROUP BY col0 "
      "EXCEPT SELECT col0, COUNT(*) AS mirtova_count FROM \"mirtova_before_0\" GROUP BY col0) AS "
      "mirtova_changed_0) + (SELECT COUNT(*) FROM (SELECT col0, COUNT(*) AS mirtova_count FROM "
      "\"mirtova_before_0\" GROUP BY col0 EXCEPT SELECT col0, COUNT(*) AS mirtova_count FROM \"Start\" GROUP "
      "BY col0) AS mirtova_changed_1) + ABS((SELECT COUNT(*) FROM \"Start\") - (SELECT COUNT(*) FROM "
      "\"mirtova_before_0\"))");
  EXPECT_EQ(
      loop.body[1],
      "DROP TABLE IF EXISTS \"Start\";\nCREATE TABLE \"Start\" AS\nSELECT ((Start.col0) + (1)) AS col0\nFROM "
      "\"Start\" AS Start");
  auto script = with_loop.value()->formatted_predicate_sql_impl("Next", {}, std::nullopt);
  ASSERT_TRUE(script.ok());
  size_t count = 0;
  for (size_t at = script.value().find("CREATE TABLE"); at != std::string::npos;
       at = script.value().find("CREATE TABLE", at + 1))
    ++count;
  EXPECT_EQ(count, 4u);  // the first rows, then three repetitions

  auto too_long = build_program(iteration(1001), "duckdb");
  auto refused = too_long.value()->formatted_predicate_sql_impl("Next", {}, std::nullopt);
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().message,
            "Iteration 'Counter' repeats 1001 times, more than the 1000 that one script may hold; use plan() "
            "to run it "
            "as a loop.");
  EXPECT_TRUE(too_long.value()->formatted_predicate_plan("Next", {}, std::nullopt).ok());
}

}  // namespace
}  // namespace mirtova

namespace mirtova {
namespace {

using namespace trees;

TEST(ProgramPlanTest, AnnotationsThatChooseWhereRowsLive) {
  struct Case {
    std::string what;
    std::vector<Json> extra;
    std::string want_fragment;
    // clang-format off
  } cases[] = {
      {"a single rule is injected", {}, "FROM \"T\" AS T"},
      {"@NoInject keeps a WITH clause", {annotation("@NoInject", {var("W")})}, "WITH W AS (\n  SELECT T.col0 AS col0"},
      {"@With keeps a WITH clause", {annotation("@With", {var("W")})}, "FROM W AS W"},
      {"@Dataset names the schema of stored tables",
       {annotation("@Ground", {var("W")}), annotation("@Dataset", {str("analytics")})},
       "DROP TABLE IF EXISTS \"analytics\".\"W\";\nCREATE TABLE \"analytics\".\"W\" AS"},
      {"predicates whose cleaned names coincide keep WITH clauses apart",
       {rule(head("W-1", {num(1)}), {}), rule(head("W-1", {num(2)}), {}), rule(head("W_1", {num(3)}), {}),
        rule(head("W_1", {num(4)}), {}), rule(head("V", {var("x")}), {atom("W-1", {var("x")}), atom("W_1", {var("x")})})},
       "WITH W_1 AS (\n  SELECT 1 AS col0\n  UNION ALL\n  SELECT 2 AS col0\n),\nW_1_1 AS (\n  SELECT 3 AS col0\n  "
       "UNION ALL\n  SELECT 4 AS col0\n)\nSELECT T.col0 AS col0\nFROM \"T\" AS T\nUNION ALL\nSELECT W_1.col0 AS col0\n"
       "FROM W_1 AS W_1, W_1_1 AS t_0_W_1"},
      {"a rule too large to inject keeps a WITH clause",
       {rule(head("U", {var("x")}), [] {
          std::vector<Json> body = {atom("T", {var("x")})};
          for (int i = 0; i < 150; ++i) body.push_back(cond("!=", var("x"), num(i)));
          return body;
        }()),
        rule(head("V", {var("x")}), {atom("U", {var("x")})})},
       "WITH U AS (\n  SELECT t_0_T.col0 AS col0\n  FROM \"T\" AS t_0_T"},
      {"a reserved word gets a table of its own name",
       {annotation("@Ground", {var("W")}), annotation("@Ground", {var("Select")}),
        rule(head("Select", {var("x")}), {atom("W", {var("x")})})},
       "FROM \"W\" AS W"},
  };
  // clang-format on
  for (Case& c : cases) {
    std::vector<Json> rules = {rule(head("W", {var("x")}), {atom("T", {var("x")})}),
                               rule(head("V", {var("x")}), {atom("W", {var("x")})})};
    for (Json& r : c.extra) rules.push_back(std::move(r));
    auto sql = compile(program(std::move(rules)), "V", "sqlite");
    ASSERT_TRUE(sql.ok()) << c.what << ": " << sql.error().message;
    EXPECT_NE(sql.value().find(c.want_fragment), std::string::npos) << c.what << "\n" << sql.value();
  }
  auto reserved = build_program(
      program({annotation("@Ground", {var("Select")}), rule(head("Select", {num(1)}), {})}), "sqlite");
  auto steps = reserved.value()->formatted_predicate_plan("Select", {}, std::nullopt);
  ASSERT_TRUE(steps.ok());
  EXPECT_EQ(steps.value()[0].sql,
            "DROP TABLE IF EXISTS \"Select_table\";\nCREATE TABLE \"Select_table\" AS\nSELECT 1 AS col0");
  EXPECT_EQ(steps.value()[1].sql, "SELECT * FROM \"Select_table\"");
}

}  // namespace
}  // namespace mirtova
