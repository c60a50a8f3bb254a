// The aggregation rewrite runs in two halves around the other passes, and
// objects are built with their room reserved; both must give exactly the trees
// of the one-pass rewrite and of setting entries one by one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/forms.h"
#include "parser/parse_file.h"
#include "parser/rewrite.h"
#include "parser/tree_build.h"

namespace mirtova {
namespace {

Json parsed_rules(const std::vector<std::string>& statements) {
  Json::ArrayType rules;
  for (const std::string& text : statements) {
    auto rule = parse_rule(SpanString(text));
    if (!rule.ok())
      ADD_FAILURE() << text << ": " << rule.error().message;
    else
      rules.push_back(std::move(rule).value());
  }
  return Json(std::move(rules));
}

Json one_pass(Json rules) {
  auto dnf = dnf_rewrite(std::move(rules));
  EXPECT_TRUE(dnf.ok());
  auto aggregated = multi_body_aggregation_rewrite(std::move(dnf).value());
  EXPECT_TRUE(aggregated.ok());
  return rewrite_aggregations_as_expressions(std::move(aggregated).value());
}

Json two_halves(Json rules) {
  for (Json& rule : rules.as_array_mut()) rewrite_nested_aggregations(rule);
  auto dnf = dnf_rewrite(std::move(rules));
  EXPECT_TRUE(dnf.ok());
  auto aggregated = multi_body_aggregation_rewrite(std::move(dnf).value());
  EXPECT_TRUE(aggregated.ok());
  Json out = std::move(aggregated).value();
  for (Json& rule : out.as_array_mut()) rewrite_head_aggregations(rule);
  return out;
}

TEST(ParserSpeedRewriteTest, TwoHalvesGiveTheOnePassTrees) {
  struct Case {
    const char* name;
    std::vector<std::string> statements;
  } cases[] = {
      {"head aggregation", {"S(x, n? += y) distinct :- T(x, y)"}},
      {"head assignment", {"R(x) += y :- T(x, y)"}},
      {"several bodies of one distinct predicate",
       {"P(x, s? += y) distinct :- T(x, y)", "Q(x) :- T(x)", "P(x, s? += z) distinct :- U(x, z)"}},
      {"negation and implication in a body", {"N(x) :- T(x), ~U(x), (V(x) => W(x))"}},
      {"combine in a body", {"C(x, m) :- T(x), m == (combine Max= y :- T(y))"}},
      {"ultra-concise combine in a head value", {"D(x, s: Sum{y :- T(x, y)}) :- T(x)"}},
      {"combine inside a head aggregation", {"E(x, n? Max= Max{y :- T(x, y), ~U(y)}) distinct :- T(x)"}},
      {"disjunction copies a negation", {"F(x) :- (T(x) | U(x)), ~V(x), W(x) | X(x)"}},
      {"distinct bodies with nested aggregations",
       {"G(x, n? += Sum{y :- T(y)}) distinct :- ~U(x)", "G(x, n? += Sum{y :- T(y)}) distinct :- ~V(x)"}},
      {"no aggregation at all", {"H(x, y) :- T(x, y), x != y"}},
      {"comparisons only", {"K(x, y) :- T(x, y), x <= y, y >= 1, x == y, 2 != y"}},
      {"implication beside a comparison", {"L(x) :- T(x), (x >= 1 => U(x))"}},
  };
  for (const Case& c : cases) {
    const Json rules = parsed_rules(c.statements);
    EXPECT_EQ(two_halves(rules).compact(), one_pass(rules).compact()) << c.name;
    // A statement whose text is passed over must hold nothing to rewrite.
    for (const std::string& text : c.statements) {
      if (may_nest_aggregations(text)) continue;
      Json rewritten = parsed_rules({text});
      const std::string before = rewritten.compact();
      for (Json& rule : rewritten.as_array_mut()) rewrite_nested_aggregations(rule);
      EXPECT_EQ(rewritten.compact(), before) << c.name << ": " << text;
    }
  }
}

Json set_in_order(const std::vector<std::pair<std::string, Json>>& entries) {
  Json object = Json::object();
  for (const auto& [key, value] : entries) object.set(key, value);
  return object;
}

TEST(ParserSpeedRewriteTest, BuiltObjectsEqualObjectsSetEntryByEntry) {
  struct Case {
    Json built;
    std::vector<std::pair<std::string, Json>> entries;
    // clang-format off
  } cases[] = {
      {make_object(), {}},
      {make_object("b", 1, "a", "x"), {{"b", 1}, {"a", "x"}}},
      {make_object("expression_heritage", "h", "call", true), {{"expression_heritage", "h"}, {"call", true}}},
      {make_object("k", 1, "k", 2), {{"k", 1}, {"k", 2}}},
      {make_object("z", 1, "y", 2, "x", 3, "w", 4, "v", 5, "u", 6), {{"z", 1}, {"y", 2}, {"x", 3}, {"w", 4}, {"v", 5}, {"u", 6}}},
      {make_object("g", 1, "f", 2, "e", 3, "d", 4, "c", 5, "b", 6, "a", 7),
       {{"g", 1}, {"f", 2}, {"e", 3}, {"d", 4}, {"c", 5}, {"b", 6}, {"a", 7}}},
      {make_object("a", make_object("b", make_array(1, "2")), "A", Json()),
       {{"a", set_in_order({{"b", Json::array({1, "2"})}})}, {"A", Json()}}},
  };
  // clang-format on
  for (const Case& c : cases) {
    const Json want = set_in_order(c.entries);
    EXPECT_EQ(c.built, want) << want.compact();
    // Later sets keep finding and ordering keys in the built object.
    Json extended = c.built;
    extended.set("m", 0);
    Json extended_want = want;
    extended_want.set("m", 0);
    EXPECT_EQ(extended, extended_want) << want.compact();
  }
}

}  // namespace
}  // namespace mirtova
