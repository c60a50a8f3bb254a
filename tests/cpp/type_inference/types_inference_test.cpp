#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/type_inference/inference.h"
#include "support/trees.h"
#include "support/types_graph_text.h"

namespace mirtova {
namespace {

using namespace trees;

std::vector<const Json*> pointers(const std::vector<Json>& rules) {
  std::vector<const Json*> out;
  for (const Json& r : rules) out.push_back(&r);
  return out;
}

std::string message(const std::vector<Json>& rules) {
  auto result = infer_predicate_types(pointers(rules));
  if (result.ok()) return "accepted";
  EXPECT_EQ(result.error().rule_text, "");
  return result.error().message;
}

Json number_at(int64_t start, int64_t stop) {
  Json n = num();
  n.at_mut("literal").at_mut("the_number").set("number", Json::object({{"start", start}, {"stop", stop}}));
  return n;
}

// Positions come only from trees that carry "start" and "stop", which the
// parser does not write; a conflict reports those of the edge it met on.
TEST(TypeInferenceTest, PositionsReachTheMessage) {
  const std::string error = "Type inference error: Type mismatch: cannot match ";
  struct Case {
    Json body;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {unify(var("x"), number_at(4, 9)), error + "number with string at (0, 9)"},
      {unify(number_at(4, 9), var("x")), error + "number with string at (4, 0)"},
      {includes(var("x"), list({number_at(2, 3)})), error + "number with string at (0, 4)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(message({rule(head("T", {var("x")}), {unify(var("x"), str()), c.body})}), c.expected)
        << c.body.compact();
  }
}

TEST(TypeInferenceTest, AnnotationsOnlyGiveNoTypes) {
  std::vector<Json> rules = {rule(head("@Limit", {num()}))};
  auto result = infer_predicate_types(pointers(rules));
  ASSERT_TRUE(result.ok());
  EXPECT_TRUE(result.value().empty());
}

// A type that contains itself grows at every pass (twice as large at every
// step for the record that holds itself twice); inference must end without
// error, and without exhausting time or memory, keeping bounded types.
TEST(TypeInferenceTest, ATypeThatKeepsGrowingEndsWithoutError) {
  const std::vector<std::vector<Json>> bodies = {
      {includes(var("x"), var("x"))},
      {includes(var("x"), subscript(subscript(var("x"), "a"), "a"))},
      {unify(subscript(var("x"), "a"), var("x")), unify(subscript(var("x"), "b"), var("x"))},
  };
  for (const std::vector<Json>& body : bodies) {
    auto result = infer_predicate_types(pointers({rule(head("X", {var("x")}), body)}));
    ASSERT_TRUE(result.ok()) << result.error().message;
    const std::string printed = result.value().at("X").at("col0").to_string();
    EXPECT_GT(printed.size(), 100u);
    EXPECT_LT(printed.size(), 200000u);
  }
}

TEST(TypeInferenceTest, PredicateTypesListEveryNamedPredicate) {
  std::vector<Json> rules = {
      rule(head("P", {var("x")}),
           {atom("Person", {}, {{"age", var("x")}}), unify(var("s"), call("Set", {var("x")}))}),
  };
  auto result = infer_predicate_types(pointers(rules));
  ASSERT_TRUE(result.ok());
  std::vector<std::string> names;
  for (const auto& entry : result.value()) names.push_back(entry.first);
  EXPECT_EQ(names, (std::vector<std::string>{"P", "Person", "Set"}));
  EXPECT_EQ(result.value().at("Person").size(), 2u);  // age and quoril_value
}

}  // namespace
}  // namespace mirtova
