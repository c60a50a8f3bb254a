// The stratification check: which negative cycle is named, and in what order.
#include "verifier/stratification.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/verifier_programs.h"

namespace mirtova::verifier {
namespace {

// The error's text, or "" for none.
std::string stratification_of(const std::string& source) {
  Json program = parsed_program(source);
  std::optional<StratificationError> error = check_stratification(rule_lists(program).plain);
  return error ? error->text() : "";
}

TEST(Stratification, NegativeCycles) {
  const std::string cycle = "Negative recursion cycle detected: ";
  struct Row {
    const char* what;
    const char* source;
    std::string error;
  };
  const Row rows[] = {
      {"negation of itself", "Q(a: 1); P(a: x) :- Q(a: x), ~P(a: x);", cycle + "P"},
      {"two members, the one visited last first", "A(x) :- T(x), B(x); B(x) :- T(x), C(x), ~A(x);",
       cycle + "B -> A"},
      {"three members", "A(x) :- T(x), B(x); B(x) :- T(x), C(x); C(x) :- T(x), ~A(x);",
       cycle + "C -> B -> A"},
      {"the same cycle entered elsewhere", "C(x) :- T(x), ~A(x); A(x) :- T(x), B(x); B(x) :- T(x), C(x);",
       cycle + "B -> A -> C"},
      {"the whole component, not one cycle of it",
       "A(x) :- T(x), B(x), ~C(x); B(x) :- T(x), A(x); C(x) :- T(x), A(x);", cycle + "C -> B -> A"},
      {"of two cycles, the first completed", "P(x) :- T(x), ~P(x); Q(x) :- T(x), ~Q(x);", cycle + "P"},
      {"of two cycles, the first completed, again", "Q(x) :- T(x), ~Q(x); P(x) :- T(x), ~P(x);", cycle + "Q"},
      {"a callee's cycle completes first", "P(x) :- T(x), ~P(x), Q(x); Q(x) :- T(x), ~Q(x);", cycle + "Q"},
      {"through a disjunction in a negation", "A(x) :- T(x), ~((B(x), U(x)) | (A(x), U(x)));", cycle + "A"},
      {"positive recursion", "A(x) :- T(x), B(x); B(x) :- T(x), A(x); A(x) :- ~T(x), U(x);", ""},
      {"negation outside the cycle", "P(x) :- T(x), P(x), ~R(x); R(x) :- T(x);", ""},
      {"through a combine in a value", "A(x) :- T(x), x == Sum{y :- B(y)}; B(x) :- T(x), ~A(x);", ""},
      {"a negation inside a negation", "A(x) :- T(x), ~(U(x), ~A(x));", ""},
      {"facts only", "P(1); Q(2);", ""},
      {"nothing", "", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(stratification_of(row.source), row.error) << row.what;
}

TEST(Stratification, AnnotationsAreNotRules) {
  // A statement headed by "@" is no rule of the graph, whatever it calls.
  EXPECT_EQ(stratification_of("@Ground(P); P(x) :- T(x);"), "");
  Json program = parsed_program("P(x) :- T(x), ~P(x);");
  EXPECT_FALSE(check_stratification({}).has_value());
  EXPECT_TRUE(check_stratification(rule_lists(program).plain).has_value());
}

}  // namespace
}  // namespace mirtova::verifier
