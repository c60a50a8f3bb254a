#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "compiler/type_inference/built_in.h"
#include "compiler/type_inference/intersection.h"

namespace mirtova {
namespace {

Type num() { return Type::number(); }
Type str() { return Type::string(); }
Type atom() { return Type::atomic(); }
Type boolean() { return Type::boolean(); }
Type any() { return Type::any(); }
Type list(Type t) { return Type::list(std::move(t)); }
Type open(Type::Fields f) { return Type::open_record(std::move(f)); }
Type closed(Type::Fields f) { return Type::closed_record(std::move(f)); }

// The printed met type with an "open " prefix for open records, or the message.
std::string outcome(const TypeResult& r) {
  if (!r.ok()) return r.error().to_string();
  return (r.value().is_open() ? "open " : "") + r.value().to_string();
}

TEST(TypeIntersectionTest, MeetsAndConflicts) {
  struct Case {
    Type a, b;
    std::string expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {num(), atom(), "number"},
      {atom(), num(), "number"},
      {any(), any(), "any"},
      {atom(), boolean(), "Type mismatch: cannot match bool with atomic at (0, 0)"},
      {boolean(), atom(), "Type mismatch: cannot match bool with atomic at (0, 0)"},
      {str(), num(), "Type mismatch: cannot match number with string at (0, 0)"},
      {list(num()), num(), "Type mismatch: cannot match number with [number] at (0, 0)"},
      {list(num()), list(str()), "Type mismatch: cannot match number with string at (0, 0)"},
      {list(list(num())), list(list(atom())), "[[number]]"},
      {list(list(num())), list(num()), "Type mismatch: cannot match number with [number] at (0, 0)"},
      {list(any()), list(str()), "[string]"},
      {closed({{"a", num()}}), open({{"d", num()}}),
       "Type mismatch: cannot match {d: number} with {a: number} at (0, 0)"},
      {open({{"a", num()}}), open({{"b", str()}}), "open {a: number, b: string}"},
      {open({{"a", num()}}), closed({{"a", atom()}, {"c", boolean()}}), "{a: number, c: bool}"},
      {closed({{"a", num()}}), closed({{"a", num()}, {"b", boolean()}}),
       "Type mismatch: cannot match {a: number} with {a: number, b: bool} at (0, 0)"},
      {closed({{"a", atom()}}), closed({{"a", str()}}), "{a: string}"},
      {closed({{"a", num()}}), closed({{"b", num()}}),
       "Type mismatch: cannot match {a: number} with {b: number} at (0, 0)"},
      {open({{"a", num()}}), open({{"a", str()}}), "Type mismatch: cannot match number with string at (0, 0)"},
      {open({{"r", open({{"x", num()}})}}), open({{"r", open({{"y", boolean()}})}}), "open {r: {x: number, y: bool}}"},
      {any(), open({{"a", num()}}), "open {a: number}"},
      {open({}), num(), "Type mismatch: cannot match number with {} at (0, 0)"},
      {list(num()), open({}), "Type mismatch: cannot match [number] with {} at (0, 0)"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(outcome(intersect(c.a, c.b, 0, 0)), c.expected) << c.a.to_string() << " & " << c.b.to_string();
  }
}

TEST(TypeIntersectionTest, PositionsArePassedThrough) {
  EXPECT_EQ(outcome(intersect(num(), str(), -1, 7)),
            "Type mismatch: cannot match number with string at (-1, 7)");
  EXPECT_EQ(outcome(intersect(list(num()), list(boolean()), 3, 4)),
            "Type mismatch: cannot match bool with number at (3, 4)");
}

TEST(TypeIntersectionTest, FriendlyRecordsKeepFirstOnlyFieldsWhenOpen) {
  Type::Fields first = {{"a", num()}, {"b", str()}};
  Type::Fields second = {{"a", atom()}};
  EXPECT_EQ(outcome(intersect_friendly_records(first, second, true, 0, 0)), "open {a: number, b: string}");
  EXPECT_EQ(outcome(intersect_friendly_records(first, second, false, 0, 0)), "{a: number}");
}

TEST(BuiltInRestrictionsTest, Table) {
  struct Case {
    std::string predicate, column;
    std::optional<std::string> expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"<", "left", "atomic"},         {">=", "right", "atomic"},      {"<", "quoril_value", "bool"},
      {"<", "col0", std::nullopt},     {"+", "left", "number"},        {"+", "quoril_value", "number"},
      {"++", "right", "string"},       {"++", "quoril_value", "string"}, {"-", "left", "number"},
      {"-", "col0", "number"},         {"*", "right", "number"},       {"/", "col0", std::nullopt},
      {"-", "quoril_value", "number"}, {"Num", "col0", "number"},      {"Num", "left", std::nullopt},
      {"Str", "quoril_value", "string"}, {"Range", "col0", "number"},  {"Range", "quoril_value", "[number]"},
      {"Range", "col1", std::nullopt}, {"Agg+", "quoril_value", "number"}, {"Agg++", "quoril_value", std::nullopt},
      {"length", "quoril_value", std::nullopt}, {"Length", "quoril_value", "number"},
      {"Count", "col0", std::nullopt}, {"Count", "quoril_value", "number"}, {"IsNull", "quoril_value", "bool"},
      {"RegexpContains", "quoril_value", "bool"}, {"RegexpReplace", "quoril_value", "string"},
      {"ToFloat64", "quoril_value", "number"}, {"StringAgg", "quoril_value", "string"},
      {"Sum", "quoril_value", "number"}, {"Median", "quoril_value", "number"},
      {"ExactCount", "quoril_value", "number"}, {"Sum", "col0", std::nullopt},
      {"Min", "quoril_value", std::nullopt},
      {"Person", "quoril_value", std::nullopt}, {"", "", std::nullopt},
  };
  // clang-format on
  for (const Case& c : cases) {
    std::optional<Type> t = built_in_restrictions(c.predicate, c.column);
    std::optional<std::string> printed;
    if (t) printed = t->to_string();
    EXPECT_EQ(printed, c.expected) << c.predicate << "." << c.column;
  }
}

}  // namespace
}  // namespace mirtova
