// The rewrites that the unfolding styles make of the rule list, and the test
// that picks the semi-naive loop.
#include <gtest/gtest.h>

#include "compiler/functors/horizontal.h"
#include "compiler/functors/semi_naive.h"
#include "compiler/functors/tree_walks.h"
#include "compiler/functors/vertical.h"
#include "support/makes_support.h"

namespace mirtova {
namespace {

using namespace trees;
using namespace makes_testing;

const std::string kAux = "M_MultBodyAggAux";

// Each rule as "Head <- sorted names in its body and head record".
std::vector<std::string> summary(const std::vector<Json>& rules) {
  std::vector<std::string> out;
  for (const Json& r : rules) {
    std::string line = std::string(head_name(r)) + " <-";
    NameSet names;
    if (const Json* body = r.get("body")) names.merge(extract_predicate_names(*body));
    if (const Json* record = r.at("head").get("record")) names.merge(extract_predicate_names(*record));
    for (const std::string& n : names) line += " " + n;
    out.push_back(line);
  }
  return out;
}

std::vector<Json> sample_rules() {
  return {calls_rule("M", {"M", kAux, "E"}),   calls_rule(kAux, {"M", "E"}),
          calls_rule("Out", {"M", kAux}),      named_annotation("@Ground", "M"),
          named_annotation("@OrderBy", "M"),   named_annotation("@Limit", kAux),
          named_annotation("@Recursive", "M"), named_annotation("@Make", "M")};
}

TEST(FunctorsRewrite, VerticalTemplate) {
  std::vector<Json> rules = sample_rules();
  rename_for_vertical(rules, "M", {"M", kAux});
  const std::vector<std::string> expected = {
      "M_recursive_head <- E M_MultBodyAggAux_recursive_head M_recursive",
      "M_MultBodyAggAux_recursive_head <- E M_recursive",
      "Out <- M M_MultBodyAggAux",
      "@Ground <- M",
      "@OrderBy <- M",
      "@Limit <- M_MultBodyAggAux",
      "@Recursive <- M_recursive_head",
      "@Make <- M",
  };
  EXPECT_EQ(summary(rules), expected);
  // Only names change: the rule's text is the user's.
  EXPECT_EQ(rules[0].at("full_text").as_str(), "M(x)");
}

TEST(FunctorsRewrite, FlatOneStepForms) {
  std::vector<Json> rules = sample_rules();
  rewrite_for_flat(rules, {"M", kAux});
  const std::vector<std::string> expected = {
      "M_ROne <- E M_MultBodyAggAux M_RZero",
      "M_MultBodyAggAux <- E M_RZero",
      "Out <- M M_MultBodyAggAux",
      "@Ground <- M",
      "@OrderBy <- M",
      "@Limit <- M_MultBodyAggAux",
      "@Recursive <- M_ROne",
      "@Make <- M",
  };
  EXPECT_EQ(summary(rules), expected);
}

TEST(FunctorsRewrite, FlatDependencies) {
  // a reaches B only through the auxiliary predicate; B names a twice.
  std::map<std::string, NameSet> direct = {
      {"a", {"a_MultBodyAggAux", "T"}}, {"a_MultBodyAggAux", {"B", "a_MultBodyAggAux"}}, {"B", {"a", "B"}}};
  NameSet component{"a", "a_MultBodyAggAux", "B"};
  std::map<std::string, NameSet> expected = {{"B", {"B", "a"}}, {"a", {"B"}}};
  EXPECT_EQ(flat_dependencies(direct, component), expected);
  EXPECT_EQ(visible_members(component), (std::vector<std::string>{"B", "a"}));
}

Json distinct_rule(const std::string& head, std::vector<Json> fields, std::vector<Json> body) {
  Json r = Json::object(
      {{"head", call_node(head, std::move(fields))}, {"distinct_denoted", true}, {"full_text", head}});
  if (!body.empty()) r.set("body", conj(std::move(body)));
  return r;
}

TEST(FunctorsRewrite, SemiNaiveTest) {
  auto f = [](const Json& name) { return field(name, var("x")); };
  Json aggregated = Json::object(
      {{"field", 1}, {"value", Json::object({{"aggregation", Json::object({{"expression", var("x")}})}})}});
  Json base = distinct_rule("P", {f(0), f(1)}, {atom("E", {var("x")})});
  Json step = distinct_rule("P", {f(0), f(1)}, {atom("P", {var("x")}), atom("E", {var("x")})});
  Json plain_step = calls_rule("P", {"P", "E"});
  plain_step.at_mut("head") = call_node("P", {f(0), f(1)});
  struct Case {
    const char* name;
    NameSet component;
    std::vector<Json> rules;
    std::optional<Json::ArrayType> expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"linear distinct recursion", {"P"}, {base, step, calls_rule("Other", {"P", "P"})}, Json::ArrayType{0, 1}},
      {"other names of the same positions", {"P"}, {step, distinct_rule("P", {field(0, var("u")), field(1, var("w"))}, {})},
       Json::ArrayType{0, 1}},
      {"two calls", {"P"}, {base, distinct_rule("P", {f(0), f(1)}, {atom("P", {var("x")}), atom("P", {var("x")})})}, std::nullopt},
      {"call and auxiliary call", {"P", "P_MultBodyAggAux"},
       {distinct_rule("P", {f(0), f(1)}, {atom("P", {var("x")}), atom("P_MultBodyAggAux", {var("x")})})}, std::nullopt},
      {"negated call", {"P"}, {base, distinct_rule("P", {f(0), f(1)}, {negated("P")})}, std::nullopt},
      {"not distinct", {"P"}, {base, plain_step}, std::nullopt},
      {"named and positional heads differ", {"P"}, {base, distinct_rule("P", {f("a"), f("b")}, {atom("P", {var("x")})})},
       std::nullopt},
      {"aggregated head field", {"P"}, {distinct_rule("P", {f(0), aggregated}, {atom("P", {var("x")})})}, std::nullopt},
      {"auxiliary rule with two calls", {"P", "P_MultBodyAggAux"},
       {step, distinct_rule("P_MultBodyAggAux", {f(0)}, {atom("P", {var("x")}), atom("P", {var("x")})})}, std::nullopt},
      {"no head fields", {"P"}, {distinct_rule("P", {}, {atom("P", {var("x")})})}, Json::ArrayType{}},
  };
  // clang-format on
  for (const Case& c : cases)
    EXPECT_EQ(semi_naive_head_fields(c.component, "P", c.rules), c.expected) << c.name;
}

}  // namespace
}  // namespace mirtova
