// Make ordering: which makes wait for which, the order of the copies, and the
// report of an order that cannot be resolved.
#include <gtest/gtest.h>

#include <algorithm>

#include "compiler/functors/make_instructions.h"
#include "compiler/functors/make_ordering.h"
#include "compiler/functors/run_makes.h"
#include "support/makes_support.h"

namespace mirtova {
namespace {

using makes_testing::rules_of;
using makes_testing::summaries;

struct OrderCase {
  const char* name;
  std::string program;
  std::vector<std::string> added;  // summaries of the appended rules, in order
  std::string error = {};
  std::string stuck = {};  // what standard error receives
};

TEST(MakeOrdering, MakesWaitForWhatTheyCopyAndSubstitute) {
  // clang-format off
  const std::vector<OrderCase> cases = {
      {"a substitute made later in the list waits for it",
       "F <- P; G <- T; A := F(P: B); B := G()", {"B <- T", "A <- B"}},
      {"a functor made later in the list waits for it", "F <- X; A := B(X: Y); B := F()", {"B <- X", "A <- Y"}},
      {"a functor that depends on a made predicate waits for it",
       "F <- H X; A := F(X: Y); H := G(); G <- T", {"H <- T", "A <- H Y"}},
      {"an existing substitute delays nothing", "F <- P; A := F(P: G); G <- T; Z := F()", {"A <- G", "Z <- P"}},
      {"of two makes of one name only the first is carried out",
       "F <- X; G <- X; A := G(X: U); A := F(X: V)", {"A <- U"}},
      {"chained makes over one functor",
       "F <- X; A := F(X: T); B := F(X: A); C := B(A: U)", {"A <- T", "B <- A", "C <- U"}},
      {"two makes waiting on each other",
       "F <- P; A := F(P: B); B := F(P: A)", {},
       "Could not resolve Make order for: {\"A\", \"B\"}",
       "[STUCK] A applicant=F app_in_nb=false app_args_inter=[] av_inter=[\"B\"]\n"
       "[STUCK] B applicant=F app_in_nb=false app_args_inter=[] av_inter=[\"A\"]\n"},
      {"a make found waiting goes in the next pass, after the later ones now ready",
       "F <- X; A := F(X: C); B := F(); C := F(X: B)", {"B <- X", "C <- B", "A <- C"}},
      {"a make waits for what a substitute of its functor's rules depends on",
       "F <- P; S <- Q; G <- T; A := F(P: S); C := A(); Q := G()", {"A <- S", "Q <- T", "C <- S"}},
      {"a copy proven empty once the makes are done", "P_r0 <- nil; P_r1 <- P_r0 X; A_b := P_r1()",
       {"NullifiedA_b <- nil X"}},
      {"a make of itself", "A := A()", {}, "Could not resolve Make order for: {\"A\"}",
       "[STUCK] A applicant=A app_in_nb=true app_args_inter=[] av_inter=[]\n"},
      {"a functor that calls its own made name, and a make waiting on it",
       "F <- A X; A := F(); C := F(X: A)", {},
       "Could not resolve Make order for: {\"A\", \"C\"}",
       "[STUCK] A applicant=F app_in_nb=false app_args_inter=[\"A\"] av_inter=[]\n"
       "[STUCK] C applicant=F app_in_nb=false app_args_inter=[\"A\"] av_inter=[\"A\"]\n"},
  };
  // clang-format on
  for (const OrderCase& c : cases) {
    std::vector<Json> input = rules_of(c.program);
    testing::internal::CaptureStderr();
    auto out = run_makes_with_deps(input);
    std::string stuck = testing::internal::GetCapturedStderr();
    EXPECT_EQ(stuck, c.stuck) << c.name;
    if (!c.error.empty()) {
      ASSERT_FALSE(out.ok()) << c.name;
      EXPECT_EQ(out.error(), CompileError(c.error)) << c.name;
      continue;
    }
    ASSERT_TRUE(out.ok()) << c.name << ": " << out.error().message;
    EXPECT_EQ(summaries(out.value(), input.size()), c.added) << c.name;
  }
}

TEST(MakeOrdering, StuckListsQuoteTheirNames) {
  Functors index(rules_of("F <- P"));
  PreparedMake make{"A", "F", {{"P", "we\"ird\\"}}};
  EXPECT_EQ(stuck_line(index, make, {"A", "we\"ird\\"}),
            "[STUCK] A applicant=F app_in_nb=false app_args_inter=[] av_inter=[\"we\\\"ird\\\\\"]\n");
}

TEST(MakeOrdering, ManyStuckMakesGiveAShortReport) {
  // Each make copies F, which reads every made name: none can go first.
  std::string program = "F <- P";
  for (int i = 0; i < 30; ++i) program += " M" + std::to_string(100 + i);
  for (int i = 0; i < 30; ++i) program += "; M" + std::to_string(100 + i) + " := F(P: Q)";
  testing::internal::CaptureStderr();
  auto out = run_makes_with_deps(rules_of(program));
  std::string stuck = testing::internal::GetCapturedStderr();
  ASSERT_FALSE(out.ok());
  std::string listed;
  for (int i = 0; i < 20; ++i) listed += (i ? ", \"M" : "\"M") + std::to_string(100 + i) + "\"";
  EXPECT_EQ(out.error().message, "Could not resolve Make order for: {" + listed + ", and 10 more}");
  EXPECT_EQ(std::count(stuck.begin(), stuck.end(), '\n'), 20);
  EXPECT_EQ(stuck.substr(0, stuck.find('\n')), "[STUCK] M100 applicant=F app_in_nb=false app_args_inter=[" +
                                                   listed + ", and 10 more] av_inter=[]");
}

TEST(MakeOrdering, ListsWithoutMakesComeBackUnchanged) {
  for (const std::string& program : {std::string("F <- X; @Ground(F)"), std::string("F <- X; @Make(x, F)")}) {
    std::vector<Json> input = rules_of(program);
    auto out = run_makes_with_deps(input);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(out.value(), input) << program;
  }
}

}  // namespace
}  // namespace mirtova
