// The functor index: direct and transitive dependencies, rule lookup,
// incremental re-indexing, and the tree walks it is built on.
#include <gtest/gtest.h>

#include "compiler/functors/functors.h"
#include "compiler/functors/tree_walks.h"
#include "support/makes_support.h"

namespace mirtova {
namespace {

using namespace trees;
using namespace makes_testing;

TEST(FunctorsIndex, ArgumentSetsAreTransitive) {
  struct Case {
    const char* name;
    std::vector<Calls> program;
    std::map<std::string, NameSet> args;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"self call with a table", {{"P", {"P", "Q"}}, {"R", {"Q"}}}, {{"P", {"P", "Q"}}, {"R", {"Q"}}}},
      {"mutual recursion", {{"P", {"Q"}}, {"Q", {"P"}}}, {{"P", {"P", "Q"}}, {"Q", {"P", "Q"}}}},
      {"cycle below an entry", {{"A", {"B"}}, {"B", {"C"}}, {"C", {"B", "D"}}, {"D", {}}},
       {{"A", {"B", "C", "D"}}, {"B", {"B", "C", "D"}}, {"C", {"B", "C", "D"}}, {"D", {}}}},
      {"two cycles joined", {{"Z", {"A"}}, {"A", {"Z", "M"}}, {"M", {"N"}}, {"N", {"M"}}},
       {{"A", {"A", "M", "N", "Z"}}, {"M", {"M", "N"}}, {"N", {"M", "N"}}, {"Z", {"A", "M", "N", "Z"}}}},
      {"a name like a marker is a name", {{"building_P", {"P"}}, {"P", {"building_P"}}},
       {{"P", {"P", "building_P"}}, {"building_P", {"P", "building_P"}}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    Functors index(calls_program(c.program));
    EXPECT_EQ(index.args, c.args) << c.name;
    for (const Calls& calls : c.program)
      EXPECT_EQ(index.direct_args.at(calls.head), NameSet(calls.callees.begin(), calls.callees.end()))
          << c.name;
    EXPECT_EQ(index.indexed_rule_count, c.program.size()) << c.name;
  }
}

TEST(FunctorsIndex, CallersAreFoundBackwardsAndCyclesAreKeptTrackOf) {
  Functors index(rules_of("A <- B; B <- C; D <- B; P <- Q; Q <- P C"));
  EXPECT_EQ(index.callers_of("C"), (NameSet{"A", "B", "D", "P", "Q"}));
  EXPECT_EQ(index.callers_of("P"), (NameSet{"P", "Q"}));
  EXPECT_EQ(index.callers_of("A"), NameSet{});
  EXPECT_FALSE(index.is_acyclic());

  Functors chain(rules_of("F <- X; S <- A"));
  EXPECT_TRUE(chain.is_acyclic());
  // A copy of F reading S, which reads A: the made name closes a cycle.
  chain.rules.push_back(calls_rule("A", {"S"}));
  chain.update_structure("A");
  EXPECT_EQ(chain.callers_of("A"), (NameSet{"A", "S"}));
  EXPECT_FALSE(chain.is_acyclic());

  // A rule rewritten in place and indexed again: the callee it no longer
  // calls loses it as a caller.
  Functors rewritten(rules_of("A <- B; B <- C; D <- B"));
  rewritten.rules[0] = calls_rule("A", {"C"});
  rewritten.rules_by_predicate.clear();
  rewritten.predicates.clear();
  rewritten.indexed_rule_count = 0;
  rewritten.update_structure("A");
  EXPECT_EQ(rewritten.callers_of("B"), NameSet{"D"});
  EXPECT_EQ(rewritten.callers_of("C"), (NameSet{"A", "B", "D"}));
}

TEST(FunctorsIndex, HeadRecordsCountAndHeadlessRulesStayOut) {
  Json headless = Json::object({{"body", conj({atom("Hidden", {var("x")})})}});
  Json with_value = Json::object({{"head", call_node("P", {field(0, var("x")), field("pred", pred("Q"))})}});
  Functors index({calls_rule("P", {"A"}), headless, with_value, calls_rule("P", {"B"})});
  EXPECT_EQ(index.rules_by_predicate.at("P"), (std::vector<size_t>{0, 2, 3}));
  EXPECT_EQ(index.predicates, NameSet{"P"});
  EXPECT_EQ(index.direct_args.at("P"), (NameSet{"A", "B", "Q"}));
}

TEST(FunctorsIndex, UpdateStructureFollowsAppendedRules) {
  Functors index(calls_program({{"X", {"N"}}, {"Y", {"T"}}, {"N", {}}}));
  // A second rule of N calls Y; X's set mentions N and must be rebuilt.
  index.rules.push_back(calls_rule("N", {"Y"}));
  index.rules.push_back(calls_rule("Made", {"X"}));
  index.update_structure("N");
  EXPECT_EQ(index.rules_by_predicate.at("N").size(), 2u);
  EXPECT_EQ(index.args.at("X"), (NameSet{"N", "T", "Y"}));
  EXPECT_EQ(index.args.at("Made"), (NameSet{"N", "T", "X", "Y"}));
  // Re-indexing from scratch takes each rule once.
  index.rules_by_predicate.clear();
  index.predicates.clear();
  index.indexed_rule_count = 0;
  index.update_structure("nothing");
  EXPECT_EQ(index.rules_by_predicate.at("N").size(), 2u);
}

TEST(FunctorsIndex, AllRulesOfWarnsOnRemainingRecursion) {
  struct Case {
    std::vector<Calls> program;
    std::string name;
    std::vector<std::string> heads;
    std::string warning;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {{{"P", {"P", "Q"}}, {"Q", {"R"}}, {"R", {}}, {"P", {"R"}}}, "P", {"P", "P", "Q", "R"},
       "[WARNING] Failed to eliminate recursion of P.\n"},
      {{{"F", {"G", "H"}}, {"H", {"K"}}, {"G", {"X"}}}, "F", {"F", "G", "H"}, ""},
      {{{"F", {"G"}}}, "+", {}, ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    Functors index(calls_program(c.program));
    testing::internal::CaptureStderr();
    auto rules = index.all_rules_of(c.name);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning) << c.name;
    std::vector<std::string> heads;
    for (const Json& r : rules.value()) heads.emplace_back(head_name(r));
    EXPECT_EQ(heads, c.heads) << c.name;
  }
}

TEST(FunctorsIndex, IterationCompanionsAndConstants) {
  Json list = Json::object(
      {{"literal",
        Json::object(
            {{"the_list", Json::object({{"element", Json::array({pred("P_new"), pred("P_back")})}})}})}});
  Functors index(
      {named_annotation("@Iteration", "P", {field("predicates", list), field("accumulate", pred("P_full"))}),
       named_annotation("@Iteration", "Q", {field("predicates", pred("Q_step"))})});
  using Names = std::vector<std::string>;
  EXPECT_EQ(index.iteration_companions("P"), (Names{"P_back", "P_full", "P_new"}));
  EXPECT_EQ(index.iteration_companions("P_new"), (Names{"P", "P_back", "P_full"}));
  EXPECT_EQ(index.iteration_companions("Other"), Names{});
  EXPECT_EQ(index.get_constant_function("int:5"), "QuorilCompilerConstant0");
  EXPECT_EQ(index.get_constant_function("str:abc"), "QuorilCompilerConstant1");
  EXPECT_EQ(index.get_constant_function("int:5"), "QuorilCompilerConstant0");
}

TEST(FunctorsIndex, GroundPartnersTieAPredicateToItsTable) {
  Functors index({named_annotation("@Ground", "Back", {field(Json(int64_t{1}), pred("Delta"))}),
                  named_annotation("@Ground", "New", {field(Json(int64_t{1}), pred("Delta"))}),
                  named_annotation("@Ground", "Alone"),
                  named_annotation("@Ground", "Self", {field(Json(int64_t{1}), pred("Self"))}),
                  named_annotation("@Ground", "Odd",
                                   {field(Json(int64_t{1}), Json::object({{"literal", Json::object()}}))})});
  using Names = std::vector<std::string>;
  EXPECT_EQ(index.ground_partners("Delta"), (Names{"Back", "New"}));
  EXPECT_EQ(index.ground_partners("Back"), Names{"Delta"});
  EXPECT_EQ(index.ground_partners("Alone"), Names{});
  EXPECT_EQ(index.ground_partners("Self"), Names{});
  EXPECT_EQ(index.ground_partners("Odd"), Names{});
}

TEST(FunctorsTreeWalks, FindAndRenamePredicates) {
  Json tree =
      Json::object({{"head", call_node("P", {field(0, var("P")), field("f", pred("Q"))})},
                    {"body", conj({atom("P", {var("x")}), atom("PP", {var("x")}), negated("R"),
                                   Json::object({{"predicate", Json::object({{"predicate_name", 7}})}})})},
                    {"full_text", "P(x) :- P(x)"}});
  EXPECT_EQ(extract_predicate_names(tree), (NameSet{"Combine", "IsNull", "P", "PP", "Q", "R"}));
  EXPECT_EQ(walk_with_taboo(tree, {"P", "Q", "R", "Z"}, {"combine", "the_predicate"}), NameSet{"P"});
  Json renamed = tree;
  walk_replace_predicate(renamed, "P", "New");
  EXPECT_EQ(extract_predicate_names(renamed), (NameSet{"Combine", "IsNull", "New", "PP", "Q", "R"}));
  walk_replace_predicate(renamed, "New", "P");  // texts and variable names were left alone
  EXPECT_EQ(renamed, tree);
}

}  // namespace
}  // namespace mirtova
