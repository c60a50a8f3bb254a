// The variable sets of rules, as the parser writes them and as trees it
// leaves no longer (disjunctions at the top of a body).
#include "verifier/vars.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/trees.h"
#include "support/verifier_programs.h"

namespace mirtova::verifier {
namespace {

using namespace trees;

// Names written with blanks between them: "x y".
VarSet names(const std::string& text) {
  VarSet out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) out.insert(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

struct Sets {
  std::string head, positive, inputs, compared, negated, aggregation;
};

void expect_sets(const Json& rule, const Sets& want, const std::string& what) {
  EXPECT_EQ(VarCollector::head_vars(rule), names(want.head)) << what << ": head";
  EXPECT_EQ(VarCollector::positive_vars(rule), names(want.positive)) << what << ": positive";
  EXPECT_EQ(VarCollector::function_input_vars(rule), names(want.inputs)) << what << ": inputs";
  EXPECT_EQ(VarCollector::compared_vars(rule), names(want.compared)) << what << ": compared";
  EXPECT_EQ(VarCollector::negated_vars(rule), names(want.negated)) << what << ": negated";
  EXPECT_EQ(VarCollector::aggregation_vars(rule), names(want.aggregation)) << what << ": aggregation";
}

TEST(VarSets, OfParsedRules) {
  struct Row {
    const char* rule;
    Sets sets;  // head, positive, inputs, compared, negated, aggregation
  };
  const Row rows[] = {
      {"P(x) :- Q(x, _y, _)", {"x", "_y x", "", "", "", ""}},
      {"P(x) :- Q(x), x > y", {"x", "x", "", "x y", "", ""}},
      {"P(x) :- x == y", {"x", "x y", "", "", "", ""}},
      {"P(x) :- x == y + F(z)", {"x", "x y z", "", "", "", ""}},
      {"P(x) :- x in l", {"x", "x", "", "", "", ""}},
      {"P(x) :- Q(x), ~R(x, y)", {"x", "x", "", "", "x y", ""}},
      {"P(x) :- Q(x), ~(R(x, y), S(y))", {"x", "x", "", "", "x", ""}},
      {"P(x) :- Q(x), ~R(y, y)", {"x", "x", "", "", "", ""}},
      {"P(x) :- Q(x), ~R(y), ~S(y, y)", {"x", "x", "", "", "y", ""}},
      // An aggregation inside a negation keeps what it binds; a negation inside one, what it uses twice.
      {"P(x) :- Q(x), ~(Q(x), n == Count{y :- R(x, y)}, n > 0)", {"x", "x", "", "", "", ""}},
      {"P(x) :- Q(x), ~(Q(x), n == Count{y :- R(x, y), y > w}, n > 0)", {"x", "x", "", "", "w", ""}},
      {"P(x) :- Q(x), ~(n == Count{y :- R(x, y), ~S(y, z)}, n > 0)", {"x", "x", "", "", "z", ""}},
      {"P(x) :- Q(x), ~(~R(x, y))", {"x", "x", "", "", "x y", ""}},
      {"P(x) :- Q(x), ~(Q(x), ~(R(x, y), S(y)))", {"x", "x", "", "", "", ""}},
      {"P(x) :- Q(x), ~(~(R(x, y), S(y)), T(z))", {"x", "x", "", "", "x z", ""}},
      {"P(x) :- Q(x), R(a: [z], b: w.f)", {"x", "x", "", "", "", ""}},
      {"P(x, n? Sum= y) distinct :- Q(x, y)", {"x", "x y", "", "", "", "y"}},
      {"P(x, n? Sum= y + z) distinct :- Q(x, y)", {"x", "x y", "", "", "", "y z"}},
      {"P(x, s: (combine Sum= y :- R(y, z))) :- Q(x)", {"x", "x", "", "", "", ""}},
      {"P(x) :- Q(x), x > Sum{y :- R(y, z)}", {"x", "x", "", "x", "", ""}},
      {"P(x) :- Q(x), y == Sum{z :- R(z, w)}", {"x", "x y", "", "", "", ""}},
      {"F(x) = x + y :- Q(y)", {"x y", "y", "x", "", "", ""}},
      {"F(x, y) = z :- Q(z)", {"x y z", "z", "x y", "", "", ""}},
      {"P(x: if c then a else b) :- Q(a, b, c)", {"a b c", "a b c", "", "", "", ""}},
      {"P(y) :- Q(y), IsNull(x)", {"y", "y", "", "", "", ""}},
      {"P(x)", {"x", "", "", "", "", ""}},
      {"P(x) :- Q(x), x == Sum(y)", {"x", "x", "", "", "", "y"}},
      {"P(x) :- Q(x), R(a: Count(y), b: 1 + Max(z))", {"x", "x y z", "", "", "", "y"}},
      {"P(x) :- Q(x), Like(x, p), x != q", {"x", "x", "", "p q x", "", ""}},
  };
  for (const Row& row : rows) {
    Json program = parsed_program(row.rule);
    expect_sets(program.at("rule").as_array().at(0), row.sets, row.rule);
  }
}

TEST(VarSets, DisjunctionsBindWhatEveryAlternativeBinds) {
  // P(x) :- Q(x, y) | R(x), written as one disjunction conjunct.
  Json one = rule(head("P", {var("x")}),
                  {disj({conj({atom("Q", {var("x"), var("y")})}), conj({atom("R", {var("x")})})})});
  expect_sets(one, {"x", "x", "", "", "", ""}, "two alternatives");

  // Alternatives inside alternatives: ((Q(x, y) | R(x, y, z)) | S(y, x)) binds x and y.
  Json nested = rule(head("P", {var("x")}),
                     {disj({conj({disj({conj({atom("Q", {var("x"), var("y")})}),
                                        conj({atom("R", {var("x"), var("y"), var("z")})})})}),
                            conj({atom("S", {var("y"), var("x")}), cond(">", var("w"), num(1))})})});
  expect_sets(nested, {"x", "x y", "", "w", "", ""}, "nested alternatives");

  Json none = rule(head("P", {var("x")}), {disj({})});
  expect_sets(none, {"x", "", "", "", "", ""}, "no alternative");
}

TEST(VarSets, ComparedNamesThatTheParserCannotWrite) {
  // Variables named like predicates, as other front ends may write them.
  Json r = rule(head("P", {var("x")}), {atom("Q", {var("x")}), cond(">", var("B"), num(1)),
                                        cond("<", var("a"), var(Json(int64_t{7})))});
  expect_sets(r, {"x", "x", "", "7 B a", "", ""}, "B, a and 7");
}

}  // namespace
}  // namespace mirtova::verifier
