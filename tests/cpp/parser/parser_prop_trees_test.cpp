#include <gtest/gtest.h>

#include "support/parser_prop_sketch.h"

namespace mirtova {
namespace {

using sketch::json_of;

const std::string kX = R"({"variable":{"var_name":"x"},"expression_heritage":"x"})";
const std::string kOne = R"({"literal":{"the_number":{"number":"1"}},"expression_heritage":"1"})";

std::string positional_x() { return R"({"field":0,"value":{"expression":)" + kX + "}}"; }

// Every later stage reads these exact shapes, key by key.
TEST(ExactTreeTest, Table) {
  const std::string min_one =
      R"j({"argument":{"literal":{"the_number":{"number":"1"}}},"expression_heritage":"~ p(x)","operator":"Min"})j";
  const std::string is_null =
      R"({"predicate_name":"IsNull","record":{"field_value":[{"field":0,"value":{"expression":{"combine":{"head":)"
      R"({"predicate_name":"Combine","record":{"field_value":[{"field":"quoril_value","value":{"aggregation":)" +
      min_one +
      R"(}}]}},"body":{"conjunction":{"conjunct":[{"predicate":{"predicate_name":"p","record":{)"
      R"("field_value":[)" +
      positional_x() + R"j(]}}}]}},"distinct_denoted":true,"full_text":"~ p(x)"}}}}]}})j";
  struct Case {
    std::string tree, want;
    // clang-format off
  } cases[] = {
      {json_of(parse_expression, "x + 1"),
       R"({"call":{"predicate_name":"+","record":{"field_value":[{"field":"left","value":{"expression":)" + kX +
           R"(}},{"field":"right","value":{"expression":)" + kOne + R"(}}]}},"expression_heritage":"x + 1"})"},
      {json_of(parse_expression, "-x"),
       R"({"call":{"predicate_name":"-","record":{"field_value":[)" + positional_x() + R"(]}},"expression_heritage":"-x"})"},
      {json_of(parse_proposition, "x"),
       R"({"predicate":{"predicate_name":"Constraint","record":{"field_value":[)" + positional_x() + "]}}}"},
      {json_of(parse_proposition, "x == 1"),
       R"({"unification":{"left_hand_side":)" + kX + R"(,"right_hand_side":)" + kOne + "}}"},
      {json_of(parse_proposition, "x in 1"), R"({"inclusion":{"element":)" + kX + R"(,"list":)" + kOne + "}}"},
      {json_of(parse_implication, "if x then 1 else x"),
       R"({"if_then":[{"condition":)" + kX + R"(,"consequence":)" + kOne + R"(}],"otherwise":)" + kX + "}"},
      {json_of(parse_proposition, "~ p(x)"), R"({"predicate":)" + is_null + "}"},
      {json_of(parse_expression, "~ p(x)"), R"j({"call":)j" + is_null + R"j(,"expression_heritage":"~ p(x)"})j"},
      {json_of(parse_expression, "combine  += x :- T(x)"),
       R"({"combine":{"head":{"predicate_name":"Combine","record":{"field_value":[{"field":"quoril_value","value":{)"
       R"("aggregation":{"argument":)" + kX + R"j(,"expression_heritage":" += x :- T(x)","operator":"+"}}}]}},)j"
       R"("body":{"conjunction":{"conjunct":[{"predicate":{"predicate_name":"T","record":{"field_value":[)" +
           positional_x() + R"j(]}}}]}},"distinct_denoted":true,"full_text":" += x :- T(x)"},)j"
           R"j("expression_heritage":"combine  += x :- T(x)"})j"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(c.tree, c.want);
}

TEST(ExactTreeTest, ImplicationTexts) {
  auto r = parse_proposition(SpanString(std::string("a => (b)")));
  ASSERT_TRUE(r.ok());
  auto combine_of = [](const Json& p) -> const Json& {
    return p.at("predicate")
        .at("record")
        .at("field_value")
        .as_array()[0]
        .at("value")
        .at("expression")
        .at("combine");
  };
  const Json& outer = combine_of(r.value());
  const Json& inner = combine_of(outer.at("body").at("conjunction").at("conjunct").as_array()[1]);
  EXPECT_EQ(outer.at("full_text").as_str(), "a => (b)");
  EXPECT_EQ(inner.at("full_text").as_str(), "b");
}

// Where an error points, and forms that answer "not mine" instead of failing.
TEST(ErrorSpanTest, Table) {
  struct Case {
    std::string got, want;
    // clang-format off
  } cases[] = {
      {json_of(parse_proposition, "P(x), 42, Q(x)"), "error: Could not parse proposition. @ 42"},
      {json_of(parse_proposition, "if a then 1 else 2"),
       "error: If-then-else clause is only supported as an expression, not as a proposition. @ if a then 1 else 2"},
      {json_of(parse_proposition, "x_1 in x_2"),  // the list is read before the element
       "error: Variables starting with x_ are reserved to be Quoril compiler internal. Please use a different name. @ x_2"},
      {json_of(parse_negation, "~~p"), "error: Negation \"~\" is a unary operator. @ ~~p"},
      {json_of(parse_negation, "p ~ q"), "error: Negation \"~\" is a unary operator. @ p ~ q"},
      {json_of(parse_propositional_implication, "a => 42"), "error: Could not parse proposition. @ 42"},
      {json_of(parse_expression, "combine x :- T(x)"), "error: A combine needs an operator: `combine += x`. @ x"},
      {json_of(parse_proposition, "a b += 1"), "error: Could not parse expression of a value. @ a b"},
      {json_of(parse_expression, "if a then b then c else d"),
       "error: I expected string to be split by then in two. @ a then b then c"},
      {json_of(parse_expression, "if a then 1 else iffy"), "error: I expected string to be split by else in two. @ fy"},
      {json_of([](const SpanString& t) { return parse_infix(t); }, "a + \"b\nc\""),
       "error: Parenthesis matches nothing. @ \n"},
      {json_of([](const SpanString& t) { return parse_infix(t); }, "f(a + b)"), "nothing"},
      {json_of([](const SpanString& t) { return parse_infix(t); }, "~p + q"), "nothing"},
      {json_of(parse_negation, "f(\"~\", `~`)"), "nothing"},
      {json_of(parse_unification, "x == y == z"), "nothing"},
      {json_of(parse_inclusion, "x in(y)"), "nothing"},
      {json_of(parse_propositional_implication, "a => b => c"), "nothing"},
      {json_of(parse_concise_combine, "x ! = y"), "nothing"},
      {json_of(parse_concise_combine, "x is = y"), "nothing"},
      {json_of(parse_implication, "iffy"), "nothing"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(NegationTreeTest, CopiesItsBody) {
  SpanString text(std::string("~p"));
  Json body = Json::object({{"conjunction", Json::object({{"conjunct", Json::array()}})}});
  const Json tree = negation_tree(text, body);
  body.set("changed", true);
  EXPECT_NE(tree, negation_tree(text, body));
  EXPECT_EQ(tree, negation_tree(
                      text, Json::object({{"conjunction", Json::object({{"conjunct", Json::array()}})}})));
}

}  // namespace
}  // namespace mirtova
