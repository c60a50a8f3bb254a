#include "compiler/program/table_columns.h"

#include <gtest/gtest.h>

#include "compiler/rule_translate/names.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

std::vector<Json> rules_of(const std::string& text) {
  auto parsed = parse_file(text);
  EXPECT_TRUE(parsed.ok()) << text;
  return parsed.value().at("rule").as_array();
}

bool is_table(std::string_view name) {
  return !(name == "Count" || name == "Min" || name == "Upper" || name == "*" || name == "==" ||
           name == "~" || is_constraint_predicate(name));
}

// Heads give their columns; calls add what they name, inside expressions and
// combines too; calls of functions and conditions give nothing.
TEST(TableColumnsTest, ColumnsByTable) {
  std::vector<Json> rules = rules_of(
      "P4(\"ab\", u: b) :- b == a, R3(4, 1, d: a);\n"
      "P6(a, a) :- ~W(a, a, b), b == (Count{f * f :- W(a, f, g), P4(c, u: d), Ext(Name: c)}), U(a);\n"
      "F(x) = Upper(x);\n"
      "Q(v, ..r) :- T(v, ..r), v == F(\"q\");");
  TableColumns got = collect_table_columns(rules, is_table);
  TableColumns want = {
      {"Ext", {"name"}},
      {"F", {"col0", "quoril_value"}},
      {"P4", {"col0", "u"}},
      {"P6", {"col0", "col1"}},
      {"Q", {"col0"}},
      {"R3", {"col0", "col1", "d"}},
      {"T", {"col0"}},
      {"U", {"col0"}},
      {"W", {"col0", "col1", "col2"}},
  };
  EXPECT_EQ(got, want);
}

TEST(TableColumnsTest, ColumnsInReachOfOneRule) {
  std::vector<Json> rules = rules_of(
      "P4(\"ab\", u: b) :- R3(4, 1, d: b);\n"
      "S(s: x) :- V(x);\n"
      "P6(a) :- U(a), 0 == Count{d :- P4(c, u: d)};\n"
      "P7(a) :- U(a), V(a);");
  TableColumns tables = collect_table_columns(rules, is_table);
  struct Case {
    size_t rule;
    std::set<std::string> want;
  } cases[] = {
      {0, {"col0", "col1", "d", "u"}},
      {1, {"col0", "s"}},
      {2, {"col0", "u"}},  // the combine's table included
      {3, {"col0"}},
  };
  for (const Case& c : cases) EXPECT_EQ(columns_in_reach(rules[c.rule], tables), c.want) << c.rule;
}

}  // namespace
}  // namespace mirtova
