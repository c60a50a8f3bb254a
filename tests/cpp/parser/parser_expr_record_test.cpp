#include <gtest/gtest.h>

#include "support/parser_expr_test_util.h"

namespace mirtova {
namespace {

using namespace expr_test;

std::string positional(int i, const std::string& expression) {
  return R"({"field":)" + std::to_string(i) + R"(,"value":{"expression":)" + expression + "}}";
}
std::string named(const std::string& name, const std::string& expression) {
  return R"({"field":")" + name + R"(","value":{"expression":)" + expression + "}}";
}
std::string record(const std::string& fields) { return R"({"field_value":[)" + fields + "]}"; }

std::string internals(const std::string& text, bool literal, bool head) {
  return show(parse_record_internals(text_of(text), literal, head));
}

TEST(ParseRecordInternalsTest, Fields) {
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"", record("")},
      {" \t\n ", record("")},
      {"x, y", record(positional(0, var("x")) + "," + positional(1, var("y")))},
      {"x, y, z: 1", record(positional(0, var("x")) + "," + positional(1, var("y")) + "," + named("z", num("1")))},
      {"a:", record(named("a", var("a")))},
      {"A: 1", record(named("A", num("1")))},
      {"`a b`: 1", record(named("`a b`", num("1")))},
      {"(x), (y: 1)", record(positional(0, var("x")) + "," + named("y", num("1")))},
      {"x, y: 2, ..r",
       record(positional(0, var("x")) + "," + named("y", num("2")) + R"(,{"field":"*","value":{"expression":)" +
              var("r") + R"(},"except":["col0","y"]})")},
      {"..r", record(R"({"field":"*","value":{"expression":)" + var("r") + "}}")},
      // A named value is never split at "?": it is an expression, not an aggregation.
      {"x: a ? b, y: 1", "error: Could not parse expression of a value. @ a ? b"},
      {"f(x", record("")},  // not whole: no fields at all
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(internals(c.in, false, false), c.out) << c.in;
}

TEST(ParseRecordInternalsTest, Aggregations) {
  const std::string agg_n_plus_x = R"({"field":"n","value":{"aggregation":{"argument":)" + var("x") +
                                   R"(,"expression_heritage":"+= x","operator":"+"}}})";
  struct Case {
    std::string in;
    bool head;
    std::string out;
    // clang-format off
  } cases[] = {
      {"n? += x", true, record(agg_n_plus_x)},
      {"n? Max= x", true,
       record(R"({"field":"n","value":{"aggregation":{"argument":)" + var("x") +
              R"(,"expression_heritage":"Max= x","operator":"Max"}}})")},
      {"n? += x, ..r",
       true, record(agg_n_plus_x + R"(,{"field":"*","value":{"expression":)" + var("r") + R"(},"except":["n"]})")},
      {"n? += x", false, "error: Aggregation of fields is only allowed in the head of a rule. @ n? += x"},
      {"? += x", true, "error: Aggregated fields have to be named. @ ? += x"},
      {"? += x", false, "error: Aggregation of fields is only allowed in the head of a rule. @ ? += x"},
      {"n? x", true, "error: An aggregated field needs an operator: `n? += x`. @ x"},
      {"a ++? b", false, "error: Aggregation of fields is only allowed in the head of a rule. @ a ++? b"},
      {"a ++? b", true, "error: An aggregated field needs an operator: `n? += x`. @ b"},
      {"s? += 1, x", true, "error: Positional argument can not go after non-positional arguments. @ x"},
      {"a? b? c", true, "error: String should have been split by ? in 1 or 2 pieces. @ a? b? c"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(internals(c.in, false, c.head), c.out) << c.in;
}

TEST(ParseRecordInternalsTest, Errors) {
  struct Case {
    std::string in;
    bool literal;
    std::string out;
    // clang-format off
  } cases[] = {
      {"a :- b", false, "error: Unexpected :- in record internals. @ a :- b"},
      {"z: 1, x", false, "error: Positional argument can not go after non-positional arguments. @ x"},
      {"A:", false, "error: Record fields may not start with capital letter. @ A"},
      {"`a`:", false, "error: Backticks in variable names are disallowed. @ `a`"},
      {"`a$b`: 1", false, "error: A field name may not hold '$'. @ `a$b`"},
      {"a$b: 1", false, "error: Could not parse expression of a value. @ a$b: 1"},
      {"a b: 1", false, "error: Could not parse expression of a value. @ a b: 1"},
      {"a: b: c", false, "error: String should have been split by : in 1 or 2 pieces. @ a: b: c"},
      {"..r, x", false, "error: Field ..<rest_of> must go last. @ x"},
      {"..r, ..s", false, "error: Field ..<rest_of> must go last. @ ..s"},
      {"..r", true, "error: Field ..<rest_of> in record literals is not currently supported. @ ..r"},
      {"x, ), y", false, "error: Parenthesis matches nothing. @ )"},
      {"1, x_1", false,
       "error: Variables starting with x_ are reserved to be Quoril compiler internal. Please use a different "
       "name. @ x_1"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(internals(c.in, c.literal, false), c.out) << c.in;
}

TEST(ParseRecordTest, Literals) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"{}", record("")},
      {" ({a: 1, b: 2}) ", record(named("a", num("1")) + "," + named("b", num("2")))},
      {"{1, 2}", record(positional(0, num("1")) + "," + positional(1, num("2")))},
      {"{a} + {b}", "none"},
      {"{a", "none"},
      {"a", "none"},
      {"{..r}", "error: Field ..<rest_of> in record literals is not currently supported. @ ..r"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(parse_record(text_of(c.in))), c.out) << c.in;
}

}  // namespace
}  // namespace mirtova
