// Grouping keys of variables that a rule bound to constants.
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

TEST(LangGroupingKeys, ConstantsBoundToVariablesAreNotColumnPositions) {
  struct Key {
    std::string engine;
    std::string variable_sql;
    std::string expected;
  };
  for (const Key& k : std::vector<Key>{{"duckdb", "2", "2 + 0"},
                                       {"sqlite", "-1", "-1 + 0"},
                                       {"psql", "'all'", "('all' || '')"},
                                       {"psql", "E'a\\\\b'", "(E'a\\\\b' || '')"},
                                       {"duckdb", "T.x", "T.x"},
                                       {"duckdb", "-T.x", "-T.x"},
                                       {"sqlite", "1.5", "1.5"}}) {
    auto dialect = Dialect::get(engine_of(k.engine));
    FlagMap flags;
    ExprTranslator tr({{"v", k.variable_sql}}, *dialect, flags);
    auto sql = tr.convert_to_sql_for_group_by(var("v"));
    ASSERT_TRUE(sql.ok()) << k.variable_sql;
    EXPECT_EQ(sql.value(), k.expected) << k.engine << " " << k.variable_sql;
  }
}

}  // namespace
}  // namespace mirtova
