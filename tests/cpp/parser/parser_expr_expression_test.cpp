#include <gtest/gtest.h>

#include "support/parser_expr_test_util.h"

namespace mirtova {
namespace {

using namespace expr_test;

TEST(ParseExpressionTest, Table) {
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"x", var("x")},
      {"5", num("5")},
      {"-3", num("-3")},
      {"\"a\"", R"({"literal":{"the_string":{"the_string":"a"}},"expression_heritage":"\"a\""})"},
      {"{}", R"({"record":{"field_value":[]},"expression_heritage":"{}"})"},
      {"F(x)",
       R"({"call":{"predicate_name":"F","record":{"field_value":[{"field":0,"value":{"expression":)" + var("x") +
           R"j(}}]}},"expression_heritage":"F(x)"})j"},
      {"r.a",
       R"({"expression_heritage":"r.a","subscript":{"record":)" + var("r") +
           R"(,"subscript":{"literal":{"the_symbol":{"symbol":"a"}}}}})"},
      {"a[0]",
       R"({"call":{"predicate_name":"Element","record":{"field_value":[{"field":0,"value":{"expression":)" +
           var("a") + R"(}},{"field":1,"value":{"expression":)" + num("0") +
           R"(}}]}},"expression_heritage":"a[0]"})"},
      {"x_1", "error: Variables starting with x_ are reserved to be Quoril compiler internal. Please use a "
              "different name. @ x_1"},
      {"", "error: Could not parse expression of a value. @ "},
      {"a b", "error: Could not parse expression of a value. @ a b"},
      {"'it's'", "error: Could not parse expression of a value. @ 'it's'"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(show(parse_expression(text_of(c.in))), c.out) << c.in;
}

TEST(ParseExpressionTest, HeritageIsTheInputText) {
  // The text passed in, not the sub-span that a form parsed after stripping.
  auto r = parse_expression(text_of("{ a: 1 }"));
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value().at("expression_heritage").as_str(), "{ a: 1 }");
}

TEST(ParseExpressionTest, DeepNestingIsAParseError) {
  // Every level rescans the rest of the text until the bound stops the
  // descent, so only the list case runs at full size.
  struct Case {
    std::string open, close;
    int depth;
  } cases[] = {{"[", "]", 100000}, {"{a: ", "}", 2000}, {"F(", ")", 2000}, {"a[", "]", 2000}};
  for (const auto& c : cases) {
    std::string text;
    const int depth = c.depth;
    for (int i = 0; i < depth; ++i) text += c.open;
    text += "1";
    for (int i = 0; i < depth; ++i) text += c.close;
    auto r = parse_expression(text_of(text));
    ASSERT_FALSE(r.ok()) << c.open;
    EXPECT_EQ(r.error().message, "Program is nested too deeply.") << c.open;
  }
  // Nesting below the bound still parses, and the bound resets afterwards.
  EXPECT_TRUE(parse_expression(text_of("[[[[[[[[[[1]]]]]]]]]]")).ok());
}

}  // namespace
}  // namespace mirtova
