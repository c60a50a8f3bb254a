#include "compiler/program/table_columns.h"

#include "compiler/program/library_columns.h"

#include <set>

#include <gtest/gtest.h>

#include "compiler/rule_translate/names.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

using Tables = std::vector<std::string>;  // sorted, as tables_in_reach gives them

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
// combines too; calls of functions and conditions give nothing. Gathered with
// the names and variables each rule mentions, the columns are the same.
TEST(TableColumnsTest, ColumnsByTable) {
  std::vector<Json> rules = rules_of(
      "P4(\"ab\", u: b) :- b == a, R3(4, 1, d: a);\n"
      "P6(a, a) :- ~W(a, a, b), b == (Count{f * f :- W(a, f, g), P4(c, u: d), Ext(Name: c)}), U(a);\n"
      "F(x) = Upper(x);\n"
      "Q(v, ..r) :- T(v, ..r), v == F(\"q\");");
  std::vector<std::set<std::string>> named(rules.size()), variables(rules.size());
  TableColumns::Mentions mentions;
  mentions.named = [&](size_t rule, std::string_view name) { named[rule].emplace(name); };
  mentions.variable = [&](size_t rule, std::string_view name) { variables[rule].emplace(name); };
  for (bool with_mentions : {false, true}) {
    TableColumns columns = with_mentions ? TableColumns::collect(rules, is_table, mentions)
                                         : TableColumns::collect(rules, is_table);
    std::map<std::string, std::set<std::string>> want = {
        {"Ext", {"name"}},
        {"F", {"col0", "quoril_value"}},
        {"P4", {"col0", "u"}},
        {"P6", {"col0", "col1"}},
        {"Q", {"col0"}},
        {"R3", {"col0", "col1", "d"}},
        {"T", {"col0"}},
        {"U", {"col0"}},
        {"W", {"col0", "col1", "col2"}},
        {"Count", {}},
        {"Upper", {}},
    };
    const std::vector<std::string> asked = {"col0",         "col1", "col2", "d", "name",
                                            "quoril_value", "u",    "*",    "r"};
    for (const auto& [table, has] : want)
      for (const std::string& column : asked)
        EXPECT_EQ(columns.is_column_of(column, Tables{table}), has.count(column) > 0)
            << table << "." << column;
    // Asked of several tables at once, and of none.
    EXPECT_TRUE(columns.is_column_of("name", Tables{"A", "Ext", "U", "Z"}));
    EXPECT_FALSE(columns.is_column_of("name", Tables{"A", "P4", "U", "Z"}));
    EXPECT_FALSE(columns.is_column_of("u", Tables{}));
  }
  // A negation is a combine of Min called through IsNull; operators are calls too.
  const std::vector<std::set<std::string>> want_named = {
      {"P4", "R3"},
      {"P6", "W", "IsNull", "Combine", "Min", "Count", "*", "P4", "Ext", "U"},
      {"F", "Upper"},
      {"Q", "T", "F"}};
  const std::vector<std::set<std::string>> want_variables = {
      {"a", "b"}, {"a", "b", "c", "d", "f", "g"}, {"x"}, {"v", "r"}};
  EXPECT_EQ(named, want_named);
  EXPECT_EQ(variables, want_variables);
}

// A library's columns are gathered once and shared; a call of a special name
// it leaves undefined counts only for a program that defines that name.
TEST(TableColumnsTest, LibraryColumnsAreSharedAndSpecialNamesWaitForTheProgram) {
  auto library = std::make_shared<const std::vector<Json>>(
      rules_of("L(a) :- B(b: a), Special(c: a), Upper(e: a);\nUpper(x) = x;"));
  auto special = [](std::string_view name) { return name == "Special" || name == "Upper"; };
  std::shared_ptr<const LibraryColumns> shared = gather_library_columns(library, special);
  // The columns view the library's names, and keep the library for that.
  library.reset();
  EXPECT_EQ(shared->if_defined,
            (std::map<std::string, std::vector<std::string>, std::less<>>{{"Special", {"c"}}}));
  for (bool defines_special : {false, true}) {
    TableColumns program = TableColumns::collect({}, is_table);
    program.share(shared->always);
    if (defines_special) program.add_columns("Special", shared->if_defined.at("Special"));
    EXPECT_TRUE(program.is_column_of("b", Tables{"B"}));
    EXPECT_TRUE(program.is_column_of("e", Tables{"Upper"})) << "the library defines Upper";
    EXPECT_TRUE(program.is_column_of("col0", Tables{"L"}));
    EXPECT_EQ(program.is_column_of("c", Tables{"Special"}), defines_special);
  }
}

TEST(TableColumnsTest, TablesInReachOfOneRule) {
  std::vector<Json> rules = rules_of(
      "P4(\"ab\", u: b) :- R3(4, 1, d: b);\n"
      "S(s: x) :- V(x);\n"
      "P6(a) :- U(a), 0 == Count{d :- P4(c, u: d)};\n"
      "P7(a) :- U(a), V(a);");
  TableColumns columns = TableColumns::collect(rules, is_table);
  struct Case {
    size_t rule;
    std::set<std::string> want;
  } cases[] = {
      {0, {"col0", "col1", "d", "u"}},
      {1, {"col0", "s"}},
      {2, {"col0", "u"}},  // the combine's table included
      {3, {"col0"}},
  };
  const std::vector<std::string> asked = {"col0", "col1", "d", "s", "u", "p4", "v"};
  for (const Case& c : cases) {
    Tables reach = TableColumns::tables_in_reach(rules[c.rule]);
    for (const std::string& column : asked)
      EXPECT_EQ(columns.is_column_of(column, reach), c.want.count(column) > 0) << c.rule << " " << column;
  }
}

}  // namespace
}  // namespace mirtova
