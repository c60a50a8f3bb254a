// Golden program texts of the unfolding forms: vertical chains, flat and
// iterative horizontal stacks, semi-naive loops.
#include <gtest/gtest.h>

#include "compiler/functors/horizontal.h"
#include "compiler/functors/semi_naive.h"
#include "compiler/functors/text_lines.h"
#include "compiler/functors/vertical.h"

namespace mirtova {
namespace {

struct TextCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

void expect_lines(const std::vector<TextCase>& cases) {
  for (const TextCase& c : cases) EXPECT_EQ(c.text, join_lines(c.lines)) << c.name;
}

TEST(FunctorsTexts, VerticalChains) {
  // clang-format off
  expect_lines({
      {"depth 2",
       vertical_chain_text("Path", 2),
       {"Path_r0 := Path_recursive_head(Path_recursive: nil);",
        "Path_r1 := Path_recursive_head(Path_recursive: Path_r0);",
        "Path_r2 := Path_recursive_head(Path_recursive: Path_r1);", "Path := Path_r2();"}},
      {"negative depth writes no step", vertical_chain_text("P", -3),
       {"P_r0 := P_recursive_head(P_recursive: nil);", "P := P_r-3();"}},
      {"member", vertical_member_text("Q", "Path"), {"Q := Q_recursive_head(Path_recursive: Path);"}},
  });
  // clang-format on
  const std::string deep = vertical_chain_text("P", 1000);
  EXPECT_EQ(std::count(deep.begin(), deep.end(), '\n'), 1001);
  EXPECT_NE(deep.find("P_r1000 := P_recursive_head(P_recursive: P_r999);\nP := P_r1000();"),
            std::string::npos);
}

TEST(FunctorsTexts, FlatAndIterativeForms) {
  const std::map<std::string, NameSet> a_b = {{"A", {"B"}}, {"B", {"A", "B"}}};
  const std::map<std::string, NameSet> p = {{"P", {"P"}}};
  const std::map<std::string, NameSet> lonely = {{"q", {}}};
  // clang-format off
  expect_lines({
      {"flat, two members",
       flat_form_text(a_b, 1, false),
       {"A_fr0 := A_ROne(B_RZero: nil);", "A_fr1 := A_ROne(B_RZero: B_fr0);", "A := A_fr1();",
        "B_fr0 := B_ROne(A_RZero: nil, B_RZero: nil);", "B_fr1 := B_ROne(A_RZero: A_fr0, B_RZero: B_fr0);",
        "B := B_fr1();"}},
      {"flat, grounded below the ignition",
       flat_form_text(p, 1, true),
       {"P_fr0 := P_ROne(P_RZero: nil);", "@Ground(P_fr0);", "P_fr1 := P_ROne(P_RZero: P_fr0);", "@Ground(P_fr1);",
        "P := P_fr1();"}},
      {"flat, no dependencies", flat_form_text(lonely, 1, false), {"q_fr0 := q_ROne();", "q_fr1 := q_ROne();", "q := q_fr1();"}},
      {"iterative, depth 8, ignition 5",
       iterative_form_text(p, 8, 5, std::nullopt),
       {"P_ifr0 := P_ROne(P_RZero: nil);", "@Ground(P_ifr0);", "P_ifr1 := P_ROne(P_RZero: P_ifr0);",
        "@Ground(P_ifr1);", "P_ifr2 := P_ROne(P_RZero: P_ifr1);", "@Ground(P_ifr2);",
        "P_ifr3 := P_ROne(P_RZero: P_ifr2);", "@Ground(P_ifr3, P_ifr1);", "P_ifr4 := P_ROne(P_RZero: P_ifr3);",
        "@Ground(P_ifr4);", "P := P_ifr4();", "@Iteration(P, predicates: [P_ifr2, P_ifr3], repetitions: 3);"}},
  });
  // clang-format on
  // Repetitions: ((depth - ignition) + 1) / 2 + 1.
  const std::vector<std::pair<int64_t, std::string>> repetitions = {{5, "repetitions: 1);"},
                                                                    {6, "repetitions: 2);"},
                                                                    {7, "repetitions: 2);"},
                                                                    {1000000000, "repetitions: 499999999);"}};
  // Two members: both lists of levels, the first member names the loop; a stop signal adds its file.
  const std::string two = iterative_form_text(a_b, 4, 4, std::string("B"));
  EXPECT_NE(two.find("B_ifr2 := B_ROne(A_RZero: A_ifr1, B_RZero: B_ifr1);\n@Ground(B_ifr2, B_ifr0);"),
            std::string::npos);
  EXPECT_EQ(two.substr(two.rfind('\n') + 1),
            "@Iteration(A, predicates: [A_ifr1, B_ifr1, A_ifr2, B_ifr2], repetitions: 1, stop_signal: "
            "\"/tmp/logical_stop_B\");");
  for (const auto& [depth, tail] : repetitions) {
    const std::string text = iterative_form_text(p, depth, 5, std::nullopt);
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << depth;
  }
}

TEST(FunctorsTexts, SemiNaiveLoops) {
  // clang-format off
  expect_lines({
      {"one positional field, depth 30",
       get_semi_naive_recursion_functor("P", {Json(0)}, 30),
       {"P_sn_delta := P_ROne(P_RZero: nil);",
        "@Ground(P_sn_delta);",
        "P_sn_t0(v0) :- P_sn_delta(v0), 1 == 0;",
        "@Ground(P_sn_t0);",
        "P_sn_r1 := P_ROne(P_RZero: P_sn_t0);",
        "P_sn_t1(v0) :- P_sn_r1(v0), 1 == 0;",
        "@Ground(P_sn_t1);",
        "P_sn_r2 := P_ROne(P_RZero: P_sn_t1);",
        "P_sn_t2(v0) :- P_sn_r2(v0), 1 == 0;",
        "@Ground(P_sn_t2);",
        "P_sn_r3 := P_ROne(P_RZero: P_sn_t2);",
        "P_sn_t3(v0) :- P_sn_r3(v0), 1 == 0;",
        "@Ground(P_sn_t3);",
        "P_sn_full(v0) :- P_sn_delta(v0) | P_sn_t1(v0) | P_sn_t2(v0) | P_sn_t3(v0);",
        "@Ground(P_sn_full);",
        "P_sn_step := P_ROne(P_RZero: P_sn_delta);",
        "P_sn_new(v0) distinct :- P_sn_step(v0), ~P_sn_full(v0);",
        "@Ground(P_sn_new);",
        "P_sn_back_step := P_ROne(P_RZero: P_sn_new);",
        "P_sn_back(v0) distinct :- P_sn_back_step(v0), ~P_sn_full(v0);",
        "@Ground(P_sn_back, P_sn_delta);",
        "P(v0) :- P_sn_full(v0);",
        "@Iteration(P_sn_delta, predicates: [P_sn_new, P_sn_back], repetitions: 30, accumulate: P_sn_full);"}},
      {"disjunction", semi_naive_disjunction("P", "x, y", 1, 2), {" | P_sn_t1(x, y) | P_sn_t2(x, y)"}},
      {"empty disjunction", semi_naive_disjunction("P", "x", 1, 0), {""}},
  });
  // clang-format on
  // No fields: one chain link. Named fields count with the positional ones.
  EXPECT_NE(get_semi_naive_recursion_functor("Q", {}, 1).find("Q_sn_full() :- Q_sn_delta() | Q_sn_t1();\n"),
            std::string::npos);
  const std::string named = get_semi_naive_recursion_functor("R", {Json(0), Json("b")}, 3);
  EXPECT_NE(named.find("R_sn_full(v0, b: v1) :- R_sn_delta(v0, b: v1) | R_sn_t1(v0, b: v1)"),
            std::string::npos);
  EXPECT_NE(named.find("| R_sn_t5(v0, b: v1);"), std::string::npos);
  EXPECT_EQ(named.find("R_sn_t6"), std::string::npos);
}

}  // namespace
}  // namespace mirtova
