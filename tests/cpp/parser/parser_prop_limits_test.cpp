
#include <gtest/gtest.h>

#include "parser/depth_guard.h"
#include "parser/forms.h"
#include "parser/parse_file.h"
#include "support/parser_prop_sketch.h"

namespace mirtova {
namespace {

std::string repeat(std::string_view piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

struct Case {
  const char* name;
  std::string text;
};

// Long chains and deep nesting end in the bound's error, never in a crash,
// and quickly: the descent must not rescan a long text at every level.
TEST(NestingLimitTest, LongChainsAndDeepNestingFailCleanly) {
  const size_t n = 100000;
  const Case cases[] = {
      {"chain of +", "x == a" + repeat(" + a", n)},
      {"chain of -", "x == a" + repeat(" - a", n)},
      {"chain of && in a proposition", "a" + repeat(" && a", n)},
      {"chain without blanks", "x == a" + repeat("*a", n)},
      {"right-nested sums", "x == " + repeat("(a + ", n) + "a" + std::string(n, ')')},
      {"nested calls", "x == " + repeat("f(", n) + "x" + std::string(n, ')')},
      {"nested negations", repeat("~(", n) + "p" + std::string(n, ')')},
      {"nested combines", "x == " + repeat("Sum{", n) + "x" + std::string(n, '}')},
      {"parentheses around one value", "P(x), " + std::string(n, '(') + "x == 1" + std::string(n, ')')},
      // Past the up-front refusals, the guard still stops the descent.
      {"unary minus", "x == " + repeat("- ", 2000) + "x"},
      {"names that absorb the operator", "x == a" + repeat("+a", 2000)},
  };
  // How fast these are refused is measured by bench/parse_operators_bench.cpp.
  for (const Case& c : cases)
    EXPECT_EQ(sketch::proposition(c.text), std::string("error: ") + kTooDeepMessage) << c.name;
  auto rule = parse_file("Q(x) :- x == a" + repeat(" + a", n) + ";");
  ASSERT_FALSE(rule.ok());
  EXPECT_EQ(rule.error().message, kTooDeepMessage);
}

TEST(NestingLimitTest, ChainsWithinTheBoundParse) {
  const size_t n = kMaxParseDepth / 2;
  auto sum = parse_expression(SpanString("a" + repeat(" + a", n)));
  ASSERT_TRUE(sum.ok()) << sum.error().message;
  size_t depth = 0;
  for (const Json* node = &sum.value(); node->has("call"); ++depth)
    node = &node->at("call").at("record").at("field_value").as_array()[0].at("value").at("expression");
  EXPECT_EQ(depth, n);
  // A long run of "+" inside a call name is one level, not a chain to refuse.
  auto named = parse_expression(SpanString("a" + repeat("+a", 2000) + "(x) + 1"));
  ASSERT_TRUE(named.ok()) << named.error().message;
  EXPECT_EQ(named.value().at("call").at("predicate_name").as_str(), "+");
  // More brackets and quotes in all than levels allowed, none of them deep.
  const std::string siblings = "P(x)" + repeat(", Q([1], \"s\")", kMaxParseDepth);
  auto flat = parse_proposition(SpanString(siblings));
  EXPECT_TRUE(flat.ok()) << flat.error().message;
  const size_t m = kMaxParseDepth - 10;
  EXPECT_EQ(sketch::proposition("P(x), " + std::string(m, '(') + "x == 1" + std::string(m, ')')),
            "and(P(x), unify(x, 1))");
}

}  // namespace
}  // namespace mirtova
