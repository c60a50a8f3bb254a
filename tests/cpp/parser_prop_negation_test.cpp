#include <gtest/gtest.h>

#include "parser_prop_sketch.h"

namespace mirtova {
namespace {

using sketch::proposition;

struct Case {
  std::string text, tree;
};

TEST(NegationTest, Forms) {
  const Case cases[] = {
      {"~p(x)", "IsNull(Min{1 :- p(x)})"},
      {"~ p(x)", "IsNull(Min{1 :- p(x)})"},
      {"~(p(x), q(x))", "IsNull(Min{1 :- p(x), q(x)})"},
      {"~p(x), q(x)", "and(IsNull(Min{1 :- p(x)}), q(x))"},
      {"~(~p)", "IsNull(Min{1 :- IsNull(Min{1 :- Constraint(p)})})"},
      {"~(p | q)", "IsNull(Min{1 :- or(Constraint(p), Constraint(q))})"},
      {"a => b", "IsNull(Min{1 :- Constraint(a), IsNull(Min{1 :- Constraint(b)})})"},
      {"(a1, a2) => c", "IsNull(Min{1 :- Constraint(a1), Constraint(a2), IsNull(Min{1 :- Constraint(c)})})"},
      {"a => (c1, c2)", "IsNull(Min{1 :- Constraint(a), IsNull(Min{1 :- Constraint(c1), Constraint(c2)})})"},
      {"a, b => c", "and(Constraint(a), IsNull(Min{1 :- Constraint(b), IsNull(Min{1 :- Constraint(c)})}))"},
      // Two "=>" make no implication; the infix table then splits at "=".
      {"a => b => c", "error: Could not parse expression of a value."},
  };
  for (const Case& c : cases) EXPECT_EQ(proposition(c.text), c.tree) << c.text;
}

TEST(NegationTest, Errors) {
  const Case cases[] = {
      {"~(p(x), 42)", "error: Could not parse proposition."},
      // Inside a proposition "~" with text before it is the infix operator,
      // whose left operand here is a lone "~".
      {"~~p", "error: Could not parse proposition."},
      {"~p ~ q", "~(IsNull(Min{1 :- Constraint(p)}), q)"},
      {"~", "error: Could not parse proposition."},
      {"42 => p", "error: Could not parse proposition."},
  };
  for (const Case& c : cases) EXPECT_EQ(proposition(c.text), c.tree) << c.text;
  for (std::string text : {"~~p", "p ~ q", "~p ~ q"}) {
    EXPECT_EQ(sketch::json_of(parse_negation, text), "error: Negation \"~\" is a unary operator.") << text;
    EXPECT_EQ(sketch::error_span(parse_negation, text), text);
  }
  EXPECT_EQ(sketch::error_span(parse_propositional_implication, "a => 42"), "42");
}

TEST(NegationTest, NothingWithoutATopLevelTilde) {
  for (std::string text : {"p(x)", "p(\"~\")", "f(~x)", "`~`(x)"}) {
    auto r = parse_negation(SpanString(text));
    ASSERT_TRUE(r.ok()) << text;
    EXPECT_FALSE(r.value().has_value()) << text;
  }
}

// The whole tree, key by key: every later stage reads these exact shapes.
TEST(NegationTest, ExactTree) {
  const std::string body = R"({"conjunction":{"conjunct":[{"predicate":{"predicate_name":"p","record":{"field_value":[)"
                           R"({"field":0,"value":{"expression":{"variable":{"var_name":"x"},"expression_heritage":"x"}}}]}}}]}})";
  const std::string call =
      R"({"predicate_name":"IsNull","record":{"field_value":[{"field":0,"value":{"expression":{"combine":{)"
      R"("head":{"predicate_name":"Combine","record":{"field_value":[{"field":"quoril_value","value":{"aggregation":{)"
      R"j("argument":{"literal":{"the_number":{"number":"1"}}},"expression_heritage":"~ p(x)","operator":"Min"}}}]}},)j"
      R"("body":)" + body + R"j(,"distinct_denoted":true,"full_text":"~ p(x)"}}}}]}})j";
  EXPECT_EQ(sketch::json_of(parse_proposition, "~ p(x)"), R"({"predicate":)" + call + "}");
  EXPECT_EQ(sketch::json_of(parse_expression, "~ p(x)"), R"({"call":)" + call + R"j(,"expression_heritage":"~ p(x)"})j");
}

TEST(NegationTest, ImplicationTexts) {
  auto r = parse_proposition(SpanString(std::string("a => (b)")));
  ASSERT_TRUE(r.ok());
  const Json& outer = r.value().at("predicate").at("record").at("field_value").as_array()[0].at("value").at("expression").at("combine");
  EXPECT_EQ(outer.at("full_text").as_str(), "a => (b)");
  const Json& inner = outer.at("body").at("conjunction").at("conjunct").as_array()[1]
                          .at("predicate").at("record").at("field_value").as_array()[0].at("value").at("expression").at("combine");
  EXPECT_EQ(inner.at("full_text").as_str(), "b");
  EXPECT_EQ(inner.at("head").at("record").at("field_value").as_array()[0].at("value").at("aggregation")
                .at("expression_heritage").as_str(),
            "b");
}

TEST(NegationTest, TreeCopiesItsBody) {
  SpanString text(std::string("~p"));
  Json body = Json::object({{"conjunction", Json::object({{"conjunct", Json::array()}})}});
  Json tree = negation_tree(text, body);
  EXPECT_EQ(tree, negation_tree(text, body));
  body.set("changed", true);
  EXPECT_NE(tree, negation_tree(text, body));
  EXPECT_FALSE(tree.at("predicate").at("record").at("field_value").as_array()[0].at("value").at("expression")
                   .at("combine").at("body").has("changed"));
}

}  // namespace
}  // namespace mirtova
