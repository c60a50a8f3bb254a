#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/internal_fault.h"
#include "compiler/type_inference/builder.h"
#include "support/trees.h"
#include "support/types_graph_text.h"

namespace mirtova {
namespace {

using namespace trees;

Json at_positions(Json literal_node, int64_t start, int64_t stop) {
  // Positions live in an object under the literal's inner key.
  Json& inner = literal_node.at_mut("literal").at_mut("the_number");
  inner.set("number", Json::object({{"start", start}, {"stop", stop}}));
  return literal_node;
}

Json combine() { return Json::object({{"combine", rule(head("Combine", {}, {{"quoril_value", num()}}))}}); }

TEST(TypesGraphBuilderTest, EdgesOfOnePredicate) {
  struct Case {
    std::string what;
    std::vector<Json> rules;
    std::string predicate;
    std::vector<std::string> edges;
  };
  const std::vector<Case> cases = {
      {"calls in a body",
       {rule(head("Q", {var("x")}), {atom("P", {var("x"), var("y")}), atom("R", {var("y")})})},
       "Q",
       {"Equality PredicateAddressing(Q.col0) Variable(x@1) (0, 0)",
        "Equality PredicateAddressing(P.col0) Variable(x@1) (0, 0)",
        "Argument PredicateAddressing(P.quoril_value) PredicateAddressing(P.col0) (0, 0)",
        "Equality PredicateAddressing(P.col1) Variable(y@1) (0, 0)",
        "Argument PredicateAddressing(P.quoril_value) PredicateAddressing(P.col1) (0, 0)",
        "Equality PredicateAddressing(R.col0) Variable(y@1) (0, 0)",
        "Argument PredicateAddressing(R.quoril_value) PredicateAddressing(R.col0) (0, 0)"}},
      {"positional, named and value columns of a head",
       {rule(head("F", {var("x")}, {{"a", var("y")}, {"quoril_value", op("+", var("x"), num())}}))},
       "F",
       {"Equality PredicateAddressing(F.col0) Variable(x@1) (0, 0)",
        "Equality PredicateAddressing(F.a) Variable(y@1) (0, 0)",
        "Equality PredicateAddressing(+.left) Variable(x@1) (0, 0)",
        "Argument PredicateAddressing(+.quoril_value) PredicateAddressing(+.left) (0, 0)",
        "Equality PredicateAddressing(+.right) NumberLiteral (0, 0)",
        "Argument PredicateAddressing(+.quoril_value) PredicateAddressing(+.right) (0, 0)",
        "Equality PredicateAddressing(F.quoril_value) PredicateAddressing(+.quoril_value) (0, 0)"}},
      {"annotations do not count as rules; an if-then-else joins both branches",
       {rule(head("@OrderBy", {var("x")})),
        rule(head("A", {var("z")}), {unify(var("z"), implication({{var("c"), num()}}, str()))})},
       "A",
       {"Equality PredicateAddressing(A.col0) Variable(z@1) (0, 0)",
        "Equality Variable(_IfNode0@1) StringLiteral (0, 0)",
        "Equality Variable(_IfNode0@1) NumberLiteral (0, 0)",
        "Equality Variable(z@1) Variable(_IfNode0@1) (0, 0)"}},
      {"an if-then-else without otherwise meets null",
       {rule(head("A", {implication({{var("c"), num()}}, std::nullopt)}))},
       "A",
       {"Equality Variable(_IfNode0@1) NullLiteral (0, 0)", "Equality Variable(_IfNode0@1) NumberLiteral (0, 0)",
        "Equality PredicateAddressing(A.col0) Variable(_IfNode0@1) (0, 0)"}},
      {"what the builder does not understand is a fresh unknown each time",
       {rule(head("U", {Json(5)}), {unify(var("a"), combine()), unify(var("b"), Json::object({{"call", Json::object()}}))})},
       "U",
       {"Equality PredicateAddressing(U.col0) Variable(_unknown1) (0, 0)",
        "Equality Variable(a@1) Variable(_unknown2) (0, 0)", "Equality Variable(b@1) Variable(_unknown3) (0, 0)"}},
      {"bounds of record and list literals",
       {rule(head("W", {record({{"a", num()}})}, {{"l", list({num()})}, {"e", list({})}}), {unify(var("x"), record({{"a", num()}}))})},
       "W",
       {"Equality PredicateAddressing(W.col0) RecordLiteral(a: NumberLiteral) (-1, 1)",
        "Equality PredicateAddressing(W.l) ListLiteral[NumberLiteral] (-1, 1)",
        "Equality PredicateAddressing(W.e) ListLiteral[] (0, 0)",
        "Equality Variable(x@1) RecordLiteral(a: NumberLiteral) (0, 1)"}},
      {"positions read from the tree reach the edges",
       {rule(head("T", {var("x")}), {unify(var("x"), at_positions(num(), 3, 5)),
                                    includes(var("e"), list({at_positions(num(), 2, 4)}))})},
       "T",
       {"Equality PredicateAddressing(T.col0) Variable(x@1) (0, 0)", "Equality Variable(x@1) NumberLiteral (0, 5)",
        "Inclusion ListLiteral[NumberLiteral] Variable(e@1) (0, 5)"}},
      {"Set and List include their argument, set does not",
       {rule(head("S", {var("s")}), {unify(var("s"), call("Set", {var("x")})),
                                    unify(var("t"), call("set", {var("y")}))})},
       "S",
       {"Equality PredicateAddressing(S.col0) Variable(s@1) (0, 0)",
        "Equality PredicateAddressing(Set.col0) Variable(x@1) (0, 0)",
        "Argument PredicateAddressing(Set.quoril_value) PredicateAddressing(Set.col0) (0, 0)",
        "Inclusion PredicateAddressing(Set.quoril_value) PredicateAddressing(Set.col0) (0, 0)",
        "Equality Variable(s@1) PredicateAddressing(Set.quoril_value) (0, 0)",
        "Equality PredicateAddressing(set.col0) Variable(y@1) (0, 0)",
        "Argument PredicateAddressing(set.quoril_value) PredicateAddressing(set.col0) (0, 0)",
        "Equality Variable(t@1) PredicateAddressing(set.quoril_value) (0, 0)"}},
      {"equal edges of two rules are kept once",
       {rule(head("P", {num("1")})), rule(head("P", {num("2")}))},
       "P",
       {"Equality PredicateAddressing(P.col0) NumberLiteral (0, 0)"}},
      {"so they are with another predicate's rules between the two",
       {rule(head("P", {num("1")})), rule(head("Q", {num("1")})), rule(head("P", {num("2")}))},
       "P",
       {"Equality PredicateAddressing(P.col0) NumberLiteral (0, 0)"}},
      {"the same variable in two rules is two nodes",
       {rule(head("P", {var("x")}), {atom("B", {var("x")})}), rule(head("P", {var("x")}))},
       "P",
       {"Equality PredicateAddressing(P.col0) Variable(x@1) (0, 0)",
        "Equality PredicateAddressing(B.col0) Variable(x@1) (0, 0)",
        "Argument PredicateAddressing(B.quoril_value) PredicateAddressing(B.col0) (0, 0)",
        "Equality PredicateAddressing(P.col0) Variable(x@2) (0, 0)"}},
      {"subscripts",
       {rule(head("V", {var("y")}), {unify(var("y"), subscript(subscript(var("r"), "a"), "b"))})},
       "V",
       {"Equality PredicateAddressing(V.col0) Variable(y@1) (0, 0)",
        "FieldAccess Variable(r@1) SubscriptAddressingVariable(r@1).a (0, 0)",
        "FieldAccess SubscriptAddressingVariable(r@1).a SubscriptAddressingSubscriptAddressingVariable(r@1).a.b (0, 0)",
        "Equality Variable(y@1) SubscriptAddressingSubscriptAddressingVariable(r@1).a.b (0, 0)"}},
      {"an aggregated head value converts the aggregation's expression",
       {[] {
         Json r = rule(head("C", {var("d")}), {atom("E", {var("d")})});
         Json agg = Json::object(
             {{"aggregation", Json::object({{"expression", call("Agg+", {num()})}})}});
         r.at_mut("head").at_mut("record").at_mut("field_value").push(
             Json::object({{"field", "n"}, {"value", agg}}));
         return r;
       }()},
       "C",
       {"Equality PredicateAddressing(C.col0) Variable(d@1) (0, 0)",
        "Equality PredicateAddressing(Agg+.col0) NumberLiteral (0, 0)",
        "Argument PredicateAddressing(Agg+.quoril_value) PredicateAddressing(Agg+.col0) (0, 0)",
        "Equality PredicateAddressing(C.n) PredicateAddressing(Agg+.quoril_value) (0, 0)",
        "Equality PredicateAddressing(E.col0) Variable(d@1) (0, 0)",
        "Argument PredicateAddressing(E.quoril_value) PredicateAddressing(E.col0) (0, 0)"}},
      {"more columns and variables than are kept for reuse",
       {[] {
         std::vector<Json> args;
         for (int i = 0; i < 20; ++i) args.push_back(var("v" + std::to_string(i)));
         return rule(head("W", {var("v19")}), {atom("P", args), atom("P", args)});
       }()},
       "W",
       [] {
         std::vector<std::string> edges = {"Equality PredicateAddressing(W.col0) Variable(v19@1) (0, 0)"};
         for (int i = 0; i < 20; ++i) {
           const std::string column = "PredicateAddressing(P.col" + std::to_string(i) + ")";
           edges.push_back("Equality " + column + " Variable(v" + std::to_string(i) + "@1) (0, 0)");
           edges.push_back("Argument PredicateAddressing(P.quoril_value) " + column + " (0, 0)");
         }
         return edges;
       }()},
  };
  for (const Case& c : cases) {
    TypesGraphBuilder builder;
    TypesGraphs graphs = builder.run_rules(c.rules);
    ASSERT_TRUE(graphs.count(c.predicate)) << c.what;
    EXPECT_EQ(describe(graphs.at(c.predicate)), c.edges) << c.what;
  }
}

TEST(TypesGraphBuilderTest, NumbersRunAcrossRules) {
  // Two if-then-else in rule 1 and one in rule 2; the call numbers of F count
  // every call made before, and a head sees the count without adding to it.
  std::vector<Json> rules = {
      rule(head("A", {implication({{var("c"), num()}}, num()), implication({{var("c"), num()}}, num())})),
      rule(head("B", {implication({{var("c"), num()}}, num())}), {unify(var("u"), call("F", {num()}))}),
      rule(head("G", {var("y")}), {unify(var("y"), call("F", {str()}))}),
      rule(head("F", {var("x")}, {{"quoril_value", var("x")}})),
  };
  TypesGraphBuilder builder;
  TypesGraphs graphs = builder.run_rules(rules);
  std::vector<std::string> if_nodes;
  for (const char* p : {"A", "B"}) {
    for (const Edge& e : graphs.at(p).edges()) {
      if (e.left.to_string().find("_IfNode") != std::string::npos &&
          e.right.kind() == Expression::Kind::NumberLiteral &&
          (if_nodes.empty() || if_nodes.back() != e.left.to_string())) {
        if_nodes.push_back(e.left.to_string());
      }
    }
  }
  EXPECT_EQ(if_nodes, (std::vector<std::string>{"Variable(_IfNode0@1)", "Variable(_IfNode1@1)",
                                                "Variable(_IfNode2@2)"}));
  auto call_numbers = [&](const std::string& p) {
    std::vector<uint64_t> out;
    for (const Edge& e : graphs.at(p).edges()) {
      for (const Expression* end : {&e.left, &e.right}) {
        if (end->is_predicate_addressing() && end->name() == "F") out.push_back(end->call_number());
      }
    }
    return out;
  };
  EXPECT_EQ(call_numbers("B"), (std::vector<uint64_t>{0, 0, 0, 0}));
  EXPECT_EQ(call_numbers("G"), (std::vector<uint64_t>{1, 1, 1, 1}));
  EXPECT_EQ(call_numbers("F"), (std::vector<uint64_t>{2, 2}));
}

TEST(TypesGraphBuilderTest, RulesWithoutHeadNameAreSkippedAndRunsStartAfresh) {
  std::vector<Json> rules = {Json::object({{"head", Json::object()}}), rule(head("P", {var("x")}))};
  TypesGraphBuilder builder;
  TypesGraphs first = builder.run_rules(rules);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(describe(first.at("P")),
            (std::vector<std::string>{"Equality PredicateAddressing(P.col0) Variable(x@1) (0, 0)"}));
  EXPECT_EQ(describe(builder.run_rules(rules).at("P")), describe(first.at("P")));
}

TEST(TypesGraphBuilderTest, TreesOfAnotherShapeAreInternalFaults) {
  std::vector<Json> bad = {
      Json::object({{"head", Json::object({{"predicate_name", 3}})}}),
      rule(head("P", {Json::object({{"call", Json::object({{"predicate_name", 3}})}})})),
      rule(head("P", {Json::object({{"literal", "the_number"}})})),
      rule(head("P", {Json::object({{"implication", Json::object({{"if_then", 1}})}})})),
  };
  for (const Json& r : bad) {
    TypesGraphBuilder builder;
    EXPECT_THROW(builder.run_rules(std::vector<Json>{r}), InternalFault) << r.compact();
  }
}

}  // namespace
}  // namespace mirtova
