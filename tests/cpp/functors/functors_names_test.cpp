// Names the unfolding and functor application make: kept apart from the
// program's own, and traced back to the predicate each stands for.
#include <gtest/gtest.h>

#include "compiler/functors/generated_names.h"
#include "compiler/functors/run_makes.h"
#include "compiler/functors/tree_walks.h"
#include "compiler/functors/unfold_recursion.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

std::vector<Json> program(const std::string& text) {
  auto parsed = parse_file(text);
  EXPECT_TRUE(parsed.ok()) << text;
  return parsed.ok() ? parsed.value().at("rule").as_array() : std::vector<Json>{};
}

TEST(GeneratedNamesTest, MadeNamesAreFreeAndTracedToTheirOrigin) {
  GeneratedNames names;
  names.take_names_of(program("P_f1(1); Q(x) :- P_f1_1(x);"));
  EXPECT_EQ(names.make("P_f1", "P"), "P_f1_2");
  EXPECT_EQ(names.make("P_f1", "P"), "P_f1_3");
  EXPECT_EQ(names.make("P_f1_2_f4", "P_f1_2"), "P_f1_2_f4");
  EXPECT_EQ(names.make("Const", ""), "Const");
  EXPECT_EQ(names.origin_of("P_f1_2_f4"), "P");
  EXPECT_EQ(names.origin_of("Const"), "Const");
  EXPECT_EQ(names.origin_of("Q"), "Q");
  EXPECT_EQ(names.origins(), (std::vector<std::pair<std::string, std::string>>{
                                 {"P_f1_2", "P"}, {"P_f1_2_f4", "P"}, {"P_f1_3", "P"}}));
}

// Every head and functor target of the unfolded rules, and the origin of each made one.
std::vector<std::string> made_heads(const std::vector<Json>& rules, const GeneratedNames& names) {
  std::vector<std::string> out;
  for (const Json& rule : rules) {
    std::string head(head_name(rule));
    if (head == "@Make") head = *made_predicate(rule);
    if (head[0] == '@') continue;
    out.push_back(head + (names.origin_of(head) != head ? " <- " + names.origin_of(head) : ""));
  }
  return out;
}

TEST(GeneratedNamesTest, AnUnfoldingMovesItsNamesOffTheProgramsOwn) {
  const std::string linear = "P(x) :- E(x); P(x) :- P(y), F(y, x); @Recursive(P, 1);";
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> heads;
  };
  const std::vector<Case> cases = {
      {"nothing taken",
       linear,
       {"P_recursive_head <- P", "P_recursive_head <- P", "P_r0 <- P", "P_r1 <- P", "P"}},
      {"a level taken",
       linear + "P_r1(5);",
       {"P_1_recursive_head <- P", "P_1_recursive_head <- P", "P_r1", "P_1_r0 <- P", "P_1_r1 <- P", "P"}},
      {"a level of the moved names taken too",
       linear + "P_r1(5); P_1_recursive(6);",
       {"P_2_recursive_head <- P", "P_2_recursive_head <- P", "P_r1", "P_1_recursive", "P_2_r0 <- P",
        "P_2_r1 <- P", "P"}},
  };
  for (const Case& c : cases) {
    std::vector<Json> rules = program(c.text);
    GeneratedNames names;
    names.take_names_of(rules);
    auto unfolded = unfold_recursion(rules, false, names);
    ASSERT_TRUE(unfolded.ok()) << c.name << ": " << unfolded.error().message;
    std::vector<std::string> heads = made_heads(unfolded.value(), names);
    // The template's rules keep their places; the made statements follow.
    EXPECT_EQ(heads, c.heads) << c.name;
  }
}

TEST(GeneratedNamesTest, MutualMembersNamedLikeEachOthersLevels) {
  // A's first level would be A_fr0, which is the other member.
  std::vector<Json> rules = program("A(x) :- E(x); A(x) :- A_fr0(x); A_fr0(x) :- A(x); @Recursive(A, 1);");
  GeneratedNames names;
  names.take_names_of(rules);
  auto unfolded = unfold_recursion(rules, false, names);
  ASSERT_TRUE(unfolded.ok()) << unfolded.error().message;
  NameSet made;
  for (const Json& rule : unfolded.value()) {
    if (head_name(rule) == "@Make") made.insert(*made_predicate(rule));
  }
  EXPECT_EQ(made, (NameSet{"A", "A_1_fr0", "A_1_fr1", "A_fr0", "A_fr0_1_fr0", "A_fr0_1_fr1"}));
}

TEST(GeneratedNamesTest, CopiesAndConstantsTakeFreeNames) {
  std::vector<Json> rules = program(
      "G(x) :- X(x), x > Low(); Low() = 0; F(x) :- G(x); A := F(X: B, Low: 3);"
      "G_f1(7); QuorilCompilerConstant0(8);");
  GeneratedNames names;
  names.take_names_of(rules);
  auto made = run_makes_with_deps(rules, names);
  ASSERT_TRUE(made.ok()) << made.error().message;
  NameSet heads;
  for (const Json& rule : made.value()) heads.emplace(head_name(rule));
  EXPECT_EQ(heads.count("G_f1_1"), 1u);
  EXPECT_EQ(heads.count("QuorilCompilerConstant0_1"), 1u);
  EXPECT_EQ(names.origin_of("G_f1_1"), "G");
  EXPECT_EQ(names.origin_of("QuorilCompilerConstant0_1"), "QuorilCompilerConstant0_1");
}

}  // namespace
}  // namespace mirtova
