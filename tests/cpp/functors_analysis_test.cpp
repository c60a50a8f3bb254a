// Recursion analysis: components, main predicates, styles, depths and the
// reading of @Recursive statements.
#include <gtest/gtest.h>

#include "compiler/functors/recursion_analysis.h"
#include "compiler/functors/unfold_recursion.h"
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

const std::string kAux = "P_MultBodyAggAux";

struct StyleCase {
  const char* name;
  std::vector<Calls> program;
  RecursionArgs options;
  bool iterative;
  std::vector<std::string> expected;  // "main:style" per component, by main
};

TEST(FunctorsAnalysis, MainPredicatesAndStyles) {
  const std::vector<StyleCase> cases = {
      {"no recursion", {{"A", {"B"}}, {"B", {}}}, {}, false, {}},
      {"self recursion, default depth", {{"P", {"P", "E"}}}, {{"P", {{"1", 8}}}}, false, {"P:vertical"}},
      {"same on an iterative engine", {{"P", {"P"}}}, {{"P", {{"1", 8}}}}, true, {"P:iterative_horizontal"}},
      {"depth 20 stays vertical", {{"P", {"P"}}}, {{"P", {{"1", 20}}}}, false, {"P:vertical"}},
      {"depth 21 iterates", {{"P", {"P"}}}, {{"P", {{"1", 21}}}}, false, {"P:iterative_horizontal"}},
      {"infinite depth", {{"P", {"P"}}}, {{"P", {{"1", -1}}}}, false, {"P:iterative_horizontal"}},
      {"mutual recursion", {{"A", {"B"}}, {"B", {"A"}}}, {}, false, {"A:horizontal"}},
      {"auxiliary member on every cycle", {{"P", {kAux}}, {kAux, {"P"}}}, {}, false, {"P:vertical"}},
      {"auxiliary member calling itself", {{"P", {kAux}}, {kAux, {"P", kAux}}}, {}, false, {"P:horizontal"}},
      {"auxiliary predicates alone are never found", {{kAux, {kAux}}}, {}, false, {}},
      {"annotated member is main", {{"A", {"B"}}, {"B", {"A"}}, {"C", {"C"}}}, {{"B", {{"1", 3}}}}, false,
       {"B:horizontal", "C:vertical"}},
      {"smaller annotated name wins and its depth counts",
       {{"A", {"C"}}, {"C", {"D"}}, {"D", {"A"}}},
       {{"D", {{"1", 30}}}, {"C", {{"1", 2}}}},
       false,
       {"C:horizontal"}},
      {"text depth reads as 8", {{"P", {"P"}}}, {{"P", {{"1", std::string("x")}}}}, false, {"P:vertical"}},
  };
  for (const StyleCase& c : cases) {
    Functors index(program(c.program));
    RecursionArgs options = c.options;
    std::vector<std::string> got;
    for (const UnfoldingChoice& choice : choose_unfoldings(index, options, c.iterative))
      got.push_back(choice.main + ":" + choice.style);
    EXPECT_EQ(got, c.expected) << c.name;
  }
}

TEST(FunctorsAnalysis, InfiniteDepthIsWrittenBack) {
  Functors index(program({{"P", {"P"}}}));
  RecursionArgs options{{"P", {{"1", -1}}}};
  choose_unfoldings(index, options, false);
  EXPECT_EQ(recursion_depth(options, "P"), 1000000000);
  EXPECT_EQ(recursion_depth(options, "Q"), 8);
}

TEST(FunctorsAnalysis, ComponentsAreFoundFromTheirSmallestVisibleMember) {
  Functors index(program({{"Z", {"Y"}}, {"Y", {"Z", kAux}}, {kAux, {"Y"}}, {"B", {"B"}}, {"X", {"Y"}}}));
  const std::vector<NameSet> expected = {{"B"}, {kAux, "Y", "Z"}};
  EXPECT_EQ(recursive_components(index), expected);
}

TEST(FunctorsAnalysis, CycleTestFollowsOnlyPathsAvoidingTheMain) {
  struct Case {
    std::vector<Calls> program;
    std::string main;
    bool cycle;
  };
  const std::vector<Case> cases = {
      {{{"M", {"A", "B"}}, {"A", {"M"}}, {"B", {"A"}}}, "M", false},
      {{{"M", {"A"}}, {"A", {"B"}}, {"B", {"A", "M"}}}, "M", true},
      {{{"M", {"M"}}}, "M", false},
  };
  // A wide diamond ladder: exponentially many paths, no cycle avoiding M.
  std::vector<Calls> ladder{{"M", {"L0a", "L0b"}}};
  for (int i = 0; i < 60; ++i) {
    const std::string next = i == 59 ? "M" : "L" + std::to_string(i + 1);
    const std::vector<std::string> targets = i == 59 ? std::vector<std::string>{"M"}
                                                     : std::vector<std::string>{next + "a", next + "b"};
    ladder.push_back({"L" + std::to_string(i) + "a", targets});
    ladder.push_back({"L" + std::to_string(i) + "b", targets});
  }
  for (const Case& c : cases) {
    Functors index(program(c.program));
    NameSet component;
    for (const Calls& calls : c.program) component.insert(calls.head);
    EXPECT_EQ(has_cycle_avoiding(index, c.main, component), c.cycle);
  }
  Functors index(program(ladder));
  EXPECT_FALSE(has_cycle_avoiding(index, "M", recursive_components(index).front()));
}

TEST(FunctorsAnalysis, Ignition) {
  const std::vector<std::tuple<size_t, int64_t, int64_t>> cases = {
      {1, 8, 5}, {1, 7, 4}, {2, 8, 5}, {2, 7, 6}, {1, -3, 4}, {1, 1000000000, 5}};
  for (const auto& [size, depth, ignition] : cases)
    EXPECT_EQ(default_ignition(size, depth), ignition) << size << " " << depth;
}

Json recursive(std::vector<Json> fields) {
  return Json::object({{"head", call("@Recursive", std::move(fields))}, {"full_text", "@Recursive(...)"}});
}

TEST(FunctorsAnalysis, RecursiveStatementsGiveDepths) {
  auto p = field(0, pred_literal("P"));
  auto depth = [](const std::string& text) { return field(1, number(text)); };
  struct Case {
    const char* name;
    std::vector<Json> rules;
    RecursionArgs expected;
  };
  const std::vector<Case> cases = {
      {"no statement", {rule("P", {"P"})}, {}},
      {"no depth", {recursive({p})}, {{"P", {{"1", 8}}}}},
      {"depth 5", {recursive({p, depth("5")})}, {{"P", {{"1", 5}}}}},
      {"signed depth", {recursive({p, depth("+7")})}, {{"P", {{"1", 7}}}}},
      {"infinity", {recursive({p, depth("-1")})}, {{"P", {{"1", -1}}}}},
      {"integer node", {recursive({p, field(1, Json::object({{"literal", Json::object({{"the_number", 12}})}}))})},
       {{"P", {{"1", 12}}}}},
      {"fraction", {recursive({p, depth("8.5")})}, {{"P", {{"1", 8}}}}},
      {"lone sign", {recursive({p, depth("-")})}, {{"P", {{"1", 8}}}}},
      {"too large", {recursive({p, depth("9223372036854775808")})}, {{"P", {{"1", 8}}}}},
      {"smallest", {recursive({p, depth("-9223372036854775808")})}, {{"P", {{"1", INT64_MIN}}}}},
      {"named predicate argument", {recursive({p, field("stop", pred_literal("Q"))})}, {{"P", {{"1", 8}}}}},
      {"text instead of predicate",
       {recursive({field(0, Json::object({{"literal", Json::object({{"the_string", Json::object(
                                                                        {{"the_string", "P"}})}})}})),
                   depth("5")})},
       {}},
      {"no arguments", {recursive({})}, {}},
      {"later statement wins", {recursive({p, depth("3")}), recursive({p})}, {{"P", {{"1", 8}}}}},
  };
  for (const Case& c : cases) EXPECT_EQ(recursion_options(c.rules), c.expected) << c.name;

  for (const char* engine : {"trino", "presto", "databricks"}) EXPECT_TRUE(is_iterative_engine(engine));
  for (const char* engine : {"duckdb", "psql", "sqlite", "bigquery", "Trino"}) EXPECT_FALSE(is_iterative_engine(engine));
}

TEST(FunctorsAnalysis, UnfoldingWithoutRecursionCopiesTheRules) {
  std::vector<Json> rules = program({{"A", {"B"}}, {"B", {}}});
  auto result = unfold_recursion(rules, "duckdb");
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value(), rules);

  // Depth 0 leaves the component alone, still recursive.
  std::vector<Json> zero = program({{"P", {"P"}}});
  zero.push_back(recursive({field(0, pred_literal("P")), field(1, number("0"))}));
  auto kept = unfold_recursion(zero, "duckdb");
  ASSERT_TRUE(kept.ok());
  EXPECT_EQ(kept.value(), zero);
}

TEST(FunctorsAnalysis, StopSignalOutsideTheComponentIsRefused) {
  Functors index(program({{"P", {"P"}}, {"Q", {}}}));
  RecursionArgs options{{"P", {{"1", 30}, {"stop", std::string("Q")}}}};
  auto result = index.unfold_recursions(options, false);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(), CompileError("Recursive predicate 'P' uses stop signal 'Q' that does not exist or is "
                                         "outside of the recursive component.",
                                         "P"));
}

}  // namespace
}  // namespace mirtova
