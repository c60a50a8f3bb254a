#include "parser/traverse.h"

#include <gtest/gtest.h>

namespace mirtova {
namespace {

SpanString S(std::string text) { return SpanString(std::move(text)); }

std::vector<std::string> texts(const std::vector<SpanString>& spans) {
  std::vector<std::string> out;
  for (const auto& s : spans) out.push_back(s.to_string());
  return out;
}

TEST(StripTest, Table) {
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"( (a) )", "a"},  {"()", ""},           {"(a)(b)", "(a)(b)"}, {"(a) + (b)", "(a) + (b)"},
      {"(a))", "(a))"},  {"  \t\n ", ""},      {"[a]", "[a]"},       {" ( x ) ", "x"},
      {"\va\v", "\va\v"}, {"((a) # c\n)", "(a) # c"},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(strip(S(c.in)).to_string(), c.out) << c.in;
    EXPECT_EQ(strip(strip(S(c.in))).to_string(), c.out) << c.in;
  }
}

TEST(IsWholeTest, Table) {
  struct Case {
    std::string in;
    bool whole;
  } cases[] = {
      {"a, (b)", true}, {"a) + (b", false}, {"x)", false},       {"x)(y)", true},
      {"", true},       {"# only", true},   {"a /* open", true}, {"\"abc", false},
  };
  for (const auto& c : cases) EXPECT_EQ(is_whole(S(c.in)), c.whole) << c.in;
}

TEST(SplitTest, CutsOnlyAtTopLevel) {
  struct Case {
    std::string in, sep;
    std::vector<std::string> out;
    // clang-format off
  } cases[] = {
      {"a, f(b, c), [d, e], {f, g}, \"h, i\", `j, k`", ",",
       {"a", "f(b, c)", "[d, e]", "{f, g}", "\"h, i\"", "`j, k`"}},
      {"a # x, y\n, b", ",", {"a # x, y", "b"}},
      {"a /* , */ b, c", ",", {"a /* , */ b", "c"}},
      {"x else y elsewhere else_z", "else", {"x", "y elsewhere else_z"}},
      {"a || b | c", "|", {"a || b", "c"}},
      {"F(x) order_by a", "order_by", {"F(x)", "a"}},
      {"Reorder_byX(y)", "order_by", {"Re", "X(y)"}},
      {"a,,b,", ",", {"a", "", "b", ""}},
      {"abc", "", {"abc"}},
      {"'a,\\'b', c", ",", {"'a,\\'b'", "c"}},
      {"\"\"\"a, \"b\"\"\", c", ",", {"\"\"\"a, \"b\"\"\"", "c"}},
      {"a:-b:-c", ":-", {"a", "b", "c"}},
      {"a---b", "--", {"a", "-b"}},
      {"aaa", "aa", {"aaa"}},
  };
  // clang-format on
  for (const auto& c : cases) {
    auto r = split(S(c.in), c.sep);
    ASSERT_TRUE(r.ok()) << c.in;
    EXPECT_EQ(texts(r.value()), c.out) << c.in;
  }
}

TEST(SplitTest, RawPiecesKeepBlanks) {
  auto r = split_raw(S("(a) ; b ;"), ";");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(texts(r.value()), (std::vector<std::string>{"(a) ", " b ", ""}));
}

TEST(SplitTest, MismatchFailsAtTheCharacter) {
  auto r = split(S("a, b), c"), ",");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().message, "Parenthesis matches nothing.");
  EXPECT_EQ(r.error().span.to_string(), ")");
  EXPECT_EQ(r.error().span.start(), 4u);
  auto line = split(S("\"a\nb\", c"), ",");
  ASSERT_FALSE(line.ok());
  EXPECT_EQ(line.error().message, "Parenthesis matches nothing.");
}

TEST(SplitTest, TwoAndOneOrTwo) {
  auto two = split_in_two(S("a = b"), "=");
  ASSERT_TRUE(two.ok());
  EXPECT_EQ(two.value().second.to_string(), "b");
  auto three = split_in_two(S("a = b = c"), "=");
  ASSERT_FALSE(three.ok());
  EXPECT_EQ(three.error().message, "I expected string to be split by = in two.");
  auto many = split_in_one_or_two(S("a:b:c"), ":");
  ASSERT_FALSE(many.ok());
  EXPECT_EQ(many.error().message, "String should have been split by : in 1 or 2 pieces.");
  EXPECT_EQ(split_in_one_or_two(S("a"), ":").value().size(), 1u);
}

TEST(SplitTest, AtFirstKeepsLaterOccurrences) {
  auto r = split_at_first(S("a == b"), "=");
  ASSERT_TRUE(r.ok());
  ASSERT_TRUE(r.value().has_value());
  EXPECT_EQ(r.value()->first.to_string(), "a");
  EXPECT_EQ(r.value()->second.to_string(), "= b");
  auto none = split_at_first(S("f(a = b)"), "=");
  ASSERT_TRUE(none.ok());
  EXPECT_FALSE(none.value().has_value());
  auto rest = split_at_first(S("x : y : (z)"), ":");
  EXPECT_EQ(rest.value()->second.to_string(), "y : (z)");
}

TEST(SplitTest, OnWhitespace) {
  auto r = split_on_whitespace(S("a  b\n\"c d\"\tf(e g)"));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(texts(r.value()), (std::vector<std::string>{"a", "b", "\"c d\"", "f(e g)"}));
}

TEST(RemoveCommentsTest, Table) {
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"a # c\nb", "a \nb"},
      {"a /* c */b", "a b"},
      {"a /* never closed", "a "},
      {"\"# not\" `/* no */`", "\"# not\" `/* no */`"},
      {"f(x) # (", "f(x) "},
  };
  // clang-format on
  for (const auto& c : cases) {
    auto r = remove_comments(S(c.in));
    ASSERT_TRUE(r.ok()) << c.in;
    EXPECT_EQ(r.value(), c.out) << c.in;
  }
}

TEST(RemoveCommentsTest, Errors) {
  struct Case {
    std::string in, message, span;
    size_t start;
  } cases[] = {
      {"a)", "Parenthesis matches nothing.", ")", 1},
      {"(a]", "Parenthesis matches nothing.", "]", 2},
      {"x = \"a\nb\"", "End of line in string.", "", 6},
      // An unclosed opening would swallow the rest of the program.
      {"A(x);\nB(y", "Parenthesis matches nothing.", "(", 7},
      {"A(\"x);B(y);", "Parenthesis matches nothing.", "(", 1},
      {"A(`x);", "Parenthesis matches nothing.", "(", 1},
  };
  for (const auto& c : cases) {
    auto r = remove_comments(S(c.in));
    ASSERT_FALSE(r.ok()) << c.in;
    EXPECT_EQ(r.error().message, c.message) << c.in;
    EXPECT_EQ(r.error().span.to_string(), c.span) << c.in;
    EXPECT_EQ(r.error().span.start(), c.start) << c.in;
  }
}

TEST(TraverserTest, TripleQuoteDepths) {
  // Opening bytes are all inside; of the closing ones the first and third are
  // outside and the second inside.
  Traverser t(std::string_view("\"\"\"a\"\"\""));
  std::vector<size_t> depths;
  for (auto s = t.next(); s.status != TraverseStatus::End; s = t.next()) depths.push_back(s.depth);
  EXPECT_EQ(depths, (std::vector<size_t>{1, 1, 1, 1, 0, 1, 0}));
}

TEST(TraverserTest, LineCommentClosingLineFeedIsReturned) {
  Traverser t(std::string_view("a#b\nc"));
  std::vector<size_t> positions;
  for (auto s = t.next(); s.status != TraverseStatus::End; s = t.next()) positions.push_back(s.position);
  EXPECT_EQ(positions, (std::vector<size_t>{0, 3, 4}));
}

}  // namespace
}  // namespace mirtova

namespace mirtova {
namespace {

TEST(StripTest, DeepParenthesesStripInOnePass) {
  const size_t depth = 200000;
  std::string text = std::string(depth, '(') + "a" + std::string(depth, ')');
  EXPECT_EQ(strip(SpanString(text)).to_string(), "a");
  std::string unbalanced = std::string(depth, '(') + "a)(b" + std::string(depth, ')');
  EXPECT_EQ(strip(SpanString(unbalanced)).to_string(), "(a)(b)");
}

TEST(StripTest, MismatchedTextsTakeTheDirectTest) {
  EXPECT_EQ(strip(SpanString(std::string("(a)b)"))).to_string(), "a)b");
  EXPECT_EQ(strip(SpanString(std::string("((a)b))"))).to_string(), "((a)b))");
}

}  // namespace
}  // namespace mirtova
