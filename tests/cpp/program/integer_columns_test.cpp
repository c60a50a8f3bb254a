#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/program/integer_columns.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

struct Case {
  std::string program;
  IntegerColumns want;
};

// clang-format off
const std::vector<Case> kCases = {
    // Literals, arithmetic of them and columns read, through a chain of rules.
    {"N(1); N(-9223372036854775808); R(x + 2, x * x) :- N(x); S(y) :- R(_, y);",
     {{"N", "col0"}, {"R", "col0"}, {"R", "col1"}, {"S", "col0"}}},
    // A quotient, a fraction or a host's column is no integer, nor what is read from it.
    {"N(1); R(x / 2) :- N(x); S(1.5); T(x) :- Host(x); U(y) :- R(y);", {{"N", "col0"}}},
    // One rule of something else drops the column.
    {"N(1); N(x) :- Host(x); R(x) :- N(x);", {}},
    // An equality gives its variable an integer, in either order.
    {"N(3); R(y) :- N(x), z == y, y == x - 1; S(z) :- N(x), z == x, z > 0;",
     {{"N", "col0"}, {"R", "col0"}, {"S", "col0"}}},
    // Recursion keeps what the base and the steps write.
    {"E(1, 2); P(x, y) :- E(x, y); P(x, z) :- P(x, y), E(y, z); Q(x / 1) :- Q(x); Q(1);",
     {{"E", "col0"}, {"E", "col1"}, {"P", "col0"}, {"P", "col1"}}},
    // Counts, and the Max, Min, Sum and AnyValue of integers; Avg is none.
    {"N(1); C(n? Count= x) distinct :- N(x); M(m? Max= x + 1) distinct :- N(x); "
     "A(a? Avg= x) distinct :- N(x);",
     {{"N", "col0"}, {"C", "n"}, {"M", "m"}}},
};
// clang-format on

TEST(IntegerColumns, EveryRuleWritesAnInteger) {
  for (const Case& c : kCases) {
    auto program = parse_file(c.program);
    ASSERT_TRUE(program.ok()) << c.program << "\n" << program.error().show_message();
    EXPECT_EQ(integer_columns(program.value().at("rule").as_array()), c.want) << c.program;
  }
}

}  // namespace
}  // namespace mirtova
