#include <gtest/gtest.h>

#include "parser_prop_sketch.h"

namespace mirtova {
namespace {

using sketch::expression;
using sketch::proposition;

struct Case {
  std::string text, tree;
};

TEST(CombineTest, ThreeForms) {
  const Case expressions[] = {
      {"combine += x :- T(x), x > 0", "+{x :- T(x), >(x, 0)}"},
      {"combine Max= x", "Max{x}"},
      {"combine += x :- T(x), U(x) | V(x)", "+{x :- T(x), or(U(x), V(x))}"},
      {"Sum{x :- T(x)}", "Sum{x :- T(x)}"},
      {"Sum{x}", "Sum{x}"},
      {"Sum{x} + 1", "+(Sum{x}, 1)"},
      {"combined", "combined"},
      {"combine\t+= x", "error: Could not parse expression of a value."},
  };
  for (const Case& c : expressions) EXPECT_EQ(expression(c.text), c.tree) << c.text;
  const Case propositions[] = {
      {"s += x :- T(x)", "unify(s, +{x :- T(x)})"},
      {"s Max= x", "unify(s, Max{x})"},
      {"s List= {a: x} :- T(x)", "unify(s, List{{a: x} :- T(x)})"},
      {"s ++= x", "unify(s, ++{x})"},
      // Comparisons and word operators are no aggregations.
      {"x != y", "!=(x, y)"},
      {"x <= y", "<=(x, y)"},
      {"x >= y", ">=(x, y)"},
      {"x ! = y", "error: Could not parse expression of a value."},
      {"x == y", "unify(x, y)"},
      {"x+=1", "error: Could not parse expression of a value."},
  };
  for (const Case& c : propositions) EXPECT_EQ(proposition(c.text), c.tree) << c.text;
}

TEST(CombineTest, Errors) {
  const Case cases[] = {
      {"combine x", "error: A combine needs an operator: `combine += x`."},
      {"combine x :- T(x)", "error: A combine needs an operator: `combine += x`."},
      {"combine += x :- a :- b", "error: String should have been split by :- in 1 or 2 pieces."},
      {"Sum{x :- a :- b}", "error: String should have been split by :- in 1 or 2 pieces."},
      {"combine += x :- T(x), 42", "error: Could not parse proposition."},
      {"combine += :- T(x)", "error: Could not parse expression of a value."},
  };
  for (const Case& c : cases) EXPECT_EQ(expression(c.text), c.tree) << c.text;
  EXPECT_EQ(sketch::error_span(parse_expression, "combine x"), "x");
  EXPECT_EQ(sketch::error_span(parse_expression, "combine x :- T(x)"), "x");
  EXPECT_EQ(proposition("a b += 1"), "error: Could not parse expression of a value.");
  EXPECT_EQ(sketch::error_span(parse_proposition, "a b += 1"), "a b");
  EXPECT_EQ(proposition("s += x :- a :- b"), "error: String should have been split by :- in 1 or 2 pieces.");
}

TEST(CombineTest, ConciseFormAnswersNothingForComparisons) {
  for (std::string text : {"x != y", "x <= y", "x >= y", "x == y", "x+=1", "x is = y", "x in = y", "x"}) {
    auto r = parse_concise_combine(SpanString(text));
    ASSERT_TRUE(r.ok()) << text;
    EXPECT_FALSE(r.value().has_value()) << text;
  }
}

TEST(CombineTest, ExactKeywordTree) {
  EXPECT_EQ(sketch::json_of(parse_expression, "combine  += x :- T(x)"),
            R"({"combine":{"head":{"predicate_name":"Combine","record":{"field_value":[{"field":"quoril_value",)"
            R"("value":{"aggregation":{"argument":{"variable":{"var_name":"x"},"expression_heritage":"x"},)"
            R"j("expression_heritage":" += x :- T(x)","operator":"+"}}}]}},)j"
            R"("body":{"conjunction":{"conjunct":[{"predicate":{"predicate_name":"T","record":{"field_value":[)"
            R"({"field":0,"value":{"expression":{"variable":{"var_name":"x"},"expression_heritage":"x"}}}]}}}]}},)"
            R"j("distinct_denoted":true,"full_text":" += x :- T(x)"},"expression_heritage":"combine  += x :- T(x)"})j");
}

TEST(CombineTest, TextsOfEachForm) {
  auto rule_of = [](const Json& node) -> const Json& { return node.at("combine"); };
  auto concise = parse_proposition(SpanString(std::string("s Max= x :- T(x)")));
  ASSERT_TRUE(concise.ok());
  const Json& right = concise.value().at("unification").at("right_hand_side");
  EXPECT_EQ(right.at("expression_heritage").as_str(), "s Max= x :- T(x)");
  EXPECT_EQ(rule_of(right).at("full_text").as_str(), "s Max= x :- T(x)");
  EXPECT_FALSE(rule_of(right).has("orderby_denoted"));

  auto ultra = parse_expression(SpanString(std::string("Sum{x}")));
  ASSERT_TRUE(ultra.ok());
  EXPECT_EQ(rule_of(ultra.value()).at("full_text").as_str(), "Sum{x}");
  EXPECT_FALSE(rule_of(ultra.value()).has("body"));
  EXPECT_TRUE(rule_of(ultra.value()).at("distinct_denoted").as_bool());
}

}  // namespace
}  // namespace mirtova
