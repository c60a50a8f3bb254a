// The shortcuts that keep functor application and recursion unfolding fast
// must answer as the plain walks do: argument sets computed when read against
// sets rebuilt after every make, and rewrites of the candidate rules only
// against rewrites that visit every rule.
#include <gtest/gtest.h>

#include "compiler/functors/functor_call.h"
#include "compiler/functors/horizontal.h"
#include "compiler/functors/rewrite_candidates.h"
#include "compiler/functors/vertical.h"
#include "support/makes_support.h"

namespace mirtova {
namespace {

using makes_testing::rules_of;
using makes_testing::summaries;

using makes_testing::Call;

struct SetsCase {
  const char* name;
  std::string program;
  std::vector<Call> calls;
  // Read from the deferred index after the last call, before comparing all sets.
  std::map<std::string, NameSet> expected;
};

enum class Watch { All, Made, First };

// Carries out the calls on an index whose sets stay eager and on one that
// defers them, reading either every set after every call or none until the
// end, and told that any name, the names made, or only the first one will be
// made; everything the calls write and every set must agree.
void expect_same_as_eager(const SetsCase& c, bool read_after_each_call, Watch watch) {
  Functors eager(rules_of(c.program));
  Functors deferred(rules_of(c.program));
  NameSet made;
  for (const Call& call : c.calls) {
    if (watch == Watch::Made || made.empty()) made.insert(call.made);
  }
  if (watch == Watch::All) {
    deferred.defer_argument_sets();
  } else {
    deferred.defer_argument_sets(made);
  }
  for (const Call& call : c.calls) {
    ASSERT_TRUE(call_functor(eager, call.made, call.functor, call.arguments).ok()) << c.name;
    ASSERT_TRUE(call_functor(deferred, call.made, call.functor, call.arguments).ok()) << c.name;
    if (!read_after_each_call) continue;
    for (const auto& [name, unused] : eager.direct_args)
      EXPECT_EQ(deferred.argument_set(name), eager.args_of(name))
          << c.name << " after " << call.made << ": " << name;
  }
  for (const auto& [name, set] : c.expected) EXPECT_EQ(deferred.args_of(name), set) << c.name << ": " << name;
  EXPECT_EQ(summaries(deferred.rules), summaries(eager.rules)) << c.name;
  EXPECT_EQ(deferred.call_memo, eager.call_memo) << c.name;
  deferred.settle_argument_sets();
  EXPECT_EQ(deferred.args, eager.args) << c.name;
  EXPECT_EQ(deferred.direct_args, eager.direct_args) << c.name;
}

TEST(FunctorsSpeedSets, DeferredSetsAreTheEagerOnes) {
  // clang-format off
  const std::vector<SetsCase> cases = {
      {"a caller of the made predicate takes in the copy's closure",
       "Top <- A; F <- G; G <- X", {{"A", "F", {{"X", "B"}}}, {"C", "Top", {}}},
       {{"Top", {"A", "B", "G_f1"}}, {"C", {"A", "B", "G_f1"}}}},
      {"a made predicate that had rules of its own",
       "A <- K; Top <- A; F <- X", {{"A", "F", {{"X", "B"}}}},
       {{"A", {"B", "K"}}, {"Top", {"A", "B", "K"}}}},
      {"a chain of makes, each reading the one before, joined above",
       "H <- Rr E; Top <- R",
       {{"R0", "H", {{"Rr", "nil"}}}, {"R1", "H", {{"Rr", "R0"}}}, {"R2", "H", {{"Rr", "R1"}}}, {"R", "R2", {}}},
       {{"Top", {"E", "R", "R0", "R1", "nil"}}, {"R2", {"E", "R0", "R1", "nil"}}}},
      {"copies of a cycle",
       "P <- Q X; Q <- P; F <- P", {{"A", "F", {{"X", "B"}}}, {"A2", "F", {{"X", "C"}}}},
       {{"A", {"B", "P_f1", "Q_f1"}}, {"P_f2", {"C", "P_f2", "Q_f2"}}}},
      // Copies of @Ground rules join a predicate indexed before: its direct
      // set is not taken again, so neither set grows.
      {"an annotation indexed before keeps its first sets",
       "F <- G; G <- X; @Ground(G); Top <- F", {{"A", "F", {{"X", "B"}}}, {"C", "A", {{"B", "D"}}}},
       {{"C", {"D", "G_f1_f2"}}, {"@Ground", {"G", "X"}}}},
      // U names G_f2 before a copy of that name gets rules. Making M rebuilds
      // U's set while G_f2 is still a plain name; the eager index keeps that
      // set when G_f2 gets rules, and so must the deferred one.
      {"a name that a copy takes later keeps the set it had",
       "F <- G; G <- X; K; U <- G_f2 M", {{"M", "K", {}}, {"A", "F", {{"X", "B"}}}, {"C", "U", {}}},
       {{"U", {"G_f2", "M"}}, {"C", {"B", "G_f2", "M"}}, {"G_f2", {"B"}}}},
      {"the same with a caller above it",
       "F <- G; G <- X; K; U <- G_f2 M; Top <- U", {{"M", "K", {}}, {"A", "F", {{"X", "B"}}}, {"A2", "F", {{"X", "C"}}}},
       {{"U", {"G_f2", "M"}}, {"Top", {"G_f2", "M", "U"}}}},
  };
  // clang-format on
  for (const SetsCase& c : cases) {
    for (Watch watch : {Watch::All, Watch::Made, Watch::First}) {
      expect_same_as_eager(c, true, watch);
      expect_same_as_eager(c, false, watch);
    }
  }
}

TEST(FunctorsSpeedSets, SettlingTwiceOrWithoutDeferralChangesNothing) {
  Functors index(rules_of("Top <- A; F <- G; G <- X"));
  const std::map<std::string, NameSet> before = index.args;
  index.settle_argument_sets();
  EXPECT_EQ(index.args, before);
  index.defer_argument_sets();
  ASSERT_TRUE(call_functor(index, "A", "F", {{"X", "B"}}).ok());
  EXPECT_EQ(index.args.count("Top"), 0u);  // forgotten until read
  index.settle_argument_sets();
  index.settle_argument_sets();
  EXPECT_EQ(index.args.at("Top"), (NameSet{"A", "B", "G_f1"}));
}

// Each step rewrites one component, then appends rules as the unfolding does.
struct Step {
  std::string style;  // "vertical" or "flat"
  std::string main;
  NameSet component;
  std::string appended;  // program text in the rules_of notation
};

struct RewriteCase {
  const char* name;
  std::string program;
  std::vector<Step> steps;
};

std::vector<std::string> compact_all(const std::vector<Json>& rules) {
  std::vector<std::string> out;
  for (const Json& rule : rules) out.push_back(rule.compact());
  return out;
}

TEST(FunctorsSpeedSets, CandidateRewritesMatchFullOnes) {
  // clang-format off
  const std::vector<RewriteCase> cases = {
      {"separate components with annotations",
       "P <- P E; Q <- Q E; Out <- P Q; @Ground(P); @OrderBy(Q, \"col0\")",
       {{"vertical", "P", {"P"}, "@Make(P_r0, P_recursive_head, 1)"}, {"flat", "Q", {"Q"}, "@Ground(Q_fr0)"}}},
      {"a later component named like an earlier rewrite",
       "P <- P E; P_recursive_head <- P_recursive_head P; @Ground(P_recursive_head)",
       {{"vertical", "P", {"P"}, ""}, {"vertical", "P_recursive_head", {"P_recursive_head"}, ""}}},
      {"an appended rule heads a later member",
       "P <- P E; Out <- P; @Ground(P)",
       {{"flat", "P", {"P"}, "S <- S P_ROne; @Ground(S)"}, {"vertical", "S", {"S"}, ""}}},
      {"members renamed one after another within an annotation",
       "A <- A_ROne; A_ROne <- A; @Ground(A); @NoInject(A_ROne)",
       {{"flat", "A", {"A", "A_ROne"}, ""}}},
      {"an auxiliary member keeps its head",
       "M <- M M_MultBodyAggAux; M_MultBodyAggAux <- M E; @Limit(M_MultBodyAggAux); @Ground(M_MultBodyAggAux)",
       {{"flat", "M", {"M", "M_MultBodyAggAux"}, ""}, {"vertical", "M_MultBodyAggAux", {"M_MultBodyAggAux"}, ""}}},
  };
  // clang-format on
  for (const RewriteCase& c : cases) {
    std::vector<Json> full = rules_of(c.program);
    std::vector<Json> candidate = full;
    RewriteCandidates candidates(candidate);
    for (const Step& step : c.steps) {
      const std::vector<size_t> positions = candidates.of_component(candidate, step.component);
      const size_t appended_from = candidate.size();
      if (step.style == "vertical") {
        rename_for_vertical(full, step.main, step.component);
        rename_for_vertical(candidate, positions, step.main, step.component);
      } else {
        rewrite_for_flat(full, step.component);
        rewrite_for_flat(candidate, positions, step.component);
      }
      for (const Json& rule : rules_of(step.appended)) {
        full.push_back(rule);
        candidate.push_back(rule);
      }
      candidates.refresh(candidate, positions, appended_from);
      EXPECT_EQ(compact_all(candidate), compact_all(full)) << c.name << ": " << step.main;
    }
  }
}

}  // namespace
}  // namespace mirtova

namespace mirtova {
namespace {

// Companions are read from each @Iteration rule once: rules indexed after a
// first question must still count, and indexing from the start reads anew.
TEST(FunctorsSpeedSets, IterationCompanionsFollowAppendedRules) {
  using Names = std::vector<std::string>;
  Functors index(rules_of("P <- Q; @Iteration(P, predicates: [P_a, P_b])"));
  EXPECT_EQ(index.iteration_companions("P_a"), (Names{"P", "P_b"}));
  for (const Json& rule : rules_of("@Iteration(P_c, predicates: [P_a]); @Iteration(Z, repetitions: 3)"))
    index.rules.push_back(rule);
  index.update_structure("nothing");
  EXPECT_EQ(index.iteration_companions("P_a"), (Names{"P", "P_b", "P_c"}));
  EXPECT_EQ(index.iteration_companions("Z"), Names{});
  // Rules rewritten in place are read again once indexed from the start.
  index.rules[2] = rules_of("@Iteration(Q_c, predicates: [Q_d])").front();
  index.rules_by_predicate.clear();
  index.predicates.clear();
  index.indexed_rule_count = 0;
  index.update_structure("nothing");
  EXPECT_EQ(index.iteration_companions("P_a"), (Names{"P", "P_b"}));
  EXPECT_EQ(index.iteration_companions("Q_d"), Names{"Q_c"});
}

}  // namespace
}  // namespace mirtova

namespace mirtova {
namespace {

// Annotations are read once each: those a call appends follow the next copies,
// and one added later that names no predicate refuses the next call.
TEST(FunctorsSpeedSets, CopiedAnnotationsFollowAppendedRules) {
  Functors index(rules_of("F <- G; G <- X; @Ground(G); @NoInject(G)"));
  ASSERT_TRUE(call_functor(index, "A", "F", {{"X", "B"}}).ok());
  ASSERT_TRUE(call_functor(index, "C", "A", {{"B", "D"}}).ok());
  EXPECT_EQ(
      summaries(index.rules, 4),
      (std::vector<std::string>{"A <- G_f1", "G_f1 <- B", "@Ground(G_f1)", "@NoInject(G_f1)", "C <- G_f1_f2",
                                "G_f1_f2 <- D", "@Ground(G_f1_f2)", "@NoInject(G_f1_f2)"}));
  for (const Json& rule : rules_of("@OrderBy(5, \"col0\")")) index.rules.push_back(rule);
  index.update_structure("nothing");
  auto refused = call_functor(index, "E", "F", {{"X", "B"}});
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().message,
            "This annotation requires predicate symbol as the first positional argument.");
}

}  // namespace
}  // namespace mirtova
