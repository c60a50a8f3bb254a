#include <chrono>
#include <functional>

#include <gtest/gtest.h>

#include "parser/depth_guard.h"
#include "parser_prop_sketch.h"

namespace mirtova {
namespace {

using sketch::expression;
using sketch::proposition;

struct Case {
  std::string text, tree;
};

TEST(InfixTest, PrecedenceAndGrouping) {
  const Case cases[] = {
      {"a * b + c", "+(*(a, b), c)"},
      {"a + b * c", "+(a, *(b, c))"},
      {"a - b - c", "-(-(a, b), c)"},
      {"a / b / c", "/(/(a, b), c)"},
      {"a ^ b ^ c", "^(^(a, b), c)"},
      {"x % y ^ z", "%(x, ^(y, z))"},
      // "+" and "*" are looser than "-" and "/": each entry is a level of its own.
      {"a + b - c", "+(a, -(b, c))"},
      {"a - b + c", "+(-(a, b), c)"},
      {"a * b / c", "*(a, /(b, c))"},
      {"a / b * c", "*(/(a, b), c)"},
      {"(a + b) * c", "*(+(a, b), c)"},
      {"a || b && c", "||(a, &&(b, c))"},
      {"a && b || c", "||(&&(a, b), c)"},
      {"a == b + 1", "==(a, +(b, 1))"},
      {"a = b", "=(a, b)"},
      {"a <= b", "<=(a, b)"},
      {"a >= b", ">=(a, b)"},
      {"a < b", "<(a, b)"},
      {"a != b", "!=(a, b)"},
      {"a -> b", "->(a, b)"},
      {"a->b", "->(a, b)"},
      {"x in y", "in(x, y)"},
      {"x is not null", "is not(x, null)"},
      {"x is null", "is(x, null)"},
      {"a ++ b", "++(a, b)"},
      {"a ++? b", "++?(a, b)"},
      {"f(a + b)", "f(+(a, b))"},
      {"[1] + [2]", "+([1], [2])"},
      {"{a: 1} + {b: 2}", "+({a: 1}, {b: 2})"},
      {"\"a+b\" + 'c-d'", "+(\"a+b\", \"c-d\")"},
  };
  for (const Case& c : cases) EXPECT_EQ(expression(c.text), c.tree) << c.text;
}

TEST(InfixTest, UnaryMinusAndNot) {
  const Case cases[] = {
      {"-x", "-(x)"},
      {"!x", "!(x)"},
      {"-3", "-3"},
      {"- (a, b)", "-(a, b)"},
      {"a ! b", "!(a, b)"},
      {"a * -b", "*(a, -(b))"},
      {"a - -b", "-(a, -(b))"},
      {"a - - b", "-(a, -(b))"},
      {"2 - -3", "-(2, -3)"},
      {"-a - b", "-(-(a), b)"},
      {"a < -1", "<(a, -1)"},
      {"a ^ -b", "^(a, -(b))"},
      {"-(a + b)", "-(+(a, b))"},
      // Only "-" looks at what stands before it: this "+" splits and leaves "a *".
      {"a * +b", "error: Could not parse expression of a value."},
  };
  for (const Case& c : cases) EXPECT_EQ(expression(c.text), c.tree) << c.text;
}

// Consequences of the grammar that look like faults but are the language.
TEST(InfixTest, PinnedSurprises) {
  const Case cases[] = {
      // Operator bytes may be part of a predicate name, so these are calls.
      {"a-(b+c)", "a-(+(b, c))"},
      {"x-F(y)", "x-F(y)"},
      // The exponent's "-" splits the number: "x * 1e" and "5".
      {"x * 1e-5", "error: Could not parse expression of a value."},
      {"x * 1e5", "*(x, 1e5)"},
      // "in" needs a blank on both sides.
      {"within y", "error: Could not parse expression of a value."},
      // "~" is no operator inside a value; the negation form refuses it.
      {"a ~ b", "error: Negation \"~\" is a unary operator."},
  };
  for (const Case& c : cases) EXPECT_EQ(expression(c.text), c.tree) << c.text;
}

TEST(InfixTest, ExactTreeOfOneOperator) {
  EXPECT_EQ(sketch::json_of(parse_expression, "x + 1"),
            R"({"call":{"predicate_name":"+","record":{"field_value":[)"
            R"({"field":"left","value":{"expression":{"variable":{"var_name":"x"},"expression_heritage":"x"}}},)"
            R"({"field":"right","value":{"expression":{"literal":{"the_number":{"number":"1"}},"expression_heritage":"1"}}}]}},)"
            R"("expression_heritage":"x + 1"})");
  EXPECT_EQ(sketch::json_of(parse_expression, "-x"),
            R"({"call":{"predicate_name":"-","record":{"field_value":[)"
            R"({"field":0,"value":{"expression":{"variable":{"var_name":"x"},"expression_heritage":"x"}}}]}},)"
            R"("expression_heritage":"-x"})");
}

TEST(InfixTest, DirectCalls) {
  auto infix = [](const std::string& text, const std::set<std::string_view>* disallowed = nullptr) {
    auto r = parse_infix(SpanString(text), nullptr, disallowed);
    if (!r.ok()) return "error: " + r.error().message + " at " + r.error().span.to_string();
    return r.value() ? sketch::render(Json::object({{"call", *r.value()}})) : std::string("nothing");
  };
  const std::set<std::string_view> no_tilde = {"~"};
  EXPECT_EQ(infix("f(a + b)"), "nothing");
  EXPECT_EQ(infix("x"), "nothing");
  EXPECT_EQ(infix("a + b)"), "error: Parenthesis matches nothing. at )");
  EXPECT_EQ(infix("a + \"b\nc\""), "error: Parenthesis matches nothing. at \n");
  EXPECT_EQ(infix("p ~ q"), "~(p, q)");
  EXPECT_EQ(infix("p ~ q", &no_tilde), "nothing");
  // "~" with nothing before it ends the search, even with "+" after it.
  EXPECT_EQ(infix("~p + q"), "nothing");
  EXPECT_EQ(infix("a !~ b"), "!(a, IsNull(Min{1 :- Constraint(b)}))");
}

}  // namespace
}  // namespace mirtova
