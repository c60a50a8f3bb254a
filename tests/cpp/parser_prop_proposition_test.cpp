#include <gtest/gtest.h>

#include "parser_prop_sketch.h"

namespace mirtova {
namespace {

using sketch::proposition;

struct Case {
  std::string text, tree;
};

TEST(PropositionTest, Forms) {
  const Case cases[] = {
      {"P(x)", "P(x)"},
      {"p(x) | q(x), r(x)", "or(p(x), and(q(x), r(x)))"},
      {"a, b | c", "or(and(Constraint(a), Constraint(b)), Constraint(c))"},
      {"a, b, c", "and(Constraint(a), Constraint(b), Constraint(c))"},
      {"(a, b), c", "and(and(Constraint(a), Constraint(b)), Constraint(c))"},
      {"x || y", "||(x, y)"},
      // "&&" before "||" here, the other way round inside a value.
      {"a || b && c", "&&(||(a, b), c)"},
      {"a == b && c == d", "&&(==(a, b), ==(c, d))"},
      {"x == y", "unify(x, y)"},
      {"x == y == z", "==(==(x, y), z)"},
      {"x == y + 1", "unify(x, +(y, 1))"},
      {"x in [1, 2]", "inclusion(x, [1, 2])"},
      {"x in l, y", "and(inclusion(x, l), Constraint(y))"},
      {"x < y", "<(x, y)"},
      {"x = y", "=(x, y)"},
      {"p ~ q", "~(p, q)"},
      {"x", "Constraint(x)"},
      {"r.a", "Constraint(r.a)"},
      {"P(x), ((y))", "and(P(x), Constraint(y))"},
      {"Q(x, y: 1)", "Q(x, y: 1)"},
      {"F(x) + G(y) > 1", ">(+(F(x), G(y)), 1)"},
  };
  for (const Case& c : cases) EXPECT_EQ(proposition(c.text), c.tree) << c.text;
}

TEST(PropositionTest, Errors) {
  const Case cases[] = {
      {"42", "error: Could not parse proposition."},
      {"\"s\"", "error: Could not parse proposition."},
      {"f(x) g", "error: Could not parse proposition."},
      {"", "error: Could not parse proposition."},
      {"if x > 0 then 1 else 0", "error: If-then-else clause is only supported as an expression, not as a proposition."},
      {"if a then 1", "error: I expected string to be split by else in two."},
      {"P(x), Q(x", "error: Could not parse proposition."},
      {"P(x)) | Q(x)", "error: Parenthesis matches nothing."},
      {"P(x), 42, Q(", "error: Could not parse proposition."},
      {"x == ", "error: Could not parse expression of a value."},
      {"x_1 == 1", "error: Variables starting with x_ are reserved to be Quoril compiler internal. Please use a "
                   "different name."},
      {"1 in x_1", "error: Variables starting with x_ are reserved to be Quoril compiler internal. Please use a "
                   "different name."},
  };
  for (const Case& c : cases) EXPECT_EQ(proposition(c.text), c.tree) << c.text;
}

TEST(PropositionTest, ErrorSpans) {
  const Case cases[] = {
      {"42", "42"},
      {"P(x), 42, Q(x)", "42"},
      {"if a then 1 else 2", "if a then 1 else 2"},
      {"P(x)) | Q(x)", ")"},
      // The list is read before the element of an inclusion.
      {"x_1 in x_2", "x_2"},
  };
  for (const Case& c : cases) EXPECT_EQ(sketch::error_span(parse_proposition, c.text), c.tree) << c.text;
}

TEST(PropositionTest, ExactTrees) {
  EXPECT_EQ(sketch::json_of(parse_proposition, "x"),
            R"({"predicate":{"predicate_name":"Constraint","record":{"field_value":[)"
            R"({"field":0,"value":{"expression":{"variable":{"var_name":"x"},"expression_heritage":"x"}}}]}}})");
  EXPECT_EQ(sketch::json_of(parse_proposition, "x == 1"),
            R"({"unification":{"left_hand_side":{"variable":{"var_name":"x"},"expression_heritage":"x"},)"
            R"("right_hand_side":{"literal":{"the_number":{"number":"1"}},"expression_heritage":"1"}}})");
  EXPECT_EQ(sketch::json_of(parse_proposition, "x in l"),
            R"({"inclusion":{"element":{"variable":{"var_name":"x"},"expression_heritage":"x"},)"
            R"("list":{"variable":{"var_name":"l"},"expression_heritage":"l"}}})");
}

TEST(PropositionTest, UnificationAndInclusionAnswerNothingOutsideTheirForm) {
  for (std::string text : {"x", "x == y == z", "a < b"}) {
    auto r = parse_unification(SpanString(text));
    ASSERT_TRUE(r.ok()) << text;
    EXPECT_FALSE(r.value().has_value()) << text;
  }
  for (std::string text : {"x", "x in y in z", "within y", "x in(y)"}) {
    auto r = parse_inclusion(SpanString(text));
    ASSERT_TRUE(r.ok()) << text;
    EXPECT_FALSE(r.value().has_value()) << text;
  }
}

}  // namespace
}  // namespace mirtova
