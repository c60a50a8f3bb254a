// One functor call: what is copied, how copies are named and shared, which
// annotations follow them, and the refusals.
#include <gtest/gtest.h>

#include "compiler/functors/functor_call.h"
#include "support/makes_support.h"

namespace mirtova {
namespace {

using makes_testing::rules_of;
using makes_testing::summaries;

using makes_testing::Call;

struct CallCase {
  const char* name;
  std::string program;
  std::vector<Call> calls;
  std::vector<std::string> added;  // summaries of the rules the calls appended
  std::string error = {};          // "message | rule text" of the call that failed
};

TEST(FunctorCall, CopiesNamesAndRefusals) {
  const std::string shared = "F <- G H; G <- X; H <- K; K";
  // clang-format off
  const std::vector<CallCase> cases = {
      {"a replaced table", "F <- X", {{"A", "F", {{"X", "Y"}}}}, {"A <- Y"}},
      {"predicates between the functor and the argument are copied, the others shared",
       shared, {{"A", "F", {{"X", "B"}}}}, {"A <- G_f1 H", "G_f1 <- B"}},
      {"the same substitutes reuse the copy of the first call without adding its rules again",
       shared, {{"A", "F", {{"X", "B"}}}, {"A2", "F", {{"X", "B"}}}},
       {"A <- G_f1 H", "G_f1 <- B", "A2 <- G_f1 H"}},
      {"identical rules are each copied",
       "F <- G; F <- G; G <- X; G <- X", {{"A", "F", {{"X", "B"}}}},
       {"A <- G_f1", "A <- G_f1", "G_f1 <- B", "G_f1 <- B"}},
      {"other substitutes make a new copy",
       shared, {{"A", "F", {{"X", "B"}}}, {"A2", "F", {{"X", "C"}}}},
       {"A <- G_f1 H", "G_f1 <- B", "A2 <- G_f2 H", "G_f2 <- C"}},
      {"no arguments copy the functor alone", shared, {{"A", "F", {}}}, {"A <- G H"}},
      {"a name written into copies of several calls is each call's own",
       "F <- G X; G <- X", {{"A", "F", {{"X", "B"}}}, {"A2", "F", {{"X", "C"}}}},
       {"A <- G_f1 B", "G_f1 <- B", "A2 <- G_f2 C", "G_f2 <- C"}},
      {"a copy copied in turn stays as it was",
       "F <- G; G <- X", {{"A", "F", {{"X", "B"}}}, {"C", "A", {{"B", "D"}}}},
       {"A <- G_f1", "G_f1 <- B", "C <- G_f1_f2", "G_f1_f2 <- D"}},
      {"a replaced predicate's own rules are not copied", "F <- X; X <- T", {{"A", "F", {{"X", "Y"}}}}, {"A <- Y"}},
      {"a substitute that is itself copied keeps its own name",
       "F <- G X; G <- X", {{"A", "F", {{"X", "G"}}}}, {"A <- G_f1 G", "G_f1 <- G"}},
      {"an argument named after the unfolding's prefix",
       "P_r3 <- P_Q; P_Q <- T", {{"A", "P_r3", {{"Q", "Y"}}}}, {"A <- Y"}},
      {"annotations follow copied predicates only",
       "F <- G H; G <- X; H; @Ground(G); @Ground(F); @Ground(H); @OrderBy(x, \"col0\")",
       {{"A", "F", {{"X", "B"}}}},
       {"A <- G_f1 H", "G_f1 <- B", "@Ground(G_f1)", "@Ground(A)"}},
      {"a loop is copied whole: its iteration's name and a table owner without rules are renamed",
       "R <- A; A <- N; N <- C; C <- S; @Ground(C); @Ground(N, Tmp); @Ground(A, C);"
       "@Iteration(L, predicates: [N, A], repetitions: 2)",
       {{"R2", "R", {{"S", "B"}}}},
       {"A_f1 <- N_f1", "C_f1 <- B", "N_f1 <- C_f1", "R2 <- A_f1", "@Ground(C_f1)", "@Ground(N_f1 Tmp_f1)",
        "@Ground(A_f1 C_f1)", "@Iteration(L_f1)"}},
      {"a loop's table owner is copied though it reaches no replaced argument",
       "R <- A; A <- N; N <- C S; C; @Ground(A, C); @Iteration(L, predicates: [N, A], repetitions: 2)",
       {{"R2", "R", {{"S", "B"}}}, {"R3", "R", {{"S", "B"}}}},
       {"A_f1 <- N_f1", "C_f1", "N_f1 <- C_f1 B", "R2 <- A_f1", "@Ground(A_f1 C_f1)", "@Iteration(L_f1)",
        "R3 <- A_f1"}},
      {"an argument the functor does not depend on",
       shared, {{"A", "F", {{"Z", "B"}, {"W", "B"}, {"X", "B"}}}}, {},
       "Functor F is applied to W, Z, which it does not depend on. | A"},
      {"the prefix rule needs the functor's own prefix",
       "R <- P_Q; P_Q <- T", {{"A", "R", {{"Q", "Y"}}}}, {},
       "Functor R is applied to Q, which it does not depend on. | A"},
      {"an annotation on a number, anywhere",
       "F <- X; Z <- T; @OrderBy(5, \"col0\")", {{"A", "F", {{"X", "Y"}}}}, {},
       "This annotation requires predicate symbol as the first positional argument. | @OrderBy(5, \"col0\")"},
  };
  // clang-format on
  for (const CallCase& c : cases) {
    Functors index(rules_of(c.program));
    const size_t before = index.rules.size();
    std::string error;
    for (const Call& call : c.calls) {
      auto done = call_functor(index, call.made, call.functor, call.arguments);
      if (!done.ok()) {
        error = done.error().message + " | " + done.error().rule_text;
        break;
      }
    }
    EXPECT_EQ(error, c.error) << c.name;
    EXPECT_EQ(summaries(index.rules, before), c.added) << c.name;
  }
}

TEST(FunctorCall, CopiesAreIndexedForTheNextCall) {
  Functors index(rules_of("F <- G; G <- X"));
  ASSERT_TRUE(call_functor(index, "A", "F", {{"X", "B"}}).ok());
  EXPECT_EQ(index.args_of("A"), (NameSet{"B", "G_f1"}));
  EXPECT_EQ(index.call_memo, (std::map<std::string, std::string>{{"G(X: B)", "G_f1"}}));
  // A made predicate serves as a functor in turn.
  ASSERT_TRUE(call_functor(index, "C", "A", {{"B", "D"}}).ok());
  EXPECT_EQ(summaries(index.rules, 4), (std::vector<std::string>{"C <- G_f1_f2", "G_f1_f2 <- D"}));
}

// A call finds what to copy backwards from its arguments unless ties could
// bring more: a tie on the functor makes it gather everything the functor
// depends on. Both ways must copy the same rules under the same names.
TEST(FunctorCall, CopiesTheSameWhetherFoundFromTheArgumentsOrGathered) {
  struct Case {
    const char* name;
    std::string program;
    std::vector<Call> calls;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"a diamond and a shared branch", "F <- G H K; G <- L; H <- L X; L <- X; K <- T",
       {{"A", "F", {{"X", "B"}}}, {"C", "F", {{"X", "B"}, {"T", "D"}}}}},
      {"a cycle between the functor and the argument", "F <- G; G <- H X; H <- G",
       {{"A", "F", {{"X", "B"}}}}},
      {"a recursive functor", "F <- F G; G <- X", {{"A", "F", {{"X", "B"}}}}},
      {"a caller of the argument outside the functor's reach", "F <- G; G <- X; Other <- X",
       {{"A", "F", {{"X", "B"}}}}},
      {"a made name as the next functor", "F <- G Y; G <- X", {{"A", "F", {{"X", "B"}}}, {"C", "A", {{"Y", "D"}}}}},
  };
  // clang-format on
  auto copies = [](const std::string& program, const std::vector<Call>& calls) {
    Functors index(rules_of(program));
    const size_t before = index.rules.size();
    testing::internal::CaptureStderr();
    for (const Call& call : calls)
      EXPECT_TRUE(call_functor(index, call.made, call.functor, call.arguments).ok());
    std::vector<std::string> out;
    for (std::string& line : summaries(index.rules, before))
      if (line[0] != '@') out.push_back(std::move(line));
    out.push_back(testing::internal::GetCapturedStderr());
    return out;
  };
  for (const Case& c : cases) {
    const std::vector<std::string> found = copies(c.program, c.calls);
    EXPECT_GT(found.size(), 1u) << c.name;
    EXPECT_EQ(found, copies(c.program + "; @Ground(" + c.calls[0].functor + ", Elsewhere)", c.calls))
        << c.name;
  }
}

TEST(FunctorCall, CallKeysCountOnlyTheArgumentsAPredicateDependsOn) {
  Functors index(rules_of("P <- X Z; X; Y; Z"));
  EXPECT_EQ(key_of("P", index.argument_set("P"), {{"Y", "B"}, {"X", "C"}, {"Z", "D"}}), "P(X: C, Z: D)");
  EXPECT_EQ(key_of("Q", index.argument_set("Q"), {{"Y", "B"}}), "Q()");
}

}  // namespace
}  // namespace mirtova
