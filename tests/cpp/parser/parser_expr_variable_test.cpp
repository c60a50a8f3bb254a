#include <gtest/gtest.h>

#include "support/parser_expr_test_util.h"

namespace mirtova {
namespace {

using namespace expr_test;

const std::string kReserved =
    "error: Variables starting with x_ are reserved to be Quoril compiler internal. Please use a different "
    "name.";

TEST(ParseVariableTest, Table) {
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"x", R"({"var_name":"x"})"},       {"_", R"({"var_name":"_"})"},     {"_tmp", R"({"var_name":"_tmp"})"},
      {"k2", R"({"var_name":"k2"})"},     {"xy_", R"({"var_name":"xy_"})"},
      {"X", "none"},                      {"2n", "none"},                   {"n-1", "none"},
      {"\u00e9", "none"},                 {"", "none"},                     {" x", "none"},
      {"x_Y", "none"},                    {"x_1", kReserved + " @ x_1"},    {"x_", kReserved + " @ x_"},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(show(parse_variable(text_of(c.in))), c.out) << c.in;
}

std::string subscript(const std::string& record, const std::string& symbol) {
  return R"({"record":)" + record + R"(,"subscript":{"literal":{"the_symbol":{"symbol":")" + symbol +
         R"("}}}})";
}

TEST(ParseSubscriptTest, Table) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"r.name", subscript(var("r"), "name")},
      {"r.field_2", subscript(var("r"), "field_2")},
      {"r.", subscript(var("r"), "")},
      {"a.b.c",
       subscript(R"({"expression_heritage":"a.b","subscript":)" + subscript(var("a"), "b") + "}", "c")},
      {"r.Name", "error: Subscript must be lowercase. @ r.Name"},
      {"a b.name", "error: Could not parse expression of a value. @ a b"},
      {"x_r.Name", kReserved + " @ x_r"},  // the record is read before the field is tested
      {"f(a.b)", "none"},
      {"\"a.b\"", "none"},
      {"x", "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(parse_subscript(text_of(c.in))), c.out) << c.in;
}

std::string element(const std::string& base, const std::string& index) {
  return R"({"predicate_name":"Element","record":{"field_value":[{"field":0,"value":{"expression":)" + base +
         R"(}},{"field":1,"value":{"expression":)" + index + "}}]}}";
}

TEST(ParseArraySubTest, Table) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"a[0]", element(var("a"), num("0"))},
      {"a[i, j]", element(R"({"call":)" + element(var("a"), var("i")) + "}", var("j"))},
      {"a[i: 1]", "error: Array subscription must only have positional arguments. @ a[i: 1]"},
      {"a[..r]", "error: Array subscription must only have positional arguments. @ a[..r]"},
      {"a[]", "error: Array subscription needs an index. @ a[]"},
      {"a[ ]", "error: Array subscription needs an index. @ a[ ]"},
      {"x_a[0]", kReserved + " @ x_a"},
      {"x_a[x_b]", kReserved + " @ x_b"},  // the index is read before the array part
      {"a[0] + 1", "none"},
      {"f(x)[0]", "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(parse_array_sub(text_of(c.in))), c.out) << c.in;
}

TEST(ParseArraySubTest, ArrayPartErrorShowsOnlyThatText) {
  auto r = parse_array_sub(text_of("x_a[0]"));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().span.source(), "x_a");
}

}  // namespace
}  // namespace mirtova
