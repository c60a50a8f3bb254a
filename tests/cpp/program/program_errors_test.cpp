#include <gtest/gtest.h>

#include "support/program_test_support.h"

namespace mirtova {
namespace {

using namespace trees;

Json rest_atom(std::string name, std::string var_name) {
  return Json::object(
      {{"predicate", call_node(std::move(name), {make_field("*", var(std::move(var_name)))})}});
}

struct ErrorCase {
  std::string what;
  Json tree;
  std::string predicate, message, rule_text;
};

TEST(ProgramErrorsTest, RefusalsOfRulesAndPredicates) {
  Json bad_rest = head("R", {});
  bad_rest.at_mut("record").at_mut("field_value").push(make_field("*", var("r")));
  Json agg_head = head("A", {}, {{"k", var("k")}});
  agg_head.at_mut("record").at_mut("field_value").push(aggregated("n", "Agg+", num(1)));
  Json disjunction = Json::object(
      {{"disjunction",
        Json::object({{"disjunct", Json::array({atom("T", {var("x")}), atom("U", {var("x")})})}})}});
  // clang-format off
  ErrorCase cases[] = {
      {"no rules", program({rule(head("P", {num(1)}), {})}), "Q", "Predicate 'Q' has no rules to compile.", ""},
      {"unbound head variable", program({rule(head("P", {var("y")}), {atom("T", {var("x")})}, "P(y) :- T(x)")}), "P",
       "Variable 'y' is not given a value in this rule: bind it with a predicate, an equality or an inclusion.",
       "P(y) :- T(x)"},
      {"unbound condition", program({rule(head("P", {var("x")}), {atom("T", {var("x")}), cond(">", var("z"), num(1))},
                                          "P(x) :- T(x), z > 1")}),
       "P", "Variable 'z' is not given a value in this rule: bind it with a predicate, an equality or an inclusion.",
       "P(x) :- T(x), z > 1"},
      {"unknown column of a defined predicate",
       program({rule(head("Q", {}, {{"a", num(1)}}), {}), rule(head("Q", {}, {{"a", num(2)}}), {}),
                rule(head("P", {var("x")}), {atom("Q", {}, {{"b", var("x")}})}, "P(x) :- Q(b: x)")}),
       "P", "Predicate 'Q' has no column 'b'.", "P(x) :- Q(b: x)"},
      {"rules with different columns",
       program({rule(head("P", {}, {{"a", num(1)}}), {}, "P(a: 1)"), rule(head("P", {}, {{"b", num(2)}}), {}, "P(b: 2)")}),
       "P", "Rules of predicate 'P' define different columns: a and b.", "P(b: 2)"},
      {"distinct and aggregating with two rules",
       program({rule(agg_head, {atom("T", {var("k")})}, "A1", true), rule(agg_head, {atom("U", {var("k")})}, "A2", true)}),
       "A", "Predicate 'A' is distinct and aggregates, so it must have exactly one rule.", "A1"},
      {"disjunction inside a combine",
       program({rule(head("P", {var("t")}), {unify(var("t"), combine_expr("Agg+", var("x"), {disjunction}))}, "P(t)")}),
       "P",
       "A disjunction inside a negation or a combine is not supported: write the alternatives as rules of a "
       "predicate of their own and use it there.",
       "P(t)"},
      {"rest field that is not a whole row", program({rule(bad_rest, {atom("T", {var("r")})}, "R(..r) :- T(r)")}), "R",
       "A rest field (..r) can only pass a whole row of one call on to the head.", "R(..r) :- T(r)"},
      {"rest field of two calls",
       program({rule(bad_rest, {rest_atom("T", "r"), rest_atom("U", "r")}, "R(..r) :- T(..r), U(..r)")}), "R",
       "A rest field (..r) can only pass a whole row of one call on to the head.", "R(..r) :- T(..r), U(..r)"},
      {"recursion left in the program",
       program({rule(head("P", {var("x")}), {atom("T", {var("x")})}), rule(head("P", {var("x")}), {atom("P", {var("x")})}),
                rule(head("Q", {var("x")}), {atom("P", {var("x")})}),
                annotation("@Recursive", {pred("P"), num(0)})}),
       "Q", "Predicate 'P' depends on itself: its recursion was not unfolded.", ""},
      {"call of a name that is nothing",
       program({rule(head("P", {var("y")}), {atom("T", {var("x")}), unify(var("y"), call("Nothing", {var("x")}))}, "P")}),
       "P", "'Nothing' is neither a predicate of the program nor a built-in function", "P"},
  };
  // clang-format on
  for (const ErrorCase& c : cases) {
    auto r = compile(c.tree, c.predicate, "duckdb");
    ASSERT_FALSE(r.ok()) << c.what << "\n" << r.value();
    EXPECT_EQ(r.error().message, c.message) << c.what;
    EXPECT_EQ(r.error().rule_text, c.rule_text) << c.what;
  }
}

TEST(ProgramErrorsTest, RefusalsOfTheBuild) {
  // clang-format off
  ErrorCase cases[] = {
      {"distinct disagreement",
       program({rule(head("P", {num(1)}), {}, "P(1) distinct", true), rule(head("P", {num(2)}), {}, "P(2)")}), "",
       "Rules of predicate 'P' disagree on distinct: either all of them are distinct or none is.", "P(2)"},
      // Rules of two predicates taken in turn: the name first in byte order is
      // the one told, with its first rule that disagrees with its first.
      {"distinct disagreement of interleaved predicates",
       program({rule(head("Q", {num(1)}), {}, "Q(1) distinct", true), rule(head("P", {num(1)}), {}, "P(1)"),
                rule(head("Q", {num(2)}), {}, "Q(2)"), rule(head("P", {num(2)}), {}, "P(2)"),
                rule(head("P", {num(3)}), {}, "P(3) distinct", true),
                rule(head("P", {num(4)}), {}, "P(4) distinct", true)}), "",
       "Rules of predicate 'P' disagree on distinct: either all of them are distinct or none is.", "P(3) distinct"},
      {"unknown engine", program({annotation("@Engine", {str("oracle")})}), "",
       "Unsupported engine 'oracle'. Supported engines: bigquery, sqlite, psql, trino, presto, databricks, duckdb.",
       ""},
  };
  // clang-format on
  for (const ErrorCase& c : cases) {
    static const std::vector<Json> kNoLibrary;
    auto r = QuorilProgram::build(c.tree, {}, std::nullopt, &kNoLibrary);
    ASSERT_FALSE(r.ok()) << c.what;
    EXPECT_EQ(r.error().message, c.message) << c.what;
    EXPECT_EQ(r.error().rule_text, c.rule_text) << c.what;
  }
}

}  // namespace
}  // namespace mirtova
