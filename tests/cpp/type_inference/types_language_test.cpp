#include "compiler/type_inference/types.h"

#include <gtest/gtest.h>

#include "common/internal_fault.h"

namespace mirtova {
namespace {

Type rec(std::initializer_list<std::pair<const std::string, Type>> fields, bool open) {
  return Type::record(Type::Fields(fields), open);
}

TEST(TypesLanguageTest, PrintedForm) {
  struct Row {
    Type type;
    const char* printed;
  };
  // clang-format off
  const Row rows[] = {
      {Type::any(), "any"},
      {Type(), "any"},
      {Type::atomic(), "atomic"},
      {Type::number(), "number"},
      {Type::string(), "string"},
      {Type::boolean(), "bool"},
      {Type::list(Type::list(Type::string())), "[[string]]"},
      {rec({}, false), "{}"},
      {rec({}, true), "{}"},
      {rec({{"b", Type::boolean()}, {"a", Type::list(Type::number())}}, false),
       "{a: [number], b: bool}"},
      {rec({{"b", Type::boolean()}, {"a", Type::list(Type::number())}}, true),
       "{a: [number], b: bool}"},
      {rec({{"z", Type::number()}, {"a", Type::string()}}, false), "{a: string, z: number}"},
      {rec({{"a", Type::number()}, {"B", Type::string()}}, false), "{B: string, a: number}"},
      {rec({{"ab", Type::number()}, {"a", Type::string()}}, false), "{a: string, ab: number}"},
      {Type::list(rec({{"x", Type::list(rec({}, true))}}, false)), "[{x: [{}]}]"},
  };
  // clang-format on
  for (const auto& row : rows) EXPECT_EQ(row.type.to_string(), row.printed);
}

TEST(TypesLanguageTest, Equality) {
  struct Row {
    const char* name;
    Type a;
    Type b;
    bool equal;
  };
  const Type num = Type::number();
  const Type str = Type::string();
  // clang-format off
  const Row rows[] = {
      {"same scalar", num, num, true},
      {"any is only any", Type::any(), num, false},
      {"atomic is only atomic", Type::atomic(), str, false},
      {"any equals any", Type::any(), Type::any(), true},
      {"list of number vs list of atomic", Type::list(num), Type::list(Type::atomic()), false},
      {"list vs scalar", Type::list(num), num, false},
      {"scalar vs list", num, Type::list(num), false},
      {"nested lists", Type::list(Type::list(num)), Type::list(Type::list(num)), true},
      {"list depth differs", Type::list(Type::list(num)), Type::list(num), false},
      {"record vs scalar", rec({}, true), num, false},
      {"scalar vs record", num, rec({}, true), false},
      {"closed same fields", rec({{"a", num}}, false), rec({{"a", num}}, false), true},
      {"closed extra field", rec({{"a", num}}, false), rec({{"a", num}, {"b", str}}, false), false},
      {"closed different type", rec({{"a", num}}, false), rec({{"a", str}}, false), false},
      {"closed different name", rec({{"a", num}}, false), rec({{"b", num}}, false), false},
      {"open subset of closed", rec({{"a", num}}, true), rec({{"a", num}, {"b", str}}, false), true},
      {"closed superset of open", rec({{"a", num}, {"b", str}}, false), rec({{"a", num}}, true), true},
      {"open field missing in closed", rec({{"c", num}}, true), rec({{"a", num}}, false), false},
      {"open field type differs from closed", rec({{"a", str}}, true), rec({{"a", num}}, false), false},
      {"open vs open conflicting", rec({{"a", num}}, true), rec({{"a", str}}, true), false},
      {"open vs open disjoint", rec({{"a", num}}, true), rec({{"b", str}}, true), true},
      {"empty open vs closed", rec({}, true), rec({{"a", num}}, false), true},
      {"empty open vs open", rec({}, true), rec({{"a", num}}, true), true},
      {"empty closed vs empty closed", rec({}, false), rec({}, false), true},
      {"empty closed vs empty open", rec({}, false), rec({}, true), true},
      {"empty closed vs open with field", rec({}, false), rec({{"a", num}}, true), false},
      {"empty closed vs closed with field", rec({}, false), rec({{"a", num}}, false), false},
      {"nested record field types compared",
       rec({{"a", Type::list(rec({{"x", num}}, false))}}, false),
       rec({{"a", Type::list(rec({{"x", str}}, false))}}, false), false},
      {"list of open record vs list of closed", Type::list(rec({{"x", num}}, true)),
       Type::list(rec({{"x", num}, {"y", str}}, false)), true},
  };
  // clang-format on
  for (const auto& row : rows) {
    EXPECT_EQ(row.a.eq(row.b), row.equal) << row.name;
    EXPECT_EQ(row.b.eq(row.a), row.equal) << row.name << " (swapped)";
    EXPECT_EQ(row.a == row.b, row.equal) << row.name;
  }
}

TEST(TypesLanguageTest, CopiesAreDeep) {
  Type original = Type::list(rec({{"a", Type::number()}}, true));
  Type copy = original;
  EXPECT_TRUE(copy.shares_parts_with(original));
  copy.element().fields()["b"] = Type::string();
  EXPECT_FALSE(copy.shares_parts_with(original));
  EXPECT_FALSE(copy.element().shares_parts_with(original.element()));
  copy.element().set_open(false);
  EXPECT_EQ(original.to_string(), "[{a: number}]");
  EXPECT_TRUE(original.element().is_open());
  EXPECT_EQ(copy.to_string(), "[{a: number, b: string}]");

  Type assigned;
  assigned = original;
  original.element().fields().clear();
  EXPECT_EQ(assigned.to_string(), "[{a: number}]");
  const Type& same = assigned;
  assigned = same;  // self-assignment keeps the value
  EXPECT_EQ(assigned.to_string(), "[{a: number}]");
}

TEST(TypesLanguageTest, WrongKindAccessIsInternalFault) {
  Type n = Type::number();
  EXPECT_THROW(n.element(), InternalFault);
  EXPECT_THROW(n.fields(), InternalFault);
  EXPECT_THROW(n.set_open(true), InternalFault);
  EXPECT_FALSE(n.is_open());
  EXPECT_THROW(Type::list(n).fields(), InternalFault);
  EXPECT_THROW(Type::open_record({}).element(), InternalFault);
}

TEST(TypesLanguageTest, DeepListsCompareAndPrint) {
  Type a = Type::number();
  Type b = Type::number();
  for (int i = 0; i < 2000; ++i) {
    a = Type::list(std::move(a));
    b = Type::list(std::move(b));
  }
  EXPECT_TRUE(a.eq(b));
  EXPECT_EQ(a.to_string().size(), std::string("number").size() + 4000);
}

}  // namespace
}  // namespace mirtova
