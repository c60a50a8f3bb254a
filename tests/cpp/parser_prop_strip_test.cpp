#include <chrono>
#include <random>

#include <gtest/gtest.h>

#include "parser/traverse.h"

namespace mirtova {
namespace {

// The stripping rule applied one pair at a time, as it reads.
SpanString reference_strip(const SpanString& text) {
  SpanString current = strip_spaces(text);
  while (current.size() >= 2 && current[0] == '(' && current[current.size() - 1] == ')') {
    SpanString inner = current.slice(1, current.size() - 1);
    if (!inner.empty() && !is_whole(inner)) break;
    current = strip_spaces(inner);
  }
  return current;
}

TEST(StripNestedTest, SameSpanAsOnePairAtATime) {
  const char* cases[] = {
      "((a))",     "(( a ) )",    "((a)(b))",   "((a)b)c)",   "((a))b)",   "(a)b)",     "((a])",
      "(((\")\")))", "((a # c\n))", "((a /* ) */))", "(( ( ) ))", "(()",       "(())",      "((\"x\n\"))",
      "(('a\\')'))", "((`)`))",    "((\"\"\"))\"\"\"))", "((a) #)\n)", "(((a)b)c)", "( (a) + (b) )",
  };
  for (const char* c : cases) {
    SpanString text{std::string(c)};
    SpanString got = strip(text), want = reference_strip(text);
    EXPECT_EQ(got.start(), want.start()) << c;
    EXPECT_EQ(got.stop(), want.stop()) << c;
  }
}

TEST(StripNestedTest, RandomTextsAgreeWithOnePairAtATime) {
  const std::string alphabet = "((((()))))  a\"'`#/*\n[]{}\\";
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = 2 + static_cast<int>(random() % 14);
    for (int i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    SpanString span{text};
    SpanString got = strip(span), want = reference_strip(span);
    ASSERT_EQ(got.start(), want.start()) << text;
    ASSERT_EQ(got.stop(), want.stop()) << text;
  }
}

TEST(StripNestedTest, DeepNestingStripsInLinearTime) {
  const size_t depth = 100000;
  SpanString text{std::string(depth, '(') + "x + 1" + std::string(depth, ')')};
  const auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(strip(text).to_string(), "x + 1");
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
}

}  // namespace
}  // namespace mirtova
