// Defined names and the predicates statements refer to.
#include "verifier/references.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/tree_build.h"
#include "support/verifier_programs.h"

namespace mirtova::verifier {
namespace {

TEST(References, DefinedPredicates) {
  Json program = parsed_program(
      "P(x: 1); F(x) = x + 1; A := B(x: P); @Make(Q); @Make(\"S\", B); @Make(); @Limit(R, 1); @OrderBy(T);");
  EXPECT_EQ(defined_predicates(rule_lists(program).full), (SortedNames{"A", "F", "P", "Q"}));
}

TEST(References, BodiesAndExpressions) {
  struct Row {
    const char* rule;
    SortedNames body, head;
  };
  const Row rows[] = {
      {"P(x:) :- Q(x:), R(y: x);", {"Q", "R"}, {}},
      {"P(x:) :- Q(x:), ~R(x:), ~(S(x:), T(x:));", {"IsNull", "Q", "R", "S", "T"}, {}},
      {"P(x:) :- Q(x:), x == Sum{y :- R(y:)};", {"Q", "R"}, {}},
      {"P(x:) :- Q(x:), y = Max{z :- R(z:)}, x > y;", {"=", ">", "Q", "R"}, {}},
      {"P(x:) :- x in [1, 2], Q(x:);", {"Q"}, {}},
      // Calls of functions are not references.
      {"P(x:) :- Q(y:), x == Upper(y), x > Lower(y);", {">", "Q"}, {}},
      {"P(x: Sum{y :- Q(y:), ~R(y:)}, z: F(1));", {}, {"IsNull", "Q", "R"}},
  };
  for (const Row& row : rows) {
    Json program = parsed_program(row.rule);
    const Json& rule = program.at("rule").as_array().at(0);
    SortedNames body, head;
    if (const Json* b = rule.get("body")) collect_body_refs(*b, body);
    collect_expr_refs(rule.at("head"), head);
    EXPECT_EQ(body, row.body) << row.rule;
    EXPECT_EQ(head, row.head) << row.rule;
  }
}

TEST(References, DisjunctionsInATree) {
  // The parser splits top-level alternatives into rules; a body handed over
  // with a disjunction is still followed into each alternative.
  auto call = [](const char* name) { return make_predicate_conjunct(make_call(name, Json::array())); };
  Json body = make_conjunction(Json::array({make_object(
      "disjunction", make_object("disjunct", Json::array({make_conjunction(Json::array({call("A")})),
                                                          make_conjunction(Json::array({call("B")}))})))}));
  SortedNames refs;
  collect_body_refs(body, refs);
  EXPECT_EQ(refs, (SortedNames{"A", "B"}));
}

TEST(References, DeepNestingStaysOffTheCallStack) {
  // Negations inside negations, deeper than a recursive walk could follow.
  constexpr int kDepth = 20000;
  Json body = make_conjunction(Json::array({make_predicate_conjunct(make_call("Leaf", Json::array()))}));
  for (int i = 0; i < kDepth; ++i) {
    Json combine = make_object("combine", make_object("body", std::move(body)));
    Json call = make_call("IsNull", Json::array({make_field(Json(0), std::move(combine))}));
    body = make_conjunction(Json::array({make_predicate_conjunct(std::move(call))}));
  }
  SortedNames refs;
  collect_body_refs(body, refs);
  EXPECT_EQ(refs, (SortedNames{"IsNull", "Leaf"}));
  // Taken apart from the top: destroying the tree whole would recurse.
  while (Json* inner = negated_body(body)) {
    Json next = std::move(*inner);
    body = std::move(next);
  }
}

}  // namespace
}  // namespace mirtova::verifier
