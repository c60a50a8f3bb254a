#include "compiler/program/kept_types.h"

#include <memory>

#include <gtest/gtest.h>

namespace mirtova {
namespace {

// A type is kept once for all its copies, and apart from every type that can
// be told from it: by kind, by openness, by source column, or by parts that
// merely print the same.
TEST(KeptTypesTest, OneNumberPerTypeThatCannotBeToldApart) {
  const Type list = Type::list(Type::number());
  const Type open = Type::open_record({{"a", Type::string()}});
  Type closed = open;
  closed.set_open(false);
  Type sourced = Type::any();
  sourced.set_origin(std::make_shared<const ColumnOrigin>(ColumnOrigin{"T", "c", false, {}}));
  struct Row {
    Type type;
    uint32_t number;
  };
  // The fresh list (3) holds parts equal to the first one's, not the same parts.
  const Row rows[] = {
      {Type::number(), 0}, {Type::number(), 0}, {Type::string(), 1},
      {list, 2},           {Type(list), 2},     {Type::list(Type::number()), 3},
      {open, 4},           {Type(open), 4},     {closed, 5},
      {Type::any(), 6},    {sourced, 7},        {Type(sourced), 7},
  };
  TypeTable table;
  for (const Row& row : rows) EXPECT_EQ(table.add(row.type), row.number) << row.type.to_string();
  table.finish();
  EXPECT_EQ(table.size(), 8u);
  EXPECT_TRUE(table.at(7).origin() != nullptr);
  EXPECT_TRUE(table.at(4).is_open());
  EXPECT_FALSE(table.at(5).is_open());
  EXPECT_TRUE(table.at(2).shares_parts_with(list));
}

// Names are found by their text, only those given; predicates likewise, and
// the map they are taken from is emptied.
TEST(KeptTypesTest, NamesAndPredicatesFound) {
  TypeTable table;
  std::map<std::string, std::map<std::string, Type>, std::less<>> columns = {
      {"P", {{"col0", Type::number()}, {"col1", Type::string()}}},
      {"Q_f1", {{"quoril_value", Type::number()}}},
  };
  PredicateColumnTypes kept(columns, table);
  EXPECT_TRUE(columns.empty());
  const NamedTypes* p = kept.find("P");
  ASSERT_NE(p, nullptr);
  ASSERT_NE(p->find("col1", table), nullptr);
  EXPECT_TRUE(table.at(*p->find("col1", table)).is_string());
  EXPECT_EQ(p->find("col2", table), nullptr);
  EXPECT_EQ(p->find("col", table), nullptr);
  ASSERT_NE(kept.find("Q_f1"), nullptr);
  EXPECT_EQ(*kept.find("Q_f1")->find("quoril_value", table), *p->find("col0", table));
  EXPECT_EQ(kept.find("Q"), nullptr);
  EXPECT_EQ(kept.find("R"), nullptr);
  EXPECT_EQ(PredicateColumnTypes().find("P"), nullptr);
  // A name is kept once however many predicates name it.
  std::map<std::string, Type, std::less<>> variables = {{"col1", Type::string()}, {"x", Type::number()}};
  NamedTypes rule(variables, table);
  EXPECT_EQ(table.add_name("col1"), 1u);
  EXPECT_EQ(table.add_name("x"), 3u);
  ASSERT_NE(rule.find("x", table), nullptr);
  EXPECT_EQ(*rule.find("x", table), *p->find("col0", table));
}

}  // namespace
}  // namespace mirtova
