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

// The one-pass strip must cut exactly where the pair-at-a-time rule does,
// comments, strings and stray closers included.
TEST(StripAgreementTest, RandomTextsAgreeWithOnePairAtATime) {
  const std::string alphabet = "((((()))))  a\"'`#/*\n[]{}\\";
  std::vector<std::string> texts = {"((a) #)\n)", "(#`[\"(\")", "((a /* ) */))", "((a)b)c)", "((a])", "(())"};
  std::mt19937 random(7);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (size_t i = 0, n = 2 + random() % 14; i < n; ++i) text += alphabet[random() % alphabet.size()];
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    SpanString span{text}, got = strip(span), want = reference_strip(span);
    ASSERT_EQ(std::make_pair(got.start(), got.stop()), std::make_pair(want.start(), want.stop())) << text;
  }
}

}  // namespace
}  // namespace mirtova
