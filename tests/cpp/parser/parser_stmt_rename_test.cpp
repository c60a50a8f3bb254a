#include <gtest/gtest.h>

#include "parser/imports.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

Json string_literal(const std::string& text) {
  return Json::object({{"literal", Json::object({{"the_string", Json::object({{"the_string", text}})}})}});
}

Json assert_rule(const std::string& statement) {
  return rule(call_node("@Assert", {field(0, pred("P")), field("name", string_literal(statement))}), {},
              "@Assert(...)");
}

const Json& statement_of(const Json& r) {
  return r.at("head")
      .at("record")
      .at("field_value")
      .as_array()[1]
      .at("value")
      .at("expression")
      .at("literal")
      .at("the_string");
}

TEST(RenamePredicateTest, NamesAndFields) {
  Json r = rule_with_body(
      call_node("P", {field("P", var("x"))}),
      conj({atom("P", {var("x")}), atom("Q", {var("x")}), Json::object({{"predicate", call_node("PP")}})}),
      "P(P: x) :- P(x)");
  EXPECT_EQ(rename_predicate(r, "P", "B_P"), 3);
  EXPECT_EQ(r.at("head"), call_node("B_P", {field("B_P", var("x"))}));
  EXPECT_EQ(r.at("full_text").as_str(), "P(P: x) :- P(x)");
  const auto& conjuncts = r.at("body").at("conjunction").at("conjunct").as_array();
  EXPECT_EQ(conjuncts[0], atom("B_P", {var("x")}));
  EXPECT_EQ(conjuncts[1], atom("Q", {var("x")}));
  EXPECT_EQ(conjuncts[2].at("predicate").at("predicate_name").as_str(), "PP");
  // A variable or string spelled like the predicate is not a use of it.
  Json v = rule(call_node("Q", {field(0, var("P")), field(1, string_literal("P"))}), {}, "t");
  EXPECT_EQ(rename_predicate(v, "P", "B_P"), 0);
}

TEST(RenamePredicateTest, OnePassKeepsPrefixedNamesApart) {
  // Renaming A to Utils_A and Utils_A to Utils_Utils_A in turn would merge them.
  Json r = rule_with_body(call_node("A"), conj({atom("Utils_A", {var("x")})}), "t");
  EXPECT_EQ(rename_predicates(r, {{"A", "Utils_A"}, {"Utils_A", "Utils_Utils_A"}}), 2);
  EXPECT_EQ(r.at("head").at("predicate_name").as_str(), "Utils_A");
  EXPECT_EQ(r.at("body").at("conjunction").at("conjunct").as_array()[0], atom("Utils_Utils_A", {var("x")}));
}

TEST(RenamePredicateTest, AssertStatements) {
  struct Case {
    std::string statement, renamed;
    int count;
  } cases[] = {
      {"P(x) \"P\" P", "B_P(x) \"P\" B_P", 2},
      {"P(x) and \"P(y)\"", "B_P(x) and \"P(y)\"", 1},
      {"PP P_ P' P\xe2\x82\x81 \xc3\xa9P P", "PP P_ P' P\xe2\x82\x81 \xc3\xa9P B_P", 1},
      {"\xe2\x88\x80x \xe2\x88\x88 P: x > 0", "\xe2\x88\x80x \xe2\x88\x88 B_P: x > 0", 1},
      {"Q(x)", "Q(x)", 0},
  };
  for (const auto& c : cases) {
    Json r = assert_rule(c.statement);
    EXPECT_EQ(rename_predicate(r, "P", "B_P"), c.count + 1) << c.statement;  // + the predicate literal
    EXPECT_EQ(statement_of(r).at("the_string").as_str(), c.renamed) << c.statement;
    const Json* source = statement_of(r).get("statement_source");
    if (c.count == 0) {
      EXPECT_EQ(source, nullptr) << c.statement;
    } else {
      ASSERT_NE(source, nullptr) << c.statement;
      EXPECT_EQ(source->as_str(), c.statement);
    }
  }
  // A later renaming keeps the first source text.
  Json r = assert_rule("P(x), Q(x)");
  rename_predicate(r, "P", "B_P");
  rename_predicate(r, "Q", "C_Q");
  EXPECT_EQ(statement_of(r).at("the_string").as_str(), "B_P(x), C_Q(x)");
  EXPECT_EQ(statement_of(r).at("statement_source").as_str(), "P(x), Q(x)");
  // Outside @Assert rules strings are never statements.
  Json plain = rule(call_node("Note", {field(0, string_literal("P"))}), {}, "t");
  EXPECT_EQ(rename_predicate(plain, "P", "B_P"), 0);
}

TEST(RenamePredicateTest, DefinedAndMadeNames) {
  auto make = [](Json first) {
    return rule(call_node("@Make", {field(0, std::move(first)), field(1, var("B"))}), {}, "A := B()");
  };
  Json::ArrayType rs{rule(call_node("Q"), {}, "Q"),  rule(call_node("P"), {}, "P"),
                     rule(call_node("Q"), {}, "Q2"), make(pred("A")),
                     make(var("notapredicate")),     rule(call_node("@Make"), {}, "@Make()")};
  EXPECT_EQ(statement_heads(rs), (std::set<std::string>{"@Make", "P", "Q"}));
  EXPECT_EQ(made_predicates(rs), (std::set<std::string>{"A"}));
}

}  // namespace
}  // namespace mirtova
