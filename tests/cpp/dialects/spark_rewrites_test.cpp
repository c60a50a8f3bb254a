// The rewrites of databricks SQL that keep Spark from refusing or failing it:
// what they move must be what Spark reads as a sub-query or a rule, never the
// look-alike inside a literal.
#include <gtest/gtest.h>

#include <string>

#include "compiler/dialects/dialect.h"

namespace mirtova {
namespace {

struct Rewrite {
  std::string in;
  std::string out;
};

TEST(SparkRewrites, CallReadsItsSubqueriesOutsideLambdas) {
  auto databricks = Dialect::get(Engine::kDatabricks);
  const Rewrite rows[] = {
      // One sub-query written twice is read once; two are joined.
      {"g((SELECT a), (SELECT b), x -> (SELECT a))",
       "(SELECT g(mirtova_q0.v, mirtova_q1.v, x -> mirtova_q0.v) FROM (SELECT a) AS mirtova_q0(v) CROSS JOIN "
       "(SELECT b) AS mirtova_q1(v))"},
      // No lambda, or none outside the sub-query, or only inside literals.
      {"(SELECT transform(l, v -> v) FROM t)", "(SELECT transform(l, v -> v) FROM t)"},
      {"f('x -> (SELECT 1)', (SELECT 2))", "f('x -> (SELECT 1)', (SELECT 2))"},
      {"f(\"it\\\"s -> \", (SELECT ')'))", "f(\"it\\\"s -> \", (SELECT ')'))"},
      {"f(`a->``b`, (SELECT 1))", "f(`a->``b`, (SELECT 1))"},
  };
  for (const Rewrite& row : rows) EXPECT_EQ(databricks->call_sql(row.in), row.out) << row.in;
}

TEST(SparkRewrites, EveryRuleOfAUnionReadsARelation) {
  auto databricks = Dialect::get(Engine::kDatabricks);
  const std::string tail = "\n) AS mirtova_rules CROSS JOIN (SELECT 1 AS mirtova_one) AS mirtova_one";
  // The first rule reads range(1) besides its tables; a later rule only where it reads none.
  const Rewrite rows[] = {
      {"SELECT 'a\nFROM b\nUNION ALL\n' AS col0\nWHERE (1 > 0)\nUNION ALL\nSELECT 2 AS col0",
       "SELECT 'a\nFROM b\nUNION ALL\n' AS col0\nFROM range(1) AS mirtova_row\nWHERE (1 > 0)\nUNION "
       "ALL\nSELECT 2 AS col0\nFROM range(1) AS mirtova_row"},
      {"SELECT (SELECT x\nFROM t) AS col0\nFROM `T` AS T\nUNION ALL\nSELECT 2 AS col0\nWHERE (2 > 1)",
       "SELECT (SELECT x\nFROM t) AS col0\nFROM range(1) AS mirtova_row, `T` AS T\nUNION ALL\nSELECT 2 AS "
       "col0\nFROM range(1) AS mirtova_row\nWHERE (2 > 1)"},
      {"SELECT 1 AS col0\nUNION ALL\nSELECT x AS col0\nFROM `T` AS T",
       "SELECT 1 AS col0\nFROM range(1) AS mirtova_row\nUNION ALL\nSELECT x AS col0\nFROM `T` AS T"},
  };
  for (const Rewrite& row : rows) {
    EXPECT_EQ(databricks->rules_union(row.in), "SELECT mirtova_rules.* FROM (\n" + row.out + tail) << row.in;
  }
}

}  // namespace
}  // namespace mirtova
