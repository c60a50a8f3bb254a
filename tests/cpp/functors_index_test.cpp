// The functor index: direct and transitive dependencies, rule lookup,
// incremental re-indexing, and the tree walks it is built on.
#include <gtest/gtest.h>

#include "compiler/functors/functors.h"
#include "compiler/functors/tree_walks.h"
#include "functors_builders.h"

namespace mirtova {
namespace {

using namespace functors_testing;

struct Calls {
  std::string head;
  std::vector<std::string> callees;
};

std::vector<Json> program(const std::vector<Calls>& calls) {
  std::vector<Json> rules;
  for (const Calls& c : calls) rules.push_back(rule(c.head, c.callees));
  return rules;
}

struct ArgsCase {
  const char* name;
  std::vector<Calls> program;
  std::map<std::string, NameSet> direct;
  std::map<std::string, NameSet> args;
};

TEST(FunctorsIndex, DirectAndTransitiveArgumentSets) {
  const std::vector<ArgsCase> cases = {
      {"empty program", {}, {}, {}},
      {"self call with a table",
       {{"P", {"P", "Q"}}, {"R", {"Q"}}},
       {{"P", {"P", "Q"}}, {"R", {"Q"}}},
       {{"P", {"P", "Q"}}, {"R", {"Q"}}}},
      {"mutual recursion", {{"P", {"Q"}}, {"Q", {"P"}}}, {{"P", {"Q"}}, {"Q", {"P"}}}, {{"P", {"P", "Q"}}, {"Q", {"P", "Q"}}}},
      {"chain", {{"A", {"B"}}, {"B", {"C"}}, {"C", {"T"}}},
       {{"A", {"B"}}, {"B", {"C"}}, {"C", {"T"}}},
       {{"A", {"B", "C", "T"}}, {"B", {"C", "T"}}, {"C", {"T"}}}},
      {"cycle below an entry, built from the entry",
       {{"A", {"B"}}, {"B", {"C"}}, {"C", {"B", "D"}}, {"D", {}}},
       {{"A", {"B"}}, {"B", {"C"}}, {"C", {"B", "D"}}, {"D", {}}},
       {{"A", {"B", "C", "D"}}, {"B", {"B", "C", "D"}}, {"C", {"B", "C", "D"}}, {"D", {}}}},
      {"two cycles joined through a later name",
       {{"Z", {"A"}}, {"A", {"Z", "M"}}, {"M", {"N"}}, {"N", {"M"}}},
       {{"A", {"M", "Z"}}, {"M", {"N"}}, {"N", {"M"}}, {"Z", {"A"}}},
       {{"A", {"A", "M", "N", "Z"}}, {"M", {"M", "N"}}, {"N", {"M", "N"}}, {"Z", {"A", "M", "N", "Z"}}}},
      {"a name that looks like a marker is an ordinary name",
       {{"building_P", {"P"}}, {"P", {"building_P"}}},
       {{"P", {"building_P"}}, {"building_P", {"P"}}},
       {{"P", {"P", "building_P"}}, {"building_P", {"P", "building_P"}}}},
  };
  for (const ArgsCase& c : cases) {
    Functors index(program(c.program));
    EXPECT_EQ(index.direct_args, c.direct) << c.name;
    EXPECT_EQ(index.args, c.args) << c.name;
    EXPECT_EQ(index.input_rule_count, c.program.size()) << c.name;
    EXPECT_EQ(index.indexed_rule_count, c.program.size()) << c.name;
  }
}

TEST(FunctorsIndex, RulesByPredicateAndWhatCounts) {
  Json headless = Json::object({{"body", conj({atom("Hidden")})}});
  // P(x, pred: Q) names Q through its head record; the head's own name does not count.
  Json with_value = Json::object({{"head", call("P", {field(0, var("x")), field("pred", pred_literal("Q"))})}});
  std::vector<Json> rules{rule("P", {"A"}), headless, with_value, rule("P", {"B"})};
  Functors index(rules);
  ASSERT_EQ(index.rules_by_predicate.size(), 1u);
  const std::vector<Json>& of_p = index.rules_by_predicate.at("P");
  ASSERT_EQ(of_p.size(), 3u);
  EXPECT_EQ(of_p[0], rules[0]);
  EXPECT_EQ(of_p[2], rules[3]);
  EXPECT_EQ(index.predicates, NameSet{"P"});
  EXPECT_EQ(index.direct_args.at("P"), (NameSet{"A", "B", "Q"}));
  EXPECT_EQ(index.rules.size(), 4u);
  EXPECT_EQ(index.args_of("Hidden"), NameSet{});
  EXPECT_EQ(index.args_of("nobody"), NameSet{});
}

TEST(FunctorsIndex, LongChainBuildsWithoutDeepRecursion) {
  // Names sorted so that the first build walks the whole chain.
  const int n = 1000;
  std::vector<Calls> calls;
  auto name = [](int i) {
    std::string s = std::to_string(i);
    return "P" + std::string(6 - s.size(), '0') + s;
  };
  for (int i = 0; i < n; ++i) calls.push_back({name(i), {name(i + 1)}});
  Functors index(program(calls));
  EXPECT_EQ(index.args.at(name(0)).size(), size_t(n));
  EXPECT_EQ(index.args.at(name(n - 1)), NameSet{name(n)});
}

TEST(FunctorsIndex, UpdateStructureFollowsAppendedRules) {
  Functors index(program({{"X", {"N"}}, {"Y", {"T"}}, {"N", {}}}));
  EXPECT_EQ(index.args.at("X"), NameSet{"N"});
  // A second rule of N that calls Y; X's set mentions N and must be rebuilt.
  index.rules.push_back(rule("N", {"Y"}));
  index.rules.push_back(rule("Made", {"X"}));
  index.update_structure("N");
  EXPECT_EQ(index.indexed_rule_count, 5u);
  EXPECT_EQ(index.rules_by_predicate.at("N").size(), 2u);
  EXPECT_EQ(index.args.at("X"), (NameSet{"N", "T", "Y"}));
  EXPECT_EQ(index.args.at("Made"), (NameSet{"N", "T", "X", "Y"}));
  EXPECT_EQ(index.args.at("Y"), NameSet{"T"});

  // Re-indexing everything from scratch gives each rule once.
  index.rules_by_predicate.clear();
  index.predicates.clear();
  index.indexed_rule_count = 0;
  index.update_structure("nothing");
  EXPECT_EQ(index.rules_by_predicate.at("N").size(), 2u);
  EXPECT_EQ(index.rules_by_predicate.at("X").size(), 1u);
}

TEST(FunctorsIndex, AllRulesOfWarnsOnRemainingRecursion) {
  struct Case {
    std::vector<Calls> program;
    std::string name;
    std::vector<std::string> heads;
    std::string warning;
  };
  const std::vector<Case> cases = {
      {{{"P", {"P", "Q"}}, {"Q", {"R"}}, {"R", {}}, {"P", {"R"}}},
       "P",
       {"P", "P", "Q", "R"},
       "[WARNING] Failed to eliminate recursion of P.\n"},
      {{{"F", {"G", "H"}}, {"H", {"K"}}, {"G", {"X"}}}, "F", {"F", "G", "H"}, ""},
      {{{"F", {"G"}}}, "+", {}, ""},
  };
  for (const Case& c : cases) {
    Functors index(program(c.program));
    testing::internal::CaptureStderr();
    auto rules = index.all_rules_of(c.name);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning) << c.name;
    ASSERT_TRUE(rules.ok());
    std::vector<std::string> heads;
    for (const Json& r : rules.value()) heads.push_back(head_name(r));
    EXPECT_EQ(heads, c.heads) << c.name;
  }
}

TEST(FunctorsIndex, IterationCompanionsAndConstants) {
  std::vector<Json> rules = program({{"P", {}}});
  rules.push_back(annotation("@Iteration", "P",
                             {field("predicates", Json::object({{"literal", Json::object({{"the_list", Json::object(
                                 {{"element", Json::array({pred_literal("P_new"), pred_literal("P_back")})}})}})}})),
                              field("repetitions", number("4")), field("accumulate", pred_literal("P_full"))}));
  rules.push_back(annotation("@Iteration", "Q", {field("predicates", pred_literal("Q_step"))}));
  Functors index(rules);
  using Names = std::vector<std::string>;
  EXPECT_EQ(index.iteration_companions("P"), (Names{"P_back", "P_full", "P_new"}));
  EXPECT_EQ(index.iteration_companions("P_new"), (Names{"P", "P_back", "P_full"}));
  EXPECT_EQ(index.iteration_companions("Q"), (Names{"Q_step"}));
  EXPECT_EQ(index.iteration_companions("Other"), Names{});

  EXPECT_EQ(index.get_constant_function("int:5"), "QuorilCompilerConstant0");
  EXPECT_EQ(index.get_constant_function("str:abc"), "QuorilCompilerConstant1");
  EXPECT_EQ(index.get_constant_function("int:5"), "QuorilCompilerConstant0");
  EXPECT_EQ(index.constant_names.size(), 2u);
}

TEST(FunctorsTreeWalks, FindAndRenamePredicates) {
  Json tree = Json::object(
      {{"head", call("P", {field(0, var("P")), field("f", pred_literal("Q"))})},
       {"body", conj({atom("P"), atom("PP"), negated("R"), Json::object({{"predicate", Json::object({{"predicate_name", 7}})}})})},
       {"full_text", "P(x) :- P(x)"}});
  EXPECT_EQ(extract_predicate_names(tree), (NameSet{"Combine", "IsNull", "P", "PP", "Q", "R"}));
  EXPECT_EQ(walk_with_taboo(tree, {"P", "Q", "R", "Z"}, {"combine", "the_predicate"}), NameSet{"P"});
  EXPECT_EQ(walk_with_taboo(tree, {}, {}), NameSet{});

  walk_replace_predicate(tree, "P", "New");
  EXPECT_EQ(extract_predicate_names(tree), (NameSet{"Combine", "IsNull", "New", "PP", "Q", "R"}));
  EXPECT_EQ(tree.at("full_text").as_str(), "P(x) :- P(x)");
  EXPECT_EQ(tree.at("head").at("record").at("field_value").as_array()[0].at("value").at("expression").at("variable").at(
                "var_name"),
            Json("P"));
}

TEST(FunctorsTreeWalks, DeepTreesDoNotExhaustTheStack) {
  Json deep = atom("Leaf");
  for (int i = 0; i < 200000; ++i) {
    Json::ArrayType wrapper;
    wrapper.push_back(std::move(deep));
    deep = Json(std::move(wrapper));
  }
  EXPECT_EQ(extract_predicate_names(deep), (NameSet{"Leaf"}));
  walk_replace_predicate(deep, "Leaf", "Other");
  EXPECT_EQ(extract_predicate_names(deep), (NameSet{"Other"}));
  // Json's own destructor recurses; unwind the nest by hand.
  while (deep.is_array() && !deep.as_array().empty()) {
    Json inner = std::move(deep.as_array_mut().front());
    deep = std::move(inner);
  }
}

}  // namespace
}  // namespace mirtova
