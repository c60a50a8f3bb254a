// Recursion analysis: components, main predicates, styles, depths and the
// reading of @Recursive statements.
#include <gtest/gtest.h>

#include "compiler/functors/recursion_analysis.h"
#include "compiler/functors/unfold_recursion.h"
#include "support/makes_support.h"

namespace mirtova {
namespace {

using namespace trees;
using namespace makes_testing;

const std::string kAux = "P_MultBodyAggAux";

struct StyleCase {
  const char* name;
  std::vector<Calls> program;
  RecursionArgs options;
  bool iterative;
  std::vector<std::string> expected;  // "main:style" per component, by main
  uint64_t most_references = UINT64_MAX;
};

TEST(FunctorsAnalysis, MainPredicatesAndStyles) {
  // clang-format off
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
      // Level d of a rule reading P twice and E once references E 2^(d+1) - 1 times.
      {"doubling within the references", {{"P", {"P", "P", "E"}}}, {{"P", {{"1", 13}}}}, false, {"P:vertical"},
       65535},
      {"doubling past them iterates", {{"P", {"P", "P", "E"}}}, {{"P", {{"1", 14}}}}, false,
       {"P:iterative_horizontal"}, 65535},
      // A statement reading P three times holds its levels three times.
      {"read three times within", {{"Q", {"P", "P", "P"}}, {"P", {"P", "P", "E"}}}, {{"P", {{"1", 12}}}}, false,
       {"P:vertical"}, 65535},
      {"read three times past", {{"Q", {"P", "P", "P"}}, {"P", {"P", "P", "E"}}}, {{"P", {{"1", 13}}}}, false,
       {"P:iterative_horizontal"}, 65535},
      {"two rules reading P once each double too", {{"P", {"E"}}, {"P", {"P", "E"}}, {"P", {"E", "P"}}},
       {{"P", {{"1", 12}}}}, false, {"P:iterative_horizontal"}, 65535},
      {"a chain grows by one a level", {{"P", {"E"}}, {"P", {"P", "E"}}}, {{"P", {{"1", 20}}}}, false,
       {"P:vertical"}, 168},
      {"the auxiliary member shares its level", {{"P", {kAux}}, {kAux, {"E"}}, {kAux, {"P", "P"}}},
       {{"P", {{"1", 14}}}}, false, {"P:iterative_horizontal"}, 65535},
  };
  // clang-format on
  for (const StyleCase& c : cases) {
    Functors index(calls_program(c.program));
    RecursionArgs options = c.options;
    std::vector<std::string> got;
    for (const UnfoldingChoice& choice : choose_unfoldings(index, options, c.iterative, c.most_references))
      got.push_back(choice.main + ":" + choice.style);
    EXPECT_EQ(got, c.expected) << c.name;
    if (c.options.count("P") && recursion_depth(c.options, "P") == -1) {
      EXPECT_EQ(recursion_depth(options, "P"), 1000000000);
    }
  }
}

TEST(FunctorsAnalysis, ComponentsAndCyclesAvoidingTheMain) {
  Functors index(
      calls_program({{"Z", {"Y"}}, {"Y", {"Z", kAux}}, {kAux, {"Y"}}, {"B", {"B"}}, {"X", {"Y"}}}));
  EXPECT_EQ(recursive_components(index), (std::vector<NameSet>{{"B"}, {kAux, "Y", "Z"}}));
  // A ladder of diamonds has 2^60 paths and no cycle that avoids M.
  std::vector<Calls> ladder{{"M", {"L0a", "L0b"}}};
  for (int i = 0; i < 60; ++i) {
    const std::string next = "L" + std::to_string(i + 1);
    const std::vector<std::string> to =
        i == 59 ? std::vector<std::string>{"M"} : std::vector<std::string>{next + "a", next + "b"};
    ladder.push_back({"L" + std::to_string(i) + "a", to});
    ladder.push_back({"L" + std::to_string(i) + "b", to});
  }
  Functors wide(calls_program(ladder));
  EXPECT_FALSE(has_cycle_avoiding(wide, "M", recursive_components(wide).front()));
}

TEST(FunctorsAnalysis, Ignition) {
  const std::vector<std::tuple<size_t, int64_t, int64_t>> cases = {{1, 8, 5}, {1, 7, 4},  {2, 8, 5},
                                                                   {2, 7, 6}, {1, -3, 4}, {1, 1000000000, 5}};
  for (const auto& [size, depth, ignition] : cases)
    EXPECT_EQ(default_ignition(size, depth), ignition) << size << " " << depth;
}

Json recursive(std::vector<Json> fields) {
  return Json::object(
      {{"head", call_node("@Recursive", std::move(fields))}, {"full_text", "@Recursive(...)"}});
}

TEST(FunctorsAnalysis, RecursiveStatementsGiveDepths) {
  auto p = field(0, pred("P"));
  auto depth = [](const std::string& text) { return field(1, num(text)); };
  struct Case {
    const char* name;
    std::vector<Json> rules;
    RecursionArgs expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"no depth", {recursive({p})}, {{"P", {{"1", 8}}}}},
      {"signed depth", {recursive({p, depth("+7")})}, {{"P", {{"1", 7}}}}},
      {"infinity", {recursive({p, depth("-1")})}, {{"P", {{"1", -1}}}}},
      {"integer node", {recursive({p, field(1, Json::object({{"literal", Json::object({{"the_number", 12}})}}))})},
       {{"P", {{"1", 12}}}}},
      {"fraction", {recursive({p, depth("8.5")})}, {{"P", {{"1", 8}}}}},
      {"too large", {recursive({p, depth("9223372036854775808")})}, {{"P", {{"1", 8}}}}},
      {"named predicate argument", {recursive({p, field("stop", pred("Q"))})}, {{"P", {{"1", 8}}}}},
      {"named number argument", {recursive({p, field("ignition", num("3"))})}, {{"P", {{"1", 8}}}}},
      {"text instead of predicate",
       {recursive({field(0, Json::object({{"literal", Json::object({{"the_string", Json::object(
                                                                        {{"the_string", "P"}})}})}})),
                   depth("5")})},
       {}},
      {"later statement wins", {recursive({p, depth("3")}), recursive({p})}, {{"P", {{"1", 8}}}}},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(recursion_options(c.rules), c.expected) << c.name;
}

TEST(FunctorsAnalysis, UnfoldingWithoutRecursionCopiesTheRules) {
  std::vector<Json> rules = calls_program({{"A", {"B"}}, {"B", {}}});
  auto result = unfold_recursion(rules, false);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value(), rules);

  // Depth 0 leaves the component alone, still recursive.
  std::vector<Json> zero = calls_program({{"P", {"P"}}});
  zero.push_back(recursive({field(0, pred("P")), field(1, num("0"))}));
  auto kept = unfold_recursion(zero, false);
  ASSERT_TRUE(kept.ok());
  EXPECT_EQ(kept.value(), zero);
}

TEST(FunctorsAnalysis, NegativeDepthIsRefused) {
  Functors index(calls_program({{"P", {"P"}}}));
  RecursionArgs options{{"P", {{"1", -3}}}};
  GeneratedNames names;
  auto result = index.unfold_recursions(options, false, names);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().message,
            "@Recursive(P): the depth is a whole number of steps, 1 or more, or -1 to recurse until nothing "
            "changes");
}

TEST(FunctorsAnalysis, StopSignalOutsideTheComponentIsRefused) {
  Functors index(calls_program({{"P", {"P"}}, {"Q", {}}}));
  RecursionArgs options{{"P", {{"1", 30}, {"stop", std::string("Q")}}}};
  GeneratedNames names;
  auto result = index.unfold_recursions(options, false, names);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error(),
            CompileError("Recursive predicate 'P' uses stop signal 'Q' that does not exist or is "
                         "outside of the recursive component.",
                         "P"));
}

}  // namespace
}  // namespace mirtova
