// Make ordering: which makes wait for which, the order of the copies, and the
// report of an order that cannot be resolved.
#include <gtest/gtest.h>

#include "compiler/functors/make_instructions.h"
#include "compiler/functors/make_ordering.h"
#include "compiler/functors/run_makes.h"
#include "parser/imports.h"
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
       "Could not resolve Make order for: {\"A\", \"B\"}"},
      {"a make found waiting goes in the next pass, after the later ones now ready",
       "F <- X; A := F(X: C); B := F(); C := F(X: B)", {"B <- X", "C <- B", "A <- C"}},
      {"a make waits for what a substitute of its functor's rules depends on",
       "F <- P; S <- Q; G <- T; A := F(P: S); C := A(); Q := G()", {"A <- S", "Q <- T", "C <- S"}},
      {"a make of itself", "A := A()", {}, "Could not resolve Make order for: {\"A\"}"},
      {"a functor that calls its own made name, and a make waiting on it",
       "F <- A X; A := F(); C := F(X: A)", {},
       "Could not resolve Make order for: {\"A\", \"C\"}"},
  };
  // clang-format on
  for (const OrderCase& c : cases) {
    std::vector<Json> input = rules_of(c.program);
    testing::internal::CaptureStderr();
    auto out = run_makes_with_deps(input);
    // A library has no stream of its own to write to: all it says is in the error.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.name;
    if (!c.error.empty()) {
      ASSERT_FALSE(out.ok()) << c.name;
      EXPECT_EQ(out.error(), CompileError(c.error)) << c.name;
      continue;
    }
    ASSERT_TRUE(out.ok()) << c.name << ": " << out.error().message;
    EXPECT_EQ(summaries(out.value(), input.size()), c.added) << c.name;
  }
}

TEST(MakeOrdering, UnresolvedOrderListsAFewNamesQuoted) {
  // Each make copies F, which reads every made name: none can go first.
  std::string program = "F <- P";
  for (int i = 0; i < 30; ++i) program += " M" + std::to_string(100 + i);
  for (int i = 0; i < 30; ++i) program += "; M" + std::to_string(100 + i) + " := F(P: Q)";
  auto out = run_makes_with_deps(rules_of(program));
  ASSERT_FALSE(out.ok());
  std::string listed;
  for (int i = 0; i < 20; ++i) listed += (i ? ", \"M" : "\"M") + std::to_string(100 + i) + "\"";
  EXPECT_EQ(out.error().message, "Could not resolve Make order for: {" + listed + ", and 10 more}");

  std::vector<Json> odd = rules_of("F <- P; A := F(P: B); B := F(P: A)");
  for (Json& rule : odd) rename_predicate(rule, "B", "we\"ird\\");
  auto quoted = run_makes_with_deps(odd);
  ASSERT_FALSE(quoted.ok());
  EXPECT_EQ(quoted.error().message, "Could not resolve Make order for: {\"A\", \"we\\\"ird\\\\\"}");
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
