#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/expr_translate/apply_template.h"

namespace mirtova {
namespace {

struct Fill {
  std::string tmpl;
  std::vector<std::string> args;
  std::string expected;
};

TEST(ApplyTemplate, Forms) {
  const std::vector<Fill> cases = {
      // joined: one "%s" takes every argument
      {"ARRAY_TO_STRING(%s)", {"a", "b"}, "ARRAY_TO_STRING(a, b)"},
      {"CONCAT(%s)", {"a"}, "CONCAT(a)"},
      {"CONCAT(%s)", {"a", "b", "c"}, "CONCAT(a, b, c)"},
      {"MIN(%s)", {}, "MIN(%s)"},
      // sequential: one argument per "%s", the rest dropped or left
      {"(%s) + (%s)", {"a", "b"}, "(a) + (b)"},
      {"- %s", {"a"}, "- a"},
      {"%s IS %s", {"a"}, "a IS %s"},
      {"%s IS %s", {"a", "b", "c"}, "a IS b"},
      {"100%%s", {"a"}, "100%a"},
      {"50% of %s", {"a"}, "50% of a"},
      {"ends with %", {"a"}, "ends with %"},
      // positional
      {"DATE_ADD({0}, INTERVAL {1} DAY)", {"a", "b"}, "DATE_ADD(a, INTERVAL b DAY)"},
      {"({0} = {0})", {"a"}, "(a = a)"},
      {"F({1})", {"a"}, "F({1})"},
      {"F({0})", {"a", "b"}, "F(a)"},
      {"F({1}, {3})", {"a", "b", "c", "d"}, "F(b, d)"},
      {"F({3})", {"a", "b", "c"}, "F({3})"},
      {"G({3}, %s)", {"a", "b", "c", "d"}, "G({3}, a, b, c, d)"},  // "{3}" alone selects no positions
      {"F({01}, {0})", {"a", "b"}, "F({01}, a)"},
      {"NOW()", {"a", "b"}, "NOW()"},
  };
  for (const Fill& c : cases) {
    EXPECT_EQ(apply_template(c.tmpl, c.args), c.expected) << c.tmpl;
    EXPECT_EQ(filled_size(c.tmpl, c.args), c.expected.size()) << c.tmpl;
  }
}

TEST(ApplyTemplate, ArgumentTextIsNeverRescanned) {
  // An argument's own text (a user's string literal, say) keeps its braces and
  // percent signs: filling is one pass over the template.
  const std::vector<Fill> cases = {
      {"F({0}, {1})", {"'{1}'", "b"}, "F('{1}', b)"},
      {"F({0}, {1})", {"{1}", "b"}, "F({1}, b)"},
      {"REPLACE({0}, {1}, {2})", {"'{2}{1}'", "'x'", "'y'"}, "REPLACE('{2}{1}', 'x', 'y')"},
      {"(%s) || (%s)", {"'%s'", "b"}, "('%s') || (b)"},
  };
  for (const Fill& c : cases) EXPECT_EQ(apply_template(c.tmpl, c.args), c.expected) << c.tmpl;
}

TEST(ApplyTemplate, KeywordPlaces) {
  const std::string tmpl = "F({0}, INTERVAL {1} {2:DAY|WEEK(MONDAY)}, {12:A})";
  std::vector<KeywordPlace> places = keyword_places(tmpl);
  ASSERT_EQ(places.size(), 2u);
  EXPECT_EQ(places[0].index, 2u);
  EXPECT_EQ(places[0].words, "DAY|WEEK(MONDAY)");
  EXPECT_EQ(places[1].index, 12u);
  EXPECT_EQ(arguments_needed(tmpl), 13u);
  EXPECT_EQ(with_keywords(tmpl, places, {"DAY", "A"}), "F({0}, INTERVAL {1} DAY, A)");
  // Neither an unnumbered nor an unclosed one is a keyword placeholder.
  EXPECT_TRUE(keyword_places("F({a:B}, {0})").empty());
  EXPECT_TRUE(keyword_places("F({0}, {1:DAY").empty());
  EXPECT_EQ(keyword_named("DAY|WEEK(MONDAY)", "week(Monday)"), "WEEK(MONDAY)");
  EXPECT_EQ(keyword_named("DAY|WEEK", "DAYS"), std::nullopt);
  EXPECT_EQ(keyword_named("DAY|WEEK", ""), std::nullopt);
}

TEST(ApplyOperatorTemplate, Forms) {
  struct Case {
    std::string tmpl, left, right, expected;
  };
  const std::vector<Case> cases = {
      {"list_contains({right}, {left})", "x", "l", "list_contains(l, x)"},
      {"{left} = {left}", "x", "y", "x = x"},
      {"list_contains({right}, {left})", "'{right}'", "l", "list_contains(l, '{right}')"},
      {"(%s) - (%s)", "a", "b", "(a) - (b)"},
      {"ARRAY_CONTAINS({1}, {0})", "x", "l", "ARRAY_CONTAINS(l, x)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(apply_operator_template(c.tmpl, c.left, c.right), c.expected) << c.tmpl;
  }
}

// An operand one whole in brackets gets no second pair; anything else, or a
// template that does not bracket both operands, is filled as it stands.
TEST(ApplyOperatorTemplate, OnceBracketed) {
  struct Case {
    std::string tmpl, left, right, expected;
  };
  const std::vector<Case> cases = {
      {"(%s) + (%s)", "(a + b)", "c", "(a + b) + (c)"},
      {"(%s) * (%s)", "(a) - (b)", "((x))", "((a) - (b)) * ((x))"},
      {"(%s) || (%s)", "(')')", "('(' || x)", "(')') || ('(' || x)"},
      {"(%s) = (%s)", "\"a)\"", "(f(x) + (y))", "(\"a)\") = (f(x) + (y))"},
      {"CAST(%s AS REAL) / NULLIF(%s, 0)", "(a)", "(b)", "CAST((a) AS REAL) / NULLIF((b), 0)"},
      {"({0}) - ({1}) * ({0})", "(a)", "(b)", "((a)) - ((b)) * ((a))"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(apply_operator_template_once_bracketed(c.tmpl, c.left, c.right), c.expected) << c.tmpl;
  }
  EXPECT_FALSE(is_bracketed("(a) + (b)"));
  EXPECT_FALSE(is_bracketed("(a')'"));
  EXPECT_TRUE(is_bracketed("(a ')' '(')"));
}

}  // namespace
}  // namespace mirtova
