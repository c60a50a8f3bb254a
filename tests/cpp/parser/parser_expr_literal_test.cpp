#include <gtest/gtest.h>

#include "support/parser_expr_test_util.h"

namespace mirtova {
namespace {

using namespace expr_test;

std::string number(const std::string& n) { return R"({"the_number":{"number":")" + n + R"("}})"; }
std::string str(const std::string& s) { return R"({"the_string":{"the_string":")" + s + R"("}})"; }
std::string predicate(const std::string& s) {
  return R"({"the_predicate":{"predicate_name":")" + s + R"("}})";
}

TEST(ParseLiteralTest, NumbersStayText) {
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"5", number("5")},         {"5u", number("5")},        {"5uu", "none"},
      {"u", "none"},              {"\u221E", number("-1")},   {"\u221Eu", number("-1")},
      {"-\u221E", "none"},        {"-3", number("-3")},       {"+2.5", number("+2.5")},
      {"1e10", number("1e10")},   {".5", number(".5")},       {"1.", number("1.")},
      {"007", number("007")},     {"1E-3", number("1E-3")},   {"1.e5", number("1.e5")},
      {".", "none"},              {"1e", "none"},             {"1e+", "none"},
      {"0x10", "none"},           {"1_000", "none"},          {"1.2.3", "none"},
      {"1 ", "none"},             {"nan", number("nan")},     {"NaN", number("NaN")},
      {"inf", number("inf")},     {"-Infinity", number("-Infinity")},
      {"infin", "none"},          {"+", "none"},              {"", "none"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(show(parse_literal(text_of(c.in))), c.out) << c.in;
}

TEST(ParseLiteralTest, Strings) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {R"("")", str("")},
      {R"('')", str("")},
      {R"("""""")", str("")},
      {R"("a\nb")", str(R"(a\\nb)")},  // backslashes mean nothing between double quotes
      {R"("a"b")", "none"},
      {R"('it\'s')", str("it's")},
      {R"('it's')", "none"},
      {R"('a\')", str(R"(a\\)")},
      {R"('\n\t\r\\\"')", str(R"(\n\t\r\\\")")},
      {R"('\u00e9')", str("\u00e9")},
      {R"('\u00E9x')", str("\u00e9x")},
      {R"('\ud800')", str("")},
      {R"('\U0001F600')", str("\U0001F600")},
      {R"('\U00110000')", str("")},
      {R"('\xc3\xa9')", str("\u00e9")},
      {R"('\xff')", str("\uFFFD")},
      {R"('\xe2\x82')", str("\uFFFD")},  // one truncated sequence, one replacement
      {R"('\xc3A')", str("\uFFFDA")},
      {R"('\xZZ')", str("ZZ")},
      {R"('\x4')", str("4")},
      {R"('\u12')", str("12")},
      {R"('\q')", str("q")},
      {"'\\\u00e9'", str("\u00e9")},  // an escaped non-ASCII character stands for itself
      {"'\\x00'", R"({"the_string":{"the_string":"\u0000"}})"},
      {R"("""a "b" \c""")", str(R"(a \"b\" \\c)")},
      {"\"\"\"line\nbreak\"\"\"", str(R"(line\nbreak)")},
      {R"("""a""""b""")", "none"},
      {R"("""")", "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(parse_literal(text_of(c.in))), c.out) << c.in;
}

TEST(ParseLiteralTest, WordsAndLists) {
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"true", R"({"the_bool":{"the_bool":"true"}})"},
      {"false", R"({"the_bool":{"the_bool":"false"}})"},
      {"null", R"({"the_null":{"the_null":"null"}})"},
      {"True", predicate("True")},
      {"TRUE", predicate("TRUE")},
      {"Foo_1", predicate("Foo_1")},
      {"Menu", predicate("Menu")},  // the trailing "u" is dropped for numbers only
      {"A", predicate("A")},
      {"nil", predicate("nil")},
      {"++?", predicate("++?")},
      {"Foo.Bar", "none"},
      {"foo", "none"},
      {"_Foo", "none"},
      {"[]", R"({"the_list":{"element":[]}})"},
      {"[ ]", R"({"the_list":{"element":[]}})"},
      {"[1, [2, 3]]",
       R"({"the_list":{"element":[)" + num("1") +
           R"(,{"literal":{"the_list":{"element":[)" + num("2") + "," + num("3") +
           R"(]}},"expression_heritage":"[2, 3]"}]}})"},
      {"[(1, 2)]", R"({"the_list":{"element":[)" + num("1") + "," + num("2") + "]}}"},
      {"[x]", R"({"the_list":{"element":[)" + var("x") + "]}}"},
      {"[1,]", "error: Could not parse expression of a value. @ "},
      {"[1] + [2]", "none"},
      {"[1, )]", "none"},
      {"[1, ), 2]", "error: Parenthesis matches nothing. @ )"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(show(parse_literal(text_of(c.in))), c.out) << c.in;
}

}  // namespace
}  // namespace mirtova
