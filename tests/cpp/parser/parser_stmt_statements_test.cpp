#include <gtest/gtest.h>

#include "parser/forms.h"
#include "parser/parse_file.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

Json rules_of(const std::string& program) {
  auto result = parse_file(program);
  if (!result.ok()) {
    ADD_FAILURE() << program << "\n" << result.error().show_message();
    return Json::array();
  }
  return result.value().at("rule");
}

Json rule_of(const std::string& text) {
  auto result = parse_rule(SpanString(text));
  if (!result.ok()) {
    ADD_FAILURE() << text << "\n" << result.error().show_message();
    return Json();
  }
  return result.value();
}

std::vector<std::string> heads(const Json& rules) {
  std::vector<std::string> out;
  for (const Json& r : rules.as_array()) out.emplace_back(r.at("head").at("predicate_name").as_str());
  return out;
}

TEST(StatementsTest, FunctionDefinition) {
  Json rules = rules_of("F(x) --> x + 1");
  ASSERT_EQ(rules.size(), 2u);
  EXPECT_EQ(rules.as_array()[0], rule_of("@CompileAsUdf(F)"));
  EXPECT_EQ(rules.as_array()[1], rule_of("F(x)  =  x + 1"));
  EXPECT_EQ(rules.as_array()[1].at("full_text").as_str(), "F(x)  =  x + 1");
}

TEST(StatementsTest, FunctorStatement) {
  Json rules = rules_of("A := B(p: C)");
  ASSERT_EQ(rules.size(), 1u);
  auto b = parse_call(SpanString(std::string("B(p: C)")), false);
  ASSERT_TRUE(b.ok() && b.value().has_value());
  auto a = parse_expression(SpanString(std::string("A")));
  ASSERT_TRUE(a.ok());
  Json expected = rule(call_node("@Make", {field(0, a.value()), field(1, pred("B")),
                                           field(2, Json::object({{"record", b.value()->at("record")}}))}),
                       {}, "A := B(p: C)");
  EXPECT_EQ(rules.as_array()[0], expected);
}

TEST(StatementsTest, FormErrors) {
  struct Case {
    std::string program, message, excerpt;
  } cases[] = {
      {"x --> 1", "Left hand side of function definition must be a predicate call.", "x "},
      {"A := 5", "Incorrect syntax for functor call.", "5"},
      {"a := B()", "Incorrect syntax for functor call.", "a"},
      {"a := 5", "Incorrect syntax for functor call.", "5"},
  };
  for (const auto& c : cases) {
    auto result = parse_file(c.program);
    ASSERT_FALSE(result.ok()) << c.program;
    EXPECT_EQ(result.error().message, c.message) << c.program;
    EXPECT_EQ(result.error().span.to_string(), c.excerpt) << c.program;
    EXPECT_EQ(result.error().span.source(), c.program) << c.program;
  }
}

TEST(StatementsTest, FormsAndRewritesOverTheFile) {
  struct Case {
    std::string program;
    std::vector<std::string> heads;
  } cases[] = {
      {"F(x) = \"-->\"", {"F"}},
      {"F(x) = \"a := b\"", {"F"}},
      {"F(x) :- G(x, \"-->\") # -->\n", {"F"}},
      {"G(x) --> \"-->\"", {"@CompileAsUdf", "G"}},
      {"F(x) order_by a limit 10 :- G(x)", {"@OrderBy", "@Limit", "F"}},
      {"Q(x) :- A(x), (B(x) | C(x))", {"Q", "Q"}},
      {"Q(x) :- A(x) | B(x) | C(x); R(1)", {"Q", "Q", "Q", "R"}},
      {"C(g, n? += 1) distinct :- A(g) | B(g)", {"C_MultBodyAggAux", "C_MultBodyAggAux", "C"}},
      {"C(g) += 1 :- A(g); R(1); C(g) += 2 :- B(g)", {"C_MultBodyAggAux", "R", "C_MultBodyAggAux", "C"}},
  };
  for (const auto& c : cases) EXPECT_EQ(heads(rules_of(c.program)), c.heads) << c.program;

  // The aggregating rule reaches the compiler in call form.
  Json rules = rules_of("C(g) += 1 :- A(g); C(g) += 2 :- B(g)");
  ASSERT_EQ(rules.size(), 3u);
  const Json& value = rules.as_array().back().at("head").at("record").at("field_value").as_array()[1];
  EXPECT_EQ(value.at("field").as_str(), "quoril_value");
  const Json& aggregation = value.at("value").at("aggregation");
  EXPECT_FALSE(aggregation.has("operator"));
  EXPECT_EQ(aggregation.at("expression").at("call").at("predicate_name").as_str(), "Agg+");
  EXPECT_EQ(aggregation.at("expression").at("call").at("record").at("field_value").as_array()[0].at("value"),
            Json::object({{"expression",
                           Json::object({{"variable", Json::object({{"var_name", "quoril_value"}})}})}}));
}

TEST(StatementsTest, RewriteErrors) {
  std::string wide = "Q(x) :- ";
  for (int i = 0; i < 14; ++i) wide += std::string(i ? ", " : "") + "(A(x) | B(x))";
  struct Case {
    std::string program, message, excerpt;
  } cases[] = {
      {"C(g) += 1 :- A(g); C(g) Max= 2 :- B(g)", "Signature differs for bodies.", "C(g) Max= 2 :- B(g)"},
      {"C(g) distinct :- A(g); C(g) :- B(g)", "Inconsistency in distinct denoting.", "C"},
      {wide, "Disjunctions in this rule expand to more than 10000 rules.", wide},
  };
  for (const auto& c : cases) {
    auto result = parse_file(c.program);
    ASSERT_FALSE(result.ok()) << c.program;
    EXPECT_EQ(result.error().message, c.message) << c.program;
    EXPECT_EQ(result.error().span.source(), c.excerpt) << c.program;
  }
}

}  // namespace
}  // namespace mirtova
