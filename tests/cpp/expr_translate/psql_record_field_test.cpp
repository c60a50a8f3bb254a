// Record fields of unknown type on PostgreSQL: declared text, read as numbers
// where a number stands beside them or numbers are added up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/expr_translator.h"
#include "support/engine_names.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

struct FieldCase {
  std::string name;
  std::string engine;
  Json expr;
  std::string expected;
};

TEST(PsqlRecordField, CastsOnlyUnknownFieldsBesideNumbers) {
  Type::Fields fields;
  fields.emplace("a", Type::any());
  fields.emplace("k", Type::number());
  fields.emplace("s", Type::string());
  fields.emplace("t", Type::atomic());
  // clang-format off
  const std::vector<FieldCase> cases = {
      {"unknown field beside a number", "psql", op(">", subscript(var("r"), "a"), num("40")),
       "(CAST((T.r).a AS numeric) > CAST(40 AS BIGINT))"},
      {"number on the left", "psql", op("<", num("4"), subscript(var("r"), "a")), "(CAST(4 AS BIGINT) < CAST((T.r).a AS numeric))"},
      {"arithmetic", "psql", op("+", subscript(var("r"), "t"), var("n")), "((CAST((T.r).t AS numeric)) + (T.n))"},
      {"unknown field beside a text", "psql", op("==", subscript(var("r"), "a"), str("x")), "((T.r).a = 'x')"},
      {"unknown field beside an unknown value", "psql", op(">", subscript(var("r"), "a"), var("x")),
       "((T.r).a > T.x)"},
      {"number field", "psql", op(">", subscript(var("r"), "k"), num("40")), "((T.r).k > CAST(40 AS BIGINT))"},
      {"text field", "psql", op("==", subscript(var("r"), "s"), var("n")), "((T.r).s = T.n)"},
      {"field of a value that is no known record", "psql", op(">", subscript(var("x"), "a"), num("40")),
       "((T.x).a > CAST(40 AS BIGINT))"},
      {"other engine", "duckdb", op(">", subscript(var("r"), "a"), num("40")), "(T.r.a > CAST(40 AS BIGINT))"},
      {"added up", "psql", call("Agg+", {subscript(var("r"), "a")}), "SUM(CAST((T.r).a AS numeric))"},
      {"number field added up", "psql", call("Sum", {subscript(var("r"), "k")}), "SUM((T.r).k)"},
      {"gathered", "psql", call("List", {subscript(var("r"), "a")}), "ARRAY_AGG((T.r).a)"},
  };
  // clang-format on
  for (const FieldCase& c : cases) {
    std::unique_ptr<Dialect> dialect = Dialect::get(engine_of(c.engine));
    FlagMap flags;
    ExprTranslator tr({{"x", "T.x"}, {"r", "T.r"}, {"n", "T.n"}}, *dialect, flags);
    tr.variable_types.insert_or_assign("r", Type::closed_record(fields));
    tr.variable_types.insert_or_assign("n", Type::number());
    auto sql = tr.convert_to_sql_expecting(c.expr, Type::any());
    ASSERT_TRUE(sql.ok()) << c.name << ": " << sql.error().message;
    EXPECT_EQ(sql.value(), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace mirtova
