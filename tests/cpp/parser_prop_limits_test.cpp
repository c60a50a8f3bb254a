#include <chrono>

#include <gtest/gtest.h>

#include "parser/depth_guard.h"
#include "parser/parse_file.h"
#include "parser_prop_sketch.h"

namespace mirtova {
namespace {

std::string repeat(std::string_view piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

struct Case {
  const char* name;
  std::string text;
};

// Long chains and deep nesting end in a tree or an error, never in a crash,
// and quickly: each level of the descent must not rescan the text many times.
TEST(NestingLimitTest, LongChainsAndDeepNestingFailCleanly) {
  const size_t n = 100000;
  const Case too_deep[] = {
      {"chain of +", "a" + repeat(" + a", n)},
      {"chain of -", "a" + repeat(" - a", n)},
      {"chain of &&", "a" + repeat(" && a", n)},
      {"chain without blanks", "a" + repeat("*a", n)},
      {"right-nested sums", repeat("(a + ", n) + "a" + std::string(n, ')')},
      {"nested calls", repeat("f(", n) + "x" + std::string(n, ')')},
      {"nested lists", std::string(n, '[') + std::string(n, ']')},
      {"nested negations", repeat("~(", n) + "p" + std::string(n, ')')},
      {"nested combines", repeat("Sum{", n) + "x" + std::string(n, '}')},
      {"nested if-then-else", repeat("if a then (", n) + "1" + repeat(") else 2", n)},
  };
  for (const Case& c : too_deep) {
    const auto begin = std::chrono::steady_clock::now();
    const std::string outcome = sketch::proposition("x == " + c.text);
    EXPECT_EQ(outcome, std::string("error: ") + kTooDeepMessage) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2)) << c.name;
  }
}

// Parentheses that would only be stripped still count: the bound is on how
// deeply a text nests, not on how deep its tree would be.
TEST(NestingLimitTest, ParenthesesAroundOneValue) {
  const Case cases[] = {
      {"within the bound", std::string(kMaxParseDepth - 1, '(') + "x == 1" + std::string(kMaxParseDepth - 1, ')')},
      {"past the bound", std::string(100000, '(') + "x == 1" + std::string(100000, ')')},
  };
  EXPECT_EQ(sketch::proposition("P(x), " + cases[0].text), "and(P(x), unify(x, 1))");
  EXPECT_EQ(sketch::proposition("P(x), " + cases[1].text), std::string("error: ") + kTooDeepMessage);
}

// Chains that the up-front refusals cannot prove too deep still end in the
// bound's error after descending.
TEST(NestingLimitTest, ChainsFoundTooDeepOnTheWayDown) {
  const Case cases[] = {
      {"unary minus", repeat("- ", 2000) + "x"},
      {"names absorb the operator", "a" + repeat("+a", 2000)},
      {"looser operator after the chain", "a" + repeat(" + a", 2000) + " => b"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(sketch::proposition("x == " + c.text), std::string("error: ") + kTooDeepMessage) << c.name;
}

TEST(NestingLimitTest, ChainsWithinTheBoundParse) {
  const size_t n = kMaxParseDepth / 2;
  auto sum = parse_expression(SpanString("a" + repeat(" + a", n)));
  ASSERT_TRUE(sum.ok()) << sum.error().message;
  size_t depth = 0;
  for (const Json* node = &sum.value(); node->has("call"); ++depth)
    node = &node->at("call").at("record").at("field_value").as_array()[0].at("value").at("expression");
  EXPECT_EQ(depth, n);
}

TEST(NestingLimitTest, WholeRulesThroughTheFileParser) {
  const size_t n = 100000;
  const Case rules[] = {
      {"chain", "Q(x) :- x == a" + repeat(" + a", n) + ";"},
      {"nesting", "Q(x) :- " + repeat("(P(x), ", n) + "R(x)" + std::string(n, ')') + ";"},
  };
  for (const Case& c : rules) {
    auto r = parse_file(c.text);
    ASSERT_FALSE(r.ok()) << c.name;
    EXPECT_EQ(r.error().message, kTooDeepMessage) << c.name;
  }
}

}  // namespace
}  // namespace mirtova
