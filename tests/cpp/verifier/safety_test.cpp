// The findings of the rule safety check: their texts, and their order within a
// rule and over a program.
#include "verifier/safety.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/trees.h"
#include "support/verifier_programs.h"

namespace mirtova::verifier {
namespace {

using namespace trees;

std::string head_var(const std::string& name, const std::string& rule) {
  return "Unbound variable '" + name + "' in head of rule: " + rule;
}
std::string tested(const std::string& name, const std::string& rule) {
  return "Unbound variable '" + name +
         "': it is tested (compared, negated, matched) but never given a value in: " + rule;
}
std::string negation(const std::string& name, const std::string& rule) {
  return "Unsafe negation: variable '" + name + "' only appears negated in: " + rule;
}
std::string aggregation(const std::string& name, const std::string& rule) {
  return "Unsafe aggregation: variable '" + name + "' not bound outside aggregate in: " + rule;
}
std::string function(const std::string& name, const std::string& rule) {
  return "'" + name + "' is a function: as a condition, " + name +
         "(...) holds whatever its value; compare its value (" + name + "(...) == true) in: " + rule;
}
std::string disjunction(const std::string& rule) {
  return "A disjunction inside a negation or a combine is not supported: write the alternatives as rules of "
         "a "
         "predicate of their own and use it there, in: " +
         rule;
}
std::string aggregate(const std::string& name, const std::string& rule) {
  return "'" + name + "' is an aggregate: aggregate in a head with distinct (`n? " + name +
         "= x`) or in a combine (`(combine " + name + "= x :- ...)`), in: " + rule;
}
std::string counted(const std::string& name, const std::string& rule) {
  return name +
         " is an aggregate that takes how many values to keep: name it with the count, `Top2(x) = " + name +
         "(x, 2);`, and aggregate with it in a head with distinct, `best? Top2= item -> score`, in: " + rule;
}

std::vector<std::string> texts(const std::vector<SafetyError>& findings) {
  std::vector<std::string> out;
  for (const SafetyError& finding : findings) out.push_back(finding.text());
  return out;
}

std::vector<std::string> safety_of(const std::string& source) {
  Json program = parsed_program(source);
  return texts(check_safety(rule_lists(program).plain));
}

void expect_rows(const std::vector<FindingRow>& rows) { expect_findings(rows, safety_of); }

TEST(Safety, VariableFindings) {
  expect_rows({
      {"unbound head variable", "P(x, y) :- Q(x);", {head_var("y", "P(x, y) :- Q(x)")}},
      {"tested, never given a value", "P(x) :- Q(x), y > 3;", {tested("y", "P(x) :- Q(x), y > 3")}},
      {"a tested head variable is the head's finding",
       "P(y) :- Q(x), y > 3;",
       {head_var("y", "P(y) :- Q(x), y > 3")}},
      {"tested names in byte order",
       "P(x) :- Q(x), a_ > 1, b > 1, a1 > 1;",
       {tested("a1", "P(x) :- Q(x), a_ > 1, b > 1, a1 > 1"),
        tested("a_", "P(x) :- Q(x), a_ > 1, b > 1, a1 > 1"),
        tested("b", "P(x) :- Q(x), a_ > 1, b > 1, a1 > 1")}},
      {"unsafe negation", "P(x) :- Q(x), ~R(x, y);", {negation("y", "P(x) :- Q(x), ~R(x, y)")}},
      {"local to the negation", "P(x) :- Q(x), ~(R(x, y), S(y));", {}},
      {"unsafe aggregation",
       "P(x) :- Q(x), x == Sum(y);",
       {aggregation("y", "P(x) :- Q(x), x == Sum(y)"), aggregate("Sum", "P(x) :- Q(x), x == Sum(y)")}},
      {"what a predicate's arguments hold is bound",
       "P(x) :- Q(x), R(a: Sum(y));",
       {aggregate("Sum", "P(x) :- Q(x), R(a: Sum(y))")}},
      {"function inputs are bound", "F(x) = x + y :- Q(y);", {}},
      {"a function's value is not", "F(x) = y :- Q(z);", {head_var("y", "F(x) = y :- Q(z)")}},
      {"a fact is not examined", "P(x, y);", {}},
      // No body: compile refuses the call, naming what its arguments do not give.
      {"a function without a body reads only its inputs",
       "F(x) = x + y; G(x) = Sum{z :- z in x}; H(x) = [x, w];",
       {"Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an "
        "inclusion.",
        "Variable 'w' is not given a value in this rule: bind it with a predicate, an equality or an "
        "inclusion."}},
      {"_ is never reported, _x is",
       "P(_x, _) :- Q(z), _ > 1, ~R(_);",
       {head_var("_x", "P(_x, _) :- Q(z), _ > 1, ~R(_)")}},
      {"head variables in byte order, then negations",
       "P(z, b, a) :- Q(x), ~R(w), ~S(v);",
       {head_var("a", "P(z, b, a) :- Q(x), ~R(w), ~S(v)"), head_var("b", "P(z, b, a) :- Q(x), ~R(w), ~S(v)"),
        head_var("z", "P(z, b, a) :- Q(x), ~R(w), ~S(v)"), negation("v", "P(z, b, a) :- Q(x), ~R(w), ~S(v)"),
        negation("w", "P(z, b, a) :- Q(x), ~R(w), ~S(v)")}},
      {"one name in several steps",
       "P(y) :- Q(x), ~R(y);",
       {head_var("y", "P(y) :- Q(x), ~R(y)"), negation("y", "P(y) :- Q(x), ~R(y)")}},
      {"an aggregated head field",
       "P(x, n? Sum= y) distinct :- Q(x);",
       {aggregation("y", "P(x, n? Sum= y) distinct :- Q(x)")}},
  });
}

TEST(Safety, CallsAndDisjunctions) {
  const std::string f = "F(x) = x + 1;";
  expect_rows({
      {"a function as a condition", f + "P(x) :- Q(x), F(x);", {function("F", "P(x) :- Q(x), F(x)")}},
      {"twice in one rule",
       f + "P(x) :- Q(x), F(x), F(x);",
       {function("F", "P(x) :- Q(x), F(x), F(x)"), function("F", "P(x) :- Q(x), F(x), F(x)")}},
      {"compared, it is no condition", f + "P(x) :- Q(x), F(x) == 2;", {}},
      {"a negation is the condition", f + "P(x) :- Q(x), ~F(x);", {}},
      {"inside a combine in an expression",
       f + "P(x, s) :- Q(x), s == Sum{y :- R(y), F(y)};",
       {function("F", "P(x, s) :- Q(x), s == Sum{y :- R(y), F(y)}")}},
      {"one functional and one ordinary rule", "F(x) = x + 1; F(x) :- Q(x); P(x) :- Q(x), F(x);", {}},
      {"a disjunction in a negation",
       "P(x) :- Q(x), ~(R(x) | S(x));",
       {disjunction("P(x) :- Q(x), ~(R(x) | S(x))")}},
      {"two combines with disjunctions: one finding",
       "P(x) :- Q(x), ~(R(x) | S(x)), ~(T(x) | U(x));",
       {disjunction("P(x) :- Q(x), ~(R(x) | S(x)), ~(T(x) | U(x))")}},
      {"a disjunction of the body itself", "P(x) :- Q(x) | R(x);", {}},
      {"Sum in a head field, twice",
       "P(x, s: Sum(x), t: Sum(x)) :- Q(x);",
       {aggregate("Sum", "P(x, s: Sum(x), t: Sum(x)) :- Q(x)")}},
      {"Sum in a body expression",
       "P(x) :- Q(x), x > 1 + Sum(x);",
       {aggregate("Sum", "P(x) :- Q(x), x > 1 + Sum(x)")}},
      {"Sum aggregating in a head or a combine",
       "P(x, n? Sum= y) distinct :- Q(x, y), y == Sum{z :- R(z)};",
       {}},
      {"ArgMaxK with one argument",
       "P(x, best? ArgMaxK= y) distinct :- Q(x, y);",
       {counted("ArgMaxK", "P(x, best? ArgMaxK= y) distinct :- Q(x, y)")}},
      {"functions that aggregate",
       "Top2(x) = ArgMaxK(x, 2); Best(x) = Top2(x); P(x, y) :- Q(x), y == Best(x);",
       {aggregate("Best", "P(x, y) :- Q(x), y == Best(x)")}},
      {"a chain of them",
       "Top2(x) = ArgMaxK(x, 2); P(x, y, z) :- Q(x), y == Top2(x), z == Best(x); Best(x) = Top2(x);",
       {aggregate("Top2", "P(x, y, z) :- Q(x), y == Top2(x), z == Best(x)"),
        aggregate("Best", "P(x, y, z) :- Q(x), y == Top2(x), z == Best(x)")}},
  });
}

TEST(Safety, OrderOverRules) {
  // Each rule's variable findings, rule after rule, then the blocks of calls.
  expect_rows({
      {"kind 0 of both rules before kind 6 of either",
       "P(x, y, s: Sum(x)) :- Q(x); R(x, y, s: Sum(x)) :- Q(x);",
       {head_var("y", "P(x, y, s: Sum(x)) :- Q(x)"), head_var("y", "R(x, y, s: Sum(x)) :- Q(x)"),
        aggregate("Sum", "P(x, y, s: Sum(x)) :- Q(x)"), aggregate("Sum", "R(x, y, s: Sum(x)) :- Q(x)")}},
      {"functions, then disjunctions, then aggregates",
       "F(x) = x + 1; P(x, s: Sum(x)) :- Q(x), ~(R(x) | S(x)); T(x) :- Q(x), F(x);",
       {function("F", "T(x) :- Q(x), F(x)"), disjunction("P(x, s: Sum(x)) :- Q(x), ~(R(x) | S(x))"),
        aggregate("Sum", "P(x, s: Sum(x)) :- Q(x), ~(R(x) | S(x))")}},
  });
}

TEST(Safety, TreesTheParserDoesNotWrite) {
  // A rule without text is quoted as "<unknown>"; an empty head name is a rule.
  Json program = Json::object(
      {{"rule",
        Json::array({make_object("head", head("", {var("y")}), "body", conj({atom("Q", {var("x")})})),
                     rule(head("@OrderBy", {var("z")}), {atom("Q", {var("x")})}, "@OrderBy(z) :- Q(x)"),
                     rule(head("P", {var("x")}),
                          {disj({conj({atom("Q", {var("x"), var("y")})}), conj({atom("R", {var("x")})})}),
                           cond(">", var("y"), num(1))},
                          "P(x) :- (Q(x, y) | R(x)), y > 1")})}});
  EXPECT_EQ(
      texts(check_safety(rule_lists(program).plain)),
      (std::vector<std::string>{head_var("y", "<unknown>"), tested("y", "P(x) :- (Q(x, y) | R(x)), y > 1")}));

  // ArgMaxK aggregating with its count gives nothing.
  Json counted_rule = rule(head("P", {var("x")}, {{"best", Json()}}), {atom("Q", {var("x"), var("y")})}, "P");
  counted_rule.at_mut("head").at_mut("record").at_mut("field_value").as_array_mut()[1] =
      make_object("field", "best", "value",
                  make_object("aggregation", make_object("expression", call("ArgMaxK", {var("y"), num(2)}))));
  EXPECT_TRUE(check_safety({&counted_rule}).empty());
}

TEST(Safety, DisjunctionInCombineAnywhere) {
  struct Row {
    const char* rule;
    bool found;
  };
  const Row rows[] = {
      {"P(x) :- Q(x), ~(R(x) | S(x));", true},
      {"P(x, s: Sum{y :- R(y) | S(y)}) :- Q(x);", true},
      {"P(x) :- Q(x), ~(R(x), ~(S(x) | T(x)));", true},
      {"P(x) :- Q(x), ~(R(x), S(x));", false},
      {"P(x) :- Q(x) | R(x);", false},
  };
  for (const Row& row : rows) {
    Json program = parsed_program(row.rule);
    for (const Json& rule : program.at("rule").as_array())
      EXPECT_EQ(has_disjunction_in_combine(rule), row.found) << row.rule;
  }
}

// A rule of many findings holds its text once, so that the findings of a long
// rule take memory in proportion to the rule, not to the rule times the findings.
TEST(SafetyFindings, OneRuleSharesOneText) {
  const char* const sources[] = {
      "P(a, b, c) :- Q(x), y > 1, z > 1;",
      "F(x) = x; P(x) :- Q(x), F(x), F(x), F(x);",
      "P(x) :- Q(x), Sum(x) > 1, Max(x) > 1, Count(x) > 1;",
  };
  for (const char* source : sources) {
    Json program = parsed_program(source);
    const std::vector<SafetyError> findings = check_safety(rule_lists(program).plain);
    ASSERT_GE(findings.size(), 3u) << source;
    for (const SafetyError& finding : findings)
      EXPECT_EQ(&finding.rule.str(), &findings.front().rule.str()) << source << ": " << finding.text();
  }
}

}  // namespace
}  // namespace mirtova::verifier
