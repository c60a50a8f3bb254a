#include <gtest/gtest.h>

#include "support/parser_expr_test_util.h"

namespace mirtova {
namespace {

using namespace expr_test;

std::string positional(int i, const std::string& expression) {
  return R"({"field":)" + std::to_string(i) + R"(,"value":{"expression":)" + expression + "}}";
}

std::string call(const std::string& name, const std::string& fields) {
  return R"({"predicate_name":")" + name + R"(","record":{"field_value":[)" + fields + "]}}";
}

TEST(ParseCallTest, Table) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Parent(a, b)", call("Parent", positional(0, var("a")) + "," + positional(1, var("b")))},
      {"F()", call("F", "")},
      {"  (F(x)) ", call("F", positional(0, var("x")))},
      {"F (x)", "none"},
      {"`my name`(x)", call("`my name`", positional(0, var("x")))},
      {"`=`(x)", call("=", positional(0, var("x")))},
      {"`~`()", call("~", "")},
      {"!(x)", call("!", positional(0, var("x")))},
      {"++?(x)", call("++?", positional(0, var("x")))},
      {"+(a, b)", call("+", positional(0, var("a")) + "," + positional(1, var("b")))},
      {"@Make(x)", call("@Make", positional(0, var("x")))},
      {"a.b(x)", call("a.b", positional(0, var("x")))},
      {"->(a)", call("->", positional(0, var("a")))},
      {"->x(a)", "none"},
      {"<(x)", "none"},
      {"F-G'(x)", "none"},
      {"é(x)", "none"},
      {"x-F(y)", call("x-F", positional(0, var("y")))},  // a call of "x-F", not a subtraction
      {"F(x) + G(y)", "none"},
      {"F(x) + 1", "none"},
      {"a[1](x)", "none"},
      {"\"s\"(x)", "none"},
      {"F(x", "none"},
      {"F(x]", "none"},
      {"F)(x)", "error: Parenthesis matches nothing. @ )"},
      {"F(n? += 1)", "error: Aggregation of fields is only allowed in the head of a rule. @ n? += 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(parse_call(text_of(c.in), false)), c.out) << c.in;
}

TEST(ParseGenericCallTest, BracketKinds) {
  struct Case {
    std::string in;
    char open, close;
    std::string name, inside;  // name "-" means no call
  } cases[] = {
      {"a[1, 2]", '[', ']', "a", "1, 2"},
      {"F(x)", '[', ']', "-", ""},
      {"Agg{x :- y}", '{', '}', "Agg", "x :- y"},
      {"`a[b`[0]", '[', ']', "`a[b`", "0"},
      {"a[]", '[', ']', "a", ""},
      {"a-(b+c)", '(', ')', "a-", "b+c"},  // a call of "a-", not a subtraction
  };
  for (const auto& c : cases) {
    auto r = parse_generic_call(text_of(c.in), c.open, c.close);
    ASSERT_TRUE(r.ok()) << c.in;
    if (c.name == "-") {
      EXPECT_FALSE(r.value().has_value()) << c.in;
      continue;
    }
    ASSERT_TRUE(r.value().has_value()) << c.in;
    EXPECT_EQ(r.value()->name, c.name) << c.in;
    EXPECT_EQ(r.value()->inside.to_string(), c.inside) << c.in;
  }
}

std::string head(const std::string& text, bool distinct) {
  auto r = parse_head_call(text_of(text), distinct);
  if (!r.ok()) return error_text(r.error());
  return r.value().call.compact() + (r.value().is_aggregating ? " aggregating" : "");
}

TEST(ParseHeadCallTest, Table) {
  const std::string value_field = R"({"field":"quoril_value","value":{"expression":)";
  struct Case {
    std::string in;
    bool distinct;
    std::string out;
    // clang-format off
  } cases[] = {
      {"Pi() = 3.14", false, call("Pi", value_field + num("3.14") + "}}")},
      {"F(x) = y", false, call("F", positional(0, var("x")) + "," + value_field + var("y") + "}}")},
      {"Count(g) += 1", false,
       call("Count", positional(0, var("g")) +
                         R"(,{"field":"quoril_value","value":{"aggregation":{"argument":)" + num("1") +
                         R"(,"expression_heritage":" += 1","operator":"+"}}})") +
           " aggregating"},
      {"Max(g) Max= x", false,
       call("Max", positional(0, var("g")) + R"(,{"field":"quoril_value","value":{"aggregation":{"argument":)" +
                       var("x") + R"(,"expression_heritage":" Max= x","operator":"Max"}}})") +
           " aggregating"},
      {"F(x)", false, call("F", positional(0, var("x")))},
      {"F(x) 5", false, "error: Unexpected text in the head of a rule. @ 5"},
      {"x", false, "error: Found no call in rule head. @ x"},
      {"F(x ", false, "error: Could not parse predicate call. @ F"},
      {"F(x]", false, "error: Parenthesis matches nothing. @ ]"},
      {"a[1](x)", false, "error: Could not parse predicate call. @ a[1](x)"},
      {"F(n? += 1)", false,
       "error: Aggregation appears in a non-distinct predicate. Did you forget distinct? @ F(n? += 1)"},
      {"F(n? += 1)", true,
       call("F", R"({"field":"n","value":{"aggregation":{"argument":)" + num("1") +
                     R"(,"expression_heritage":"+= 1","operator":"+"}}})")},
      {"F(n? += 1) = 2", false,
       "error: Aggregation appears in a non-distinct predicate. Did you forget distinct? @ F(n? += 1)"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(head(c.in, c.distinct), c.out) << c.in;
}

TEST(ParseHeadCallTest, FirstEqualsSignDecidesTheForm) {
  // Nothing stands before the first "=", so the value text is "= 1", which is no expression.
  auto r = parse_head_call(text_of("F(x) == 1"), false);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().message, "Could not parse expression of a value.");
}

}  // namespace
}  // namespace mirtova
