// The arity check over programs as the parser writes them: heads against the
// first rule of their predicate, columns once per head, calls against heads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/tree_build.h"
#include "support/verifier_programs.h"
#include "verifier/arity.h"

namespace mirtova::verifier {
namespace {

std::string inconsistent(const std::string& p, int first, int other) {
  return "Predicate '" + p + "' defined with inconsistent arities: " + std::to_string(first) + " and " +
         std::to_string(other);
}
std::string mismatch(const std::string& p, int expected, int got) {
  return "Arity mismatch for '" + p + "': expected " + std::to_string(expected) + " arguments, got " +
         std::to_string(got);
}
std::string twice(const std::string& column, const std::string& p) {
  return "Column '" + column + "' appears twice in the head of '" + p + "'";
}
std::string unknown(const std::string& column, const std::string& p) {
  return "Unknown column '" + column + "' for predicate '" + p + "'";
}

std::vector<std::string> arity_errors(const Json& program) {
  std::vector<std::string> texts;
  for (const ArityError& error : check_arity(rule_lists(program).plain)) texts.push_back(error.text());
  return texts;
}

TEST(ArityCheck, HeadsCallsAndTheirOrder) {
  struct Row {
    const char* what;
    std::string source;
    std::vector<std::string> errors;
  };
  const Row rows[] = {
      {"heads that agree", "P(x, y) :- A(x, y); P(a: 1, b: 2);", {}},
      {"one error per rule that differs from the first",
       "P(x, y) :- A(x, y); P(x) :- B(x); P(x, y, z) :- C(x, y, z); P(u, v) :- A(u, v);",
       {inconsistent("P", 2, 1), inconsistent("P", 2, 3)}},
      {"a function head counts its value", "F(x) = x + 1; F(a: 1, b: 2);", {}},
      {"a column twice, before the arity of the same rule",
       "P(a: 1); P(a: 1, a: 2, b: 3);",
       {twice("a", "P"), inconsistent("P", 1, 3)}},
      {"a column three times", "P(a: 1, a: 2, a: 3);", {twice("a", "P"), twice("a", "P")}},
      {"an argument count that does not match", "P(x, y) :- A(x, y); Q(z) :- P(z);", {mismatch("P", 2, 1)}},
      {"named arguments are never miscounted, but are looked up",
       "P(x, y) :- A(x, y); Q(z) :- P(z: 1);",
       {unknown("z", "P")}},
      {"the most numbered fields of any head",
       "P(x) :- A(x); P(x, y, z) :- A(x, y, z); Q(a) :- P(a, b, c); R(a) :- P(a);",
       {inconsistent("P", 1, 3), mismatch("P", 3, 1)}},
      {"columns named by any head", "P(a: 1); P(b: 2); Q(x:) :- P(a: x), P(b: x);", {}},
      {"unknown columns in byte order",
       "P(1); Q(x) :- P(b: 1, a: 2);",
       {unknown("a", "P"), unknown("b", "P")}},
      {"built-in call names are never measured", "Count(a: 1); Q(x:) :- Count(b: 1, c: 2), x == 1;", {}},
      {"calls of what no rule defines", "Q(x:) :- t(y: x), Ext(z: x);", {}},
      {"a nested call before its predicate, an expression's call before its arguments",
       "P(x, y) :- A(x, y); F(x) = x; Q(x) :- P(F(x, 2, z: F(b: 1)), y: 1);",
       {mismatch("F", 1, 2), unknown("z", "F"), unknown("b", "F"), mismatch("P", 2, 1), unknown("y", "P")}},
      {"in a unification the right side first",
       "F(x) = x; G(x) = x; Q(x) :- F(q: 1) == G(r: 2);",
       {unknown("r", "G"), unknown("q", "F")}},
      {"inside a negation and a combine",
       "P(x) :- A(x); Q(x) :- A(x), ~P(n: x), x == Sum{y :- P(c: y)};",
       {unknown("n", "P"), unknown("c", "P")}},
      {"a rest field is no column, and a head with one lists no columns",
       "P(a: 1, b: 2); R(..r) :- P(..r); Q(x:) :- R(a: x, z: 1), P(a: x, w: 2);",
       {unknown("w", "P")}},
      {"a head with a rest field is measured against no other head",
       "P(a: 1, b: 2); R(a: 1, b: 2); R(..r) :- P(..r); S(..r) :- P(..r); S(a: 1, b: 2);",
       {}},
      {"calls in heads and inclusions are not examined",
       "P(x) :- A(x); Q(x: Sum{y :- P(h: y)}) :- A(x); R(x) :- x in [P(i: 1)];",
       {}},
  };
  for (const Row& row : rows) EXPECT_EQ(arity_errors(parsed_program(row.source)), row.errors) << row.what;
}

TEST(ArityCheck, RestFieldsPassOnWholeRows) {
  const std::string refused = "A rest field (..r) can only pass a whole row of one call on to the head.";
  struct Row {
    const char* what;
    std::string source;
    size_t findings;
  };
  const Row rows[] = {
      {"a row passed on", "P(a: 1, b: 2); Q(..r) :- P(..r);", 0},
      {"a row taken after other fields", "P(a: 1, b: 2); Q(a:) :- P(a:, ..r);", 1},
      {"a row taken twice", "Q(..r) :- t(..r), u(..r);", 1},
      {"a row of the rule around a negation", "Q(..r) :- t(..r), ~u(..r);", 1},
      {"a combine's own row", "Q(n:) :- n == Count{x :- t(..r), x == r.x};", 0},
      {"two combines' own rows", "Q(n:) :- n == Count{x :- t(..r), x == r.x} + Count{x :- u(..r), x == r.x};",
       0},
      // A fact's column is written as an equality, which reads the row as a value.
      {"a column read before the row", "P(x: 1); Q(..r) :- P(x: r), t(..r);", 1},
      {"a head row the body gives as a column", "Q(..r) :- t(x: r);", 1},
      {"a head row after other fields", "Q(a:, ..r) :- t(..r), a == 1;", 1},
      {"a head row nothing gives is the unbound variable's", "Q(..r) :- t(x: 1);", 0},
      {"refused in the body, not again in the head", "Q(..r) :- t(x: 1, ..r);", 1},
      {"once for the alternatives of a rule", "Q(..r) :- t(..r), u(..r) | u(..r), t(..r);", 1},
  };
  for (const Row& row : rows) {
    std::vector<std::string> texts;
    for (const ArityError& error : check_rest_fields(rule_lists(parsed_program(row.source)).plain))
      texts.push_back(error.text());
    EXPECT_EQ(texts, std::vector<std::string>(row.findings, refused)) << row.what;
  }
}

TEST(ArityCheck, DisjunctionsInATreeAndDeepNesting) {
  // The parser splits top-level alternatives into rules; a body handed over
  // with a disjunction is still followed into each alternative.
  Json program = parsed_program("P(x) :- A(x); Q(x) :- A(x);");
  auto bad_call = [](const char* column) {
    return make_predicate_conjunct(make_call(
        "P", Json::array({make_field(Json(column), make_object("variable", make_object("var_name", "x")))})));
  };
  Json disjunction = make_object(
      "disjunction", make_object("disjunct", Json::array({make_conjunction(Json::array({bad_call("d1")})),
                                                          make_conjunction(Json::array({bad_call("d2")}))})));
  // Negations inside negations, deeper than a recursive walk could follow.
  Json body = make_conjunction(Json::array({bad_call("deep")}));
  for (int i = 0; i < 20000; ++i) {
    Json combine = make_object("combine", make_object("body", std::move(body)));
    Json call = make_call("IsNull", Json::array({make_field(Json(0), std::move(combine))}));
    body = make_conjunction(Json::array({make_predicate_conjunct(std::move(call))}));
  }
  Json& rules = program.at_mut("rule");
  rules.as_array_mut()[1].set("body", make_conjunction(Json::array({std::move(disjunction)})));
  rules.as_array_mut()[0].set("body", std::move(body));
  EXPECT_EQ(arity_errors(program),
            (std::vector<std::string>{unknown("deep", "P"), unknown("d1", "P"), unknown("d2", "P")}));
  // Taken apart from the top: destroying the tree whole would recurse.
  body = std::move(rules.as_array_mut()[0].at_mut("body"));
  while (Json* inner = negated_body(body)) {
    Json next = std::move(*inner);
    body = std::move(next);
  }
}

}  // namespace
}  // namespace mirtova::verifier
