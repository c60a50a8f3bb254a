// Predicates proven empty: the proof, the renaming of their rules and calls,
// and the refusal of a user predicate that is empty.
#include <gtest/gtest.h>

#include "compiler/functors/empty_removal.h"
#include "support/makes_support.h"

namespace mirtova {
namespace {

using makes_testing::rules_of;
using makes_testing::summaries;

Json rule_with_negation(const std::string& head, const std::string& negated) {
  Json r = makes_testing::calls_rule(head, {"T"});
  r.at_mut("body").at_mut("conjunction").at_mut("conjunct").push(makes_testing::negated(negated));
  return r;
}

struct EmptyCase {
  const char* name;
  std::vector<Json> rules;
  NameSet empty;
  std::vector<std::string> after;  // summaries of all rules after removal
  std::string error = {};
};

TEST(EmptyRemoval, ProofRenamingAndRefusal) {
  std::vector<Json> with_negation = rules_of("P_r0 <- nil");
  with_negation.push_back(rule_with_negation("S_a", "P_r0"));
  // clang-format off
  const std::vector<EmptyCase> cases = {
      {"nothing empty", rules_of("F <- X; X"), {"nil"}, {"F <- X", "X"}},
      {"a chain and a predicate with another live rule",
       rules_of("P_r0 <- nil; P_r1 <- P_r0 Q; S_a <- P_r1 T; S_a <- T; @Ground(P_r0)"),
       {"P_r0", "P_r1", "nil"},
       {"NullifiedP_r0 <- nil", "NullifiedP_r1 <- nil Q", "S_a <- nil T", "S_a <- T", "@Ground(P_r0)"}},
      {"emptiness spreads to the only rule of a caller",
       rules_of("P_r0 <- nil; S_a <- P_r0 T"), {"P_r0", "S_a", "nil"},
       {"NullifiedP_r0 <- nil", "NullifiedS_a <- nil T"}},
      {"a rule keeps its other rule alive", rules_of("A <- nil G; A <- G"), {"nil"}, {"A <- nil G", "A <- G"}},
      {"a negated empty predicate empties nothing but is still replaced",
       with_negation, {"P_r0", "nil"}, {"NullifiedP_r0 <- nil", "S_a <- T IsNull"}},
      {"a called name without rules is not empty", rules_of("A_b <- Edge; Edge_c <- Missing"), {"nil"},
       {"A_b <- Edge", "Edge_c <- Missing"}},
      {"emptiness found against the order of the rules",
       rules_of("C_c <- B_b; C_c <- B_b A_a; B_b <- A_a; A_a <- nil nil"), {"A_a", "B_b", "C_c", "nil"},
       {"NullifiedC_c <- nil", "NullifiedC_c <- nil nil", "NullifiedB_b <- nil", "NullifiedA_a <- nil nil"}},
      {"a user predicate", rules_of("A <- nil G; B <- A"), {"A", "B", "nil"}, {},
       "Predicate A was proven to be empty. Most likely initial base condition of recursion is missing, or flat "
       "recursion is not given enough steps."},
  };
  // clang-format on
  for (const EmptyCase& c : cases) {
    EXPECT_EQ(predicates_proven_empty(c.rules), c.empty) << c.name;
    Functors index(c.rules);
    auto done = remove_rules_proven_to_be_nil(index);
    if (!c.error.empty()) {
      ASSERT_FALSE(done.ok()) << c.name;
      EXPECT_EQ(done.error(), CompileError(c.error, "A")) << c.name;
      continue;
    }
    ASSERT_TRUE(done.ok()) << c.name;
    EXPECT_EQ(summaries(index.rules), c.after) << c.name;
    EXPECT_EQ(index.indexed_rule_count, index.rules.size()) << c.name;
  }
}

// Long chains listed against the order in which emptiness spreads, each
// empty from its first link or live from it.
TEST(EmptyRemoval, LongChainsAreProvenEmptyOrLive) {
  for (const bool seeded : {false, true}) {
    std::vector<Json> rules;
    NameSet empty{"nil"};
    for (int i = 3000; i > 0; --i) {
      rules.push_back(
          makes_testing::calls_rule("P_r" + std::to_string(i), {"P_r" + std::to_string(i - 1), "E"}));
      if (!seeded) empty.insert("P_r" + std::to_string(i));
    }
    rules.push_back(makes_testing::calls_rule("P_r0", {seeded ? "E" : "nil"}));
    if (!seeded) empty.insert("P_r0");
    EXPECT_EQ(predicates_proven_empty(rules), empty) << seeded;
  }
}

TEST(EmptyRemoval, NegatedCallIsReplacedInsideTheCombine) {
  std::vector<Json> rules = rules_of("P_r0 <- nil");
  rules.push_back(rule_with_negation("S_a", "P_r0"));
  Functors index(rules);
  ASSERT_TRUE(remove_rules_proven_to_be_nil(index).ok());
  const std::string text = index.rules[1].compact();
  EXPECT_EQ(text.find("\"P_r0\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"nil\""), std::string::npos) << text;
}

}  // namespace
}  // namespace mirtova
