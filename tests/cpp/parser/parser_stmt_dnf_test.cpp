#include <gtest/gtest.h>

#include "parser/rewrite.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

// Each output rule's conjuncts as the names they call, joined by blanks.
std::vector<std::string> bodies(const Json& out) {
  std::vector<std::string> result;
  for (const Json& r : out.as_array()) {
    if (!r.has("body")) {
      result.push_back("-");
      continue;
    }
    std::string text;
    for (const Json& c : r.at("body").at("conjunction").at("conjunct").as_array()) {
      if (!text.empty()) text += " ";
      const Json* p = c.get("predicate");
      text += p != nullptr ? p->at("predicate_name").as_str() : c.compact();
    }
    result.push_back(text);
  }
  return result;
}

Json head() { return call_node("Q", {field(0, var("x"))}); }

TEST(DnfRewriteTest, AlternativesInOrder) {
  struct Case {
    const char* name;
    Json body;
    std::vector<std::string> expected;
    // clang-format off
  } cases[] = {
      {"single call", atom("A", {var("x")}), {"A"}},
      {"nested conjunction flattens", conj({atom("A", {var("x")}), conj({atom("B", {var("x")}), conj({atom("C", {var("x")})})}), atom("D", {var("x")})}), {"A B C D"}},
      {"disjunction of two", disj({atom("A", {var("x")}), atom("B", {var("x")})}), {"A", "B"}},
      {"product, last varies fastest",
       conj({atom("A", {var("x")}), disj({atom("B", {var("x")}), atom("C", {var("x")})}), disj({atom("D", {var("x")}), atom("E", {var("x")})})}),
       {"A B D", "A B E", "A C D", "A C E"}},
      {"nested disjunction flattens", disj({disj({atom("A", {var("x")}), atom("B", {var("x")})}), atom("C", {var("x")})}), {"A", "B", "C"}},
      {"disjunction of conjunctions", disj({conj({atom("A", {var("x")}), atom("B", {var("x")})}), atom("C", {var("x")})}), {"A B", "C"}},
      {"empty conjunction", conj({}), {""}},
      {"empty disjunction gives no rule", disj({}), {}},
      {"empty disjunction kills the product", conj({atom("A", {var("x")}), disj({})}), {}},
  };
  // clang-format on
  for (auto& c : cases) {
    auto out = dnf_rewrite(rules({rule_with_body(head(), c.body, "Q(x) :- ...")}));
    ASSERT_TRUE(out.ok()) << c.name;
    EXPECT_EQ(bodies(out.value()), c.expected) << c.name;
    for (const Json& r : out.value().as_array()) {
      EXPECT_EQ(r.at("head"), head()) << c.name;
      EXPECT_EQ(r.at("full_text").as_str(), "Q(x) :- ...") << c.name;
    }
  }
}

TEST(DnfRewriteTest, KeepsOtherKeysAndPositions) {
  Json fact = rule(call_node("F"), {}, "F()");
  Json distinct = rule_with_body(head(), disj({atom("A", {var("x")}), atom("B", {var("x")})}), "Q");
  distinct.set("distinct_denoted", true);
  Json last = rule_with_body(call_node("R"), atom("C", {var("x")}), "R");
  auto out = dnf_rewrite(rules({fact, distinct, last}));
  ASSERT_TRUE(out.ok());
  const auto& a = out.value().as_array();
  ASSERT_EQ(a.size(), 4u);
  EXPECT_EQ(a[0], fact);
  EXPECT_TRUE(a[1].has("distinct_denoted"));
  EXPECT_TRUE(a[2].has("distinct_denoted"));
  EXPECT_EQ(a[3].at("head"), call_node("R"));
  EXPECT_EQ(bodies(out.value()), (std::vector<std::string>{"-", "A", "B", "C"}));
  EXPECT_EQ(dnf_rewrite(rules({})).value(), rules({}));
}

TEST(DnfRewriteTest, DisjunctionInsideAnAtomStays) {
  // A negation or combine carries its own body; only the rule's body expands.
  Json combine = Json::object(
      {{"unification",
        Json::object(
            {{"left_hand_side", var("s")},
             {"right_hand_side",
              Json::object({{"combine", rule_with_body(call_node("Combine"),
                                                       disj({atom("A", {var("x")}), atom("B", {var("x")})}),
                                                       "s += 1")}})}})}});
  auto out = dnf_rewrite(rules({rule_with_body(head(), conj({combine, atom("C", {var("x")})}), "t")}));
  ASSERT_TRUE(out.ok());
  ASSERT_EQ(out.value().size(), 1u);
  EXPECT_EQ(out.value().as_array()[0].at("body").at("conjunction").at("conjunct").as_array()[0], combine);
}

TEST(DnfRewriteTest, RefusesMoreThanTenThousandRules) {
  struct Case {
    int binary_disjunctions;
    size_t extra_alternatives;  // a last disjunction of this many atoms, 0 for none
    bool ok;
    // clang-format off
  } cases[] = {
      {14, 0, false},  // 16384
      {0, 10000, true},
      {0, 10001, false},
      {1, 5000, true},
      {1, 5001, false},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::vector<Json> conjuncts;
    // Plain strings are atoms too, and the cheapest to copy.
    for (int i = 0; i < c.binary_disjunctions; ++i) conjuncts.push_back(disj({"A", "B"}));
    if (c.extra_alternatives > 0) conjuncts.push_back(disj(std::vector<Json>(c.extra_alternatives, "C")));
    auto out = dnf_rewrite(rules(
        {rule(call_node("Ok"), {}, "Ok()"), rule_with_body(call_node("Q"), conj(conjuncts), "Q(x) :- big")}));
    ASSERT_EQ(out.ok(), c.ok) << c.binary_disjunctions << " " << c.extra_alternatives;
    if (out.ok()) continue;
    EXPECT_EQ(out.error().message, "Disjunctions in this rule expand to more than 10000 rules.");
    EXPECT_EQ(out.error().span.to_string(), "Q(x) :- big");
  }
}

TEST(DnfRewriteTest, RefusesTooManyPropositions) {
  struct Case {
    size_t alternatives, shared_atoms;
    bool ok;
  } cases[] = {
      {100, 10000, false},  // 100 rules of 10001 propositions each
      {50, 1000, true},
  };
  for (const auto& c : cases) {
    std::vector<Json> conjuncts(c.shared_atoms, "C");
    conjuncts.push_back(disj(std::vector<Json>(c.alternatives, "A")));
    auto out = dnf_rewrite(rules({rule_with_body(call_node("Q"), conj(std::move(conjuncts)), "long")}));
    ASSERT_EQ(out.ok(), c.ok) << c.alternatives;
    if (out.ok()) {
      EXPECT_EQ(out.value().size(), c.alternatives);
      continue;
    }
    EXPECT_EQ(out.error().message, "Disjunctions in this rule expand to more than 1000000 propositions.");
  }
}

TEST(DnfRewriteTest, RefusesRulesWhoseCopiesPassTheTextBound) {
  // Every rule made carries copies of its propositions: 4096 copies of a 70 KB
  // proposition are refused before one is made; fewer copies, or a shorter
  // proposition, pass. The statement's text is not refused, but where its
  // copies would pass 1 MB each rule carries only its opening.
  struct Case {
    int binary_disjunctions;
    size_t proposition_size;
    size_t text_size;  // in characters of three bytes
    bool ok;
    bool whole_text = true;
    // clang-format off
  } cases[] = {
      {12, 70000, 10, false},
      {7, 70000, 10, true},
      {12, 2000, 10, true},
      {12, 10, 85, true},  // 4096 copies of 255 bytes stay within 1 MB
      {12, 10, 86, true},  // no longer than the opening would be
      {12, 10, 200, true, false},
      {12, 10, 70000, true, false},
      {2, 10, 70000, true},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::vector<Json> conjuncts;
    for (int i = 0; i < c.binary_disjunctions; ++i) conjuncts.push_back(disj({"A", "B"}));
    conjuncts.push_back(atom(std::string(c.proposition_size, 'C'), {var("x")}));
    // The opening ends between two characters.
    std::string text;
    for (size_t i = 0; i < c.text_size; ++i) text += "\u20ac";
    auto out = dnf_rewrite(rules({rule_with_body(call_node("Q"), conj(conjuncts), text)}));
    ASSERT_EQ(out.ok(), c.ok) << c.binary_disjunctions << " " << c.proposition_size << " " << c.text_size;
    if (out.ok()) {
      ASSERT_EQ(out.value().size(), size_t{1} << c.binary_disjunctions);
      for (const Json& made : out.value().as_array())
        EXPECT_EQ(made.at("full_text").as_str(), c.whole_text ? text : text.substr(0, 399) + " ...")
            << text.size();
      continue;
    }
    EXPECT_EQ(out.error().message, "Disjunctions in this rule expand to more than 16 MB of rules.");
  }
}

}  // namespace
}  // namespace mirtova
