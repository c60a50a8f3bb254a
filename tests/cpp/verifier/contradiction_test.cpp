// The contradiction check: which rules' comparisons can never all hold, and
// the warning each such rule gets.
#include "verifier/contradiction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/verifier_programs.h"

namespace mirtova::verifier {
namespace {

std::vector<std::string> contradictions(const std::string& source) {
  Json program = parsed_program(source);
  return check_contradictions(rule_lists(program).plain);
}

std::string warning(const std::string& descriptions, const std::string& rule) {
  return "Contradictory conditions: " + descriptions +
         " can never all hold, so the rule gives no row: " + rule;
}

struct Row {
  const char* what;
  std::string rule;                       // Q is defined beside it
  std::vector<std::string> descriptions;  // of the one warning; none when empty
};

TEST(Contradictions, OneRule) {
  const Row rows[] = {
      {"apart by value", "P(x) :- Q(x), x > 5, x < 3", {"x > 5, x < 3"}},
      {"overlapping", "P(x) :- Q(x), x > 3, x < 5", {}},
      {"strict both ways", "P(x, y) :- Q(x), Q(y), x < y, y < x", {"x < y, y < x"}},
      {"at most both ways", "P(x, y) :- Q(x), Q(y), x <= y, y <= x", {}},
      {"at most and less", "P(x, y) :- Q(x), Q(y), x <= y, y < x", {"x <= y, y < x"}},
      {"two numbers", "P(x) :- Q(x), x == 1, x == 2", {"x == 1, x == 2"}},
      {"one number written twice", "P(x) :- Q(x), x == 1, x == 1.0", {}},
      {"two texts", "P(x) :- Q(x), x == \"a\", x == \"b\"", {"x == \"a\", x == \"b\""}},
      {"a prefix comes first", "P(x) :- Q(x), x > \"ab\", x < \"a\"", {"x > \"ab\", x < \"a\""}},
      {"numbers and texts are not ordered", "P(x) :- Q(x), x == 1, x == \"a\"", {}},
      {"differs from itself", "P(x) :- Q(x), x != x", {"x != x"}},
      {"equal and different", "P(x, y) :- Q(x), Q(y), x == y, x != y", {"x == y, x != y"}},
      {"different alone", "P(x, y) :- Q(x), Q(y), x != y", {}},
      {"equal through a chain",
       "P(x, y) :- Q(x), Q(y), x <= y, y <= 3, 3 <= x, x != 3",
       {"x <= y, y <= 3, 3 <= x, x != 3"}},
      {"ordered through other constants",
       "P(x) :- Q(x), x > 1, x < 100, x > 200",
       {"x > 1, x < 100, x > 200"}},
      {"negative numbers", "P(x) :- Q(x), x > -1, x < -2", {"x > -1, x < -2"}},
      {"integers a double would make one", "P(x) :- Q(x), x == 9007199254740993, x != 9007199254740992", {}},
      {"integers past 2^53 in order",
       "P(x) :- Q(x), x == 9007199254740993, x < 9007199254740992",
       {"x == 9007199254740993, x < 9007199254740992"}},
      {"an integer and a double it rounds to",
       "P(x) :- Q(x), x == 9223372036854775807, x >= 9223372036854775807.0",
       {}},
      {"a double column between two integers",
       "P(x) :- Q(x), x <= 9007199254740992, x >= 9007199254740993",
       {}},
      {"a constant below itself", "P(x) :- Q(x), 5 < 5", {"5 < 5"}},
      {"zero written two ways", "P(x) :- Q(x), x == -0.0, x != 0", {"x == -0.0, x != 0"}},
      {"ordered through zero written two ways",
       "P(x, y, z) :- Q(x), Q(y), Q(z), x > 1, x < -1, y == -0.0, z == 0",
       {"x > 1, x < -1, y == -0.0, z == 0"}},
      {"sides that are no terms are left out", "P(x) :- Q(x), x + 1 < 3, x > 5, x < Abs(3)", {}},
      {"and out of the warning", "P(x) :- Q(x), x + 1 < 3, x > 5, x < 3", {"x > 5, x < 3"}},
      {"unifications", "P(x) :- Q(x), x == 5, x = 6", {"x == 5, x == 6"}},
      {"inside a negation", "P(x) :- Q(x), ~(Q(x), x > 5, x < 3)", {}},
      {"inside an aggregation", "P(x) :- Q(x), x == Sum{y :- Q(y), y > 5, y < 3}", {}},
      {"no comparisons", "P(x) :- Q(x)", {}},
  };
  for (const Row& row : rows) {
    std::vector<std::string> expected;
    if (!row.descriptions.empty()) expected.push_back(warning(row.descriptions.front(), row.rule));
    EXPECT_EQ(contradictions("Q(1);\n  " + std::string(row.rule) + "  ;"), expected) << row.what;
  }
}

TEST(Contradictions, RulesAndAlternatives) {
  const std::string q = "Q(1); ";
  EXPECT_EQ(contradictions(q + "P(x) :- Q(x), (x > 5, x < 3 | x > 1);"), std::vector<std::string>{});
  EXPECT_EQ(contradictions(q + "P(x) :- Q(x), (x > 5, x < 3 | x < 0, x > 1);"),
            std::vector<std::string>{
                warning("x > 5, x < 3, x < 0, x > 1", "P(x) :- Q(x), (x > 5, x < 3 | x < 0, x > 1)")});
  EXPECT_EQ(contradictions(q + "P(x) :- Q(x), (x > 5, x < 3 | x > 5, x < 2);"),
            std::vector<std::string>{
                warning("x > 5, x < 3, x < 2", "P(x) :- Q(x), (x > 5, x < 3 | x > 5, x < 2)")});
  EXPECT_EQ(contradictions(q + "P(x) :- Q(x), x > 2, x < 1; R(x) :- Q(x); S(x) :- Q(x), x < 0, x > 0;"),
            (std::vector<std::string>{warning("x > 2, x < 1", "P(x) :- Q(x), x > 2, x < 1"),
                                      warning("x < 0, x > 0", "S(x) :- Q(x), x < 0, x > 0")}));
  // Two rules written alike are two rules.
  EXPECT_EQ(contradictions(q + "P(x) :- Q(x), x > 2, x < 1; P(x) :- Q(x), x > 2, x < 1;").size(), 2u);
}

TEST(Contradictions, LastRuleOfAMultiBodyAggregation) {
  // The parser adds a rule with the last rule's text; the last rule is still checked.
  EXPECT_EQ(contradictions("Q(1); P(a? += x) distinct :- Q(x), x > 1;"
                           "P(a? += x) distinct :- Q(x), x > 5, x < 3;"),
            std::vector<std::string>{warning("x > 5, x < 3", "P(a? += x) distinct :- Q(x), x > 5, x < 3")});
}

}  // namespace
}  // namespace mirtova::verifier
