#include <gtest/gtest.h>

#include "parser/rewrite.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

Json distinct_rule(Json head, const std::string& full_text, const char* body_pred = "T") {
  Json r = rule_with_body(std::move(head), conj({atom(body_pred, {var("x")})}), full_text);
  r.set("distinct_denoted", true);
  return r;
}

// P(x: a, s? += e) with the given argument and heritage.
Json p_head(const std::string& x_value, Json argument, const std::string& heritage = " += e",
            const char* op = "+") {
  return call_node("P", {field("x", var(x_value)), agg_field("s", op, std::move(argument), heritage)});
}

TEST(MultiBodyAggregationTest, RewritesDistinctPredicateWithSeveralRules) {
  Json first = distinct_rule(p_head("a", var("u"), " += u"), "P first", "T");
  Json other = rule(call_node("R"), {}, "R()");
  Json second = distinct_rule(p_head("b", num("1"), " += 1"), "P second", "U");
  auto out = multi_body_aggregation_rewrite(rules({first, other, second}));
  ASSERT_TRUE(out.ok()) << out.error().message;
  const auto& a = out.value().as_array();
  ASSERT_EQ(a.size(), 4u);

  Json aux1 = rule_with_body(call_node("P_MultBodyAggAux", {field("x", var("a")), field("s", var("u"))}),
                             conj({atom("T", {var("x")})}), "P first");
  Json aux2 = rule_with_body(call_node("P_MultBodyAggAux", {field("x", var("b")), field("s", num("1"))}),
                             conj({atom("U", {var("x")})}), "P second");
  Json aggregating = rule_with_body(
      call_node("P", {field("x", var("x")), agg_field("s", "+", var("s"), " += u")}),
      conj({Json::object(
          {{"predicate", call_node("P_MultBodyAggAux", {field("x", var("x")), field("s", var("s"))})}})}),
      "P second");
  aggregating.set("distinct_denoted", true);
  EXPECT_EQ(a[0], aux1);
  EXPECT_EQ(a[1], other);
  EXPECT_EQ(a[2], aux2);
  EXPECT_EQ(a[3], aggregating);

  // Applied again, the output is a fixed point.
  auto again = multi_body_aggregation_rewrite(out.value());
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(again.value(), out.value());
}

TEST(MultiBodyAggregationTest, PositionalAndValueFieldsNameVariablesByField) {
  Json h = call_node("C", {field(0, var("g")), agg_field("quoril_value", "Max", var("v"), " Max= v")});
  auto out = multi_body_aggregation_rewrite(rules({distinct_rule(h, "one"), distinct_rule(h, "two")}));
  ASSERT_TRUE(out.ok());
  const Json& agg = out.value().as_array().back();
  EXPECT_EQ(
      agg.at("head"),
      call_node("C", {field(0, var(0)), agg_field("quoril_value", "Max", var("quoril_value"), " Max= v")}));
  EXPECT_EQ(agg.at("body").at("conjunction").at("conjunct").as_array()[0].at("predicate"),
            call_node("C_MultBodyAggAux", {field(0, var(0)), field("quoril_value", var("quoril_value"))}));
}

TEST(MultiBodyAggregationTest, LeavesOtherPredicatesAlone) {
  Json distinct_once = distinct_rule(p_head("a", var("u")), "once");
  Json plain_first = rule_with_body(call_node("Q"), conj({atom("T", {var("x")})}), "q1");
  Json plain_then_distinct = distinct_rule(call_node("Q"), "q2");
  struct Case {
    const char* name;
    Json input;
  } cases[] = {
      {"no distinct predicate", rules({rule(call_node("A"), {}, "a"), rule(call_node("A"), {}, "a2")})},
      {"distinct predicate with one rule", rules({distinct_once, rule(call_node("B"), {}, "b")})},
      {"first rule not distinct", rules({plain_first, plain_then_distinct})},
  };
  for (const auto& c : cases) {
    auto out = multi_body_aggregation_rewrite(c.input);
    ASSERT_TRUE(out.ok()) << c.name;
    EXPECT_EQ(out.value(), c.input) << c.name;
  }
}

TEST(MultiBodyAggregationTest, AggregatingRulesComeLastInOrderOfFirstAppearance) {
  Json b = call_node("B", {agg_field("n", "+", num("1"), " += 1")});
  Json a = call_node("A", {agg_field("n", "+", num("1"), " += 1")});
  auto out = multi_body_aggregation_rewrite(
      rules({distinct_rule(b, "b1"), distinct_rule(a, "a1"), rule(call_node("X"), {}, "x"),
             distinct_rule(a, "a2"), distinct_rule(b, "b2")}));
  ASSERT_TRUE(out.ok());
  std::vector<std::string> names;
  for (const Json& r : out.value().as_array()) names.emplace_back(r.at("head").at("predicate_name").as_str());
  EXPECT_EQ(names, (std::vector<std::string>{"B_MultBodyAggAux", "A_MultBodyAggAux", "X", "A_MultBodyAggAux",
                                             "B_MultBodyAggAux", "B", "A"}));
}

TEST(MultiBodyAggregationTest, HelpersTakeNoNameTheProgramUses) {
  // A helper's usual name is the program's own (a head, or only read in a
  // body), so the helper gets the first free name after it.
  Json a = call_node("A", {agg_field("n", "+", num("1"), " += 1")});
  auto out = multi_body_aggregation_rewrite(
      rules({distinct_rule(a, "a1", "A_MultBodyAggAux_1"), distinct_rule(a, "a2"),
             rule(call_node("A_MultBodyAggAux"), {}, "own")}));
  ASSERT_TRUE(out.ok());
  std::vector<std::string> names;
  for (const Json& r : out.value().as_array()) names.emplace_back(r.at("head").at("predicate_name").as_str());
  EXPECT_EQ(names,
            (std::vector<std::string>{"A_MultBodyAggAux_2", "A_MultBodyAggAux_2", "A_MultBodyAggAux", "A"}));
  const Json& call = out.value().as_array().back().at("body").at("conjunction").at("conjunct").as_array()[0];
  EXPECT_EQ(call.at("predicate").at("predicate_name").as_str(), "A_MultBodyAggAux_2");
}

TEST(MultiBodyAggregationTest, SignaturesMustAgree) {
  struct Case {
    const char* name;
    Json second_head;
    bool ok;
    // clang-format off
  } cases[] = {
      {"other argument, same operator", p_head("b", num("2")), true},
      {"only heritage differs", p_head("a", var("e"), " +=   e"), true},
      {"other operator", p_head("a", var("e"), " Max= e", "Max"), false},
      {"aggregates another field",
       call_node("P", {agg_field("x", "+", var("e"), " += e"), field("s", var("e"))}), false},
      {"other field name", call_node("P", {field("y", var("a")), agg_field("s", "+", var("e"), " += e")}), false},
      {"fields in other order", call_node("P", {agg_field("s", "+", var("e"), " += e"), field("x", var("a"))}), false},
      {"one field fewer", call_node("P", {field("x", var("a"))}), false},
      {"positional field where a named one stood", call_node("P", {field(0, var("a")), agg_field("s", "+", var("e"), "")}), false},
  };
  // clang-format on
  for (auto& c : cases) {
    auto out = multi_body_aggregation_rewrite(rules(
        {distinct_rule(p_head("a", var("e")), "P(x: a) += e"), distinct_rule(c.second_head, "second text")}));
    ASSERT_EQ(out.ok(), c.ok) << c.name;
    if (c.ok) continue;
    EXPECT_EQ(out.error().message, "Signature differs for bodies.") << c.name;
    EXPECT_EQ(out.error().span.source(), "second text") << c.name;
  }
}

TEST(MultiBodyAggregationTest, LaterRuleWithoutDistinctIsInconsistent) {
  Json later = rule_with_body(p_head("x", num("1")), conj({atom("T", {var("x")})}), "P later");
  // Its signature would differ too; the distinct mark is checked first.
  Json bad_signature = rule_with_body(call_node("P"), conj({atom("T", {var("x")})}), "P bad");
  for (const Json& second : {later, bad_signature}) {
    auto out =
        multi_body_aggregation_rewrite(rules({distinct_rule(p_head("a", var("e")), "P first"), second}));
    ASSERT_FALSE(out.ok());
    EXPECT_EQ(out.error().message, "Inconsistency in distinct denoting.");
    EXPECT_EQ(out.error().span.source(), "P");
  }
}

TEST(AggregationsAsCallsTest, OperatorsBecomeCalls) {
  struct Case {
    std::string op, name;
  } cases[] = {{"+", "Agg+"}, {"++", "Agg++"}, {"*", "`*`"}, {"Max", "Max"}, {"List", "List"}, {"+=", "+="}};
  for (const auto& c : cases) {
    Json r = rule(call_node("P", {field(0, var("g")), agg_field("n", c.op, var("x"), " op= x")}), {}, "t");
    r.set("extra", Json::object({{"aggregation", "not an object"}}));
    Json out = rewrite_aggregations_as_expressions(rules({r}));
    Json expected_agg =
        Json::object({{"expression", Json::object({{"call", call_node(c.name, {field(0, var("x"))})},
                                                   {"expression_heritage", " op= x"}})},
                      {"expression_heritage", " op= x"}});
    Json expected = rule(
        call_node("P",
                  {field(0, var("g")),
                   Json::object({{"field", "n"}, {"value", Json::object({{"aggregation", expected_agg}})}})}),
        {}, "t");
    expected.set("extra", Json::object({{"aggregation", "not an object"}}));
    EXPECT_EQ(out, rules({expected})) << c.op;
  }
}

TEST(AggregationsAsCallsTest, ReachesCombinesInBodiesAndKeepsOtherRules) {
  Json combine =
      rule(call_node("Combine", {agg_field("quoril_value", "Max", var("y"), "Max= y")}), {}, "Max= y");
  Json body = conj({Json::object(
      {{"unification", Json::object({{"left_hand_side", var("m")},
                                     {"right_hand_side", Json::object({{"combine", combine}})}})}})});
  Json plain = rule_with_body(call_node("Q", {field(0, var("m"))}), conj({atom("T", {var("x")})}), "q");
  Json in =
      rules({rule_with_body(call_node("P", {agg_field("n", "+", var("m"), "+= m")}), body, "p"), plain});
  Json out = rewrite_aggregations_as_expressions(in);
  EXPECT_EQ(out.as_array()[1], plain);
  const Json& inner = out.as_array()[0]
                          .at("body")
                          .at("conjunction")
                          .at("conjunct")
                          .as_array()[0]
                          .at("unification")
                          .at("right_hand_side")
                          .at("combine")
                          .at("head")
                          .at("record")
                          .at("field_value")
                          .as_array()[0]
                          .at("value")
                          .at("aggregation");
  EXPECT_EQ(inner.at("expression").at("call"), call_node("Max", {field(0, var("y"))}));
  // No aggregation anywhere keeps its operator or argument.
  std::string text = out.compact();
  EXPECT_EQ(text.find("\"operator\""), std::string::npos);
  EXPECT_EQ(text.find("\"argument\""), std::string::npos);
}

}  // namespace
}  // namespace mirtova
