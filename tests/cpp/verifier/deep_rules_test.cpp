// Rules and programs deeper and longer than any walk that calls itself could
// follow: the variable sets, the safety findings and stratification are still
// computed, on a small stack too.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "parser/depth_guard.h"
#include "parser/parse_file.h"
#include "support/small_stack.h"
#include "support/trees.h"
#include "support/verifier_programs.h"
#include "verifier/safety.h"
#include "verifier/stratification.h"
#include "verifier/vars.h"

namespace mirtova::verifier {
namespace {

using namespace trees;

std::vector<std::string> safety_texts(const RuleList& rules) {
  std::vector<std::string> out;
  for (const SafetyError& finding : check_safety(rules)) out.push_back(finding.text());
  return out;
}

TEST(DeepRules, NegationsInsideNegations) {
  constexpr int kDepth = 20000;
  Json body = conj({atom("R", {var("x"), var("y")})});
  for (int i = 0; i < kDepth; ++i) {
    // Built by moving: an initializer list would copy the tree, recursively.
    Json negated = make_object("combine", make_object("head", head("Combine", {}), "body", std::move(body)));
    Json call = make_call("IsNull", Json::array({make_field(Json(0), std::move(negated))}));
    body = make_conjunction(Json::array({make_predicate_conjunct(std::move(call))}));
  }
  Json rule = rule_with_body(head("P", {var("x")}), std::move(body), "deep");
  EXPECT_EQ(VarCollector::head_vars(rule), (VarSet{"x"}));
  EXPECT_EQ(VarCollector::positive_vars(rule), VarSet{});
  EXPECT_EQ(VarCollector::compared_vars(rule), VarSet{});
  EXPECT_EQ(VarCollector::negated_vars(rule), (VarSet{"x", "y"}));
  EXPECT_EQ(VarCollector::aggregation_vars(rule), VarSet{});
  EXPECT_EQ(safety_texts({&rule}),
            (std::vector<std::string>{"Unbound variable 'x' in head of rule: deep",
                                      "Unsafe negation: variable 'x' only appears negated in: deep",
                                      "Unsafe negation: variable 'y' only appears negated in: deep"}));
  EXPECT_FALSE(check_stratification({&rule}).has_value());
  // Taken apart from the top: destroying the tree whole would recurse.
  Json rest = std::move(rule.at_mut("body"));
  while (Json* inner = negated_body(rest)) {
    Json next = std::move(*inner);
    rest = std::move(next);
  }
}

// P0 calls P1, which calls P2, ... up to P{length - 1}, whose rule negates P0.
std::vector<Json> negated_chain(int length) {
  std::vector<Json> rules;
  rules.reserve(length);
  for (int i = 0; i + 1 < length; ++i) {
    rules.push_back(rule(head("P" + std::to_string(i), {var("x")}),
                         {atom("P" + std::to_string(i + 1), {var("x")})}, "P" + std::to_string(i)));
  }
  Json negated = make_object("combine", make_object("body", conj({atom("P0", {var("x")})})));
  rules.push_back(rule(head("P" + std::to_string(length - 1), {var("x")}),
                       {atom("T", {var("x")}), atom("IsNull", {std::move(negated)})}, "last"));
  return rules;
}

TEST(DeepRules, AChainOfAHundredThousandPredicates) {
  constexpr int kLength = 100000;
  const std::vector<Json> rules = negated_chain(kLength);
  RuleList plain;
  for (const Json& r : rules) plain.push_back(&r);
  EXPECT_TRUE(check_safety(plain).empty());
  std::optional<StratificationError> error = check_stratification(plain);
  ASSERT_TRUE(error.has_value());
  // The search enters the chain at P0 and leaves it from its far end.
  ASSERT_EQ(error->cycle.size(), size_t{kLength});
  EXPECT_EQ(error->cycle.front(), "P99999");
  EXPECT_EQ(error->cycle[1], "P99998");
  EXPECT_EQ(error->cycle.back(), "P0");
  // Without the rule that closes it, the chain is no cycle.
  plain.pop_back();
  EXPECT_FALSE(check_stratification(plain).has_value());
}

std::string repeat(const std::string& text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

// Programs nested as deeply as the parser allows, one shape each, all safe but
// the last, whose one disjunction sits under every negation.
TEST(DeepRules, TheDeepestRulesTheParserAccepts) {
  struct Shape {
    const char* name;
    std::string (*program)(size_t depth);
    size_t disjunctions;
  };
  const Shape shapes[] = {
      {"parentheses", [](size_t d) { return "Q(x) :- x == " + repeat("(", d) + "1" + repeat(")", d) + ";"; },
       0},
      {"records", [](size_t d) { return "Q(x) :- x == " + repeat("{a: ", d) + "1" + repeat("}", d) + ";"; },
       0},
      {"negations",
       [](size_t d) { return "A(1); Q(x) :- A(x), " + repeat("~(", d) + "A(x)" + repeat(")", d) + ";"; }, 0},
      {"aggregations",
       [](size_t d) {
         return "A(1); Q(x) :- x == " + repeat("Sum{", d) + "1" + repeat(" :- A(y)}", d) + ";";
       },
       0},
      {"functions",
       [](size_t d) { return "F(x) = x + 1; Q(y) :- y == " + repeat("F(", d) + "1" + repeat(")", d) + ";"; },
       0},
      {"head functions",
       [](size_t d) { return "F(x) = x + 1; Q(" + repeat("F(", d) + "x" + repeat(")", d) + ") :- A(x);"; },
       0},
      {"alternatives",
       [](size_t d) {
         return "A(1); Q(x) :- A(x), " + repeat("(x == 1 | ", d) + "x == 2" + repeat(")", d) + ";";
       },
       0},
      {"if-then-else",
       [](size_t d) {
         return "A(1); Q(x, y) :- A(x), y == " + repeat("if x > 1 then 1 else (", d) + "0" + repeat(")", d) +
                ";";
       },
       0},
      {"alternatives under negations",
       [](size_t d) {
         return "A(1); B(1); Q(x) :- A(x), " + repeat("~(", d) + "A(x) | B(x)" + repeat(")", d) + ";";
       },
       1},
  };
  for (const Shape& shape : shapes) {
    std::optional<Json> program;
    size_t depth = kMaxParseDepth;
    for (; depth > 0 && !program; --depth) {
      auto parsed = parse_file(shape.program(depth));
      if (parsed.ok()) program = std::move(parsed).value();
    }
    ASSERT_TRUE(program.has_value()) << shape.name;
    EXPECT_GT(depth, kMaxParseDepth / 2) << shape.name;
    std::vector<std::string> findings;
    bool stratified = false;
    ASSERT_TRUE(assertion::testing::run_on_small_stack([&] {
      const RuleLists lists = rule_lists(*program);
      findings = safety_texts(lists.plain);
      stratified = !check_stratification(lists.plain).has_value();
    }));
    EXPECT_EQ(findings.size(), shape.disjunctions) << shape.name;
    for (const std::string& finding : findings)
      EXPECT_EQ(finding.rfind("A disjunction inside a negation or a combine is not supported", 0), 0u)
          << finding;
    EXPECT_TRUE(stratified) << shape.name;
  }
}

}  // namespace
}  // namespace mirtova::verifier
