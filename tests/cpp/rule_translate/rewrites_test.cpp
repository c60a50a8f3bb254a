#include "compiler/rule_translate/rewrites.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "compiler/program/fresh_names.h"
#include "compiler/program/universe_inject.h"
#include "compiler/rule_translate/names.h"
#include "parser/tree_access.h"
#include "support/trees.h"

namespace mirtova {
namespace {

using namespace trees;

TEST(ConstraintPredicateTest, ExactNamesOnly) {
  struct Case {
    std::string name;
    bool want;
  } cases[] = {{"<", true},          {"is not", true},     {"IsNull", true}, {"RegexpContains", true},
               {"Constraint", true}, {"~", true},          {"in", true},     {"isnull", false},
               {"In", false},        {"=", false},         {"+", false},     {"Like ", false},
               {"", false},          {"StartsWith", true}, {"ILike", true},  {"Person", false}};
  for (const Case& c : cases) EXPECT_EQ(is_constraint_predicate(c.name), c.want) << c.name;
}

TEST(NamesAllocatorTest, CleanNamesFirstThenNumbered) {
  NamesAllocator names;
  std::vector<std::pair<std::string, std::string>> steps = {
      {"Parent", "Parent"},     {"Parent", "t_0_Parent"}, {"parent", "t_1_parent"}, {"", "t_2"},
      {"Select", "t_3_Select"}, {"a.b-c", "a_b_c"},       {"`9x`", "_9x"},          {"", "t_4"},
  };
  for (auto& [predicate, want] : steps)
    EXPECT_EQ(predicate.empty() ? names.alloc_unnest() : names.alloc_table(predicate), want) << predicate;
  // A reset frees every name, more than once, and only until a name is taken again.
  for (int round = 0; round < 3; ++round) {
    names.reset();
    EXPECT_FALSE(names.in_use("parent"));
    EXPECT_EQ(names.alloc_table("Parent"), "Parent");
    EXPECT_TRUE(names.in_use("parent"));
    EXPECT_FALSE(names.in_use("a_b_c"));
    EXPECT_EQ(names.alloc_table("Parent"), "t_0_Parent");
  }
}

// An alias that a column of a table in reach would shadow takes the numbered
// form; a combine's scope keeps the names of the rule around it.
TEST(NamesAllocatorTest, ColumnNamesInReachAreAvoided) {
  auto columns = [](std::set<std::string> lower) {
    return [lower = std::move(lower)](const std::string& name) { return lower.count(name) > 0; };
  };
  NamesAllocator names;
  EXPECT_EQ(names.alloc_table("U"), "U");  // no scope open: nothing to avoid
  names.open_scope(columns({"u", "d", "t_2_w", "t_4"}), false);
  std::vector<std::pair<std::string, std::string>> steps = {
      {"u", "t_0_u"}, {"D", "t_1_D"}, {"W", "W"}, {"W", "t_3_W"}, {"", "t_5"}, {"Edge", "Edge"},
  };
  for (auto& [predicate, want] : steps)
    EXPECT_EQ(predicate.empty() ? names.alloc_unnest() : names.alloc_table(predicate), want) << predicate;
  names.open_scope(columns({"p"}), true);
  EXPECT_EQ(names.alloc_table("P"), "t_6_P");
  EXPECT_EQ(names.alloc_table("Dd"), "Dd");
  EXPECT_EQ(names.alloc_table("d"), "t_7_d");  // from the enclosing scope
  names.close_scope();
  EXPECT_EQ(names.alloc_table("p"), "p");   // the inner scope is closed
  names.open_scope(columns({"x"}), false);  // a rule of its own: the outer names no longer count
  EXPECT_EQ(names.alloc_table("D"), "D");
  EXPECT_EQ(names.alloc_table("x"), "t_8_x");
  names.close_scope();
  names.close_scope();
  EXPECT_EQ(names.alloc_table("X"), "X");
}

TEST(RewritesTest, DecorationWrapsTheAggregatedArgument) {
  Json combine = rule(call_node("Combine", {aggregated("quoril_value", "Agg+", var("x"))}),
                      {atom("Sale", {}, {{"amount", var("x")}})});
  Json d = decorate_combine_rule(combine, "x_7");
  Json expected =
      rule(call_node("Combine",
                     {aggregated("quoril_value", "Agg+", call("MagicalEntangle", {var("x"), var("x_7")}))}),
           {atom("Sale", {}, {{"amount", var("x")}}), includes(var("x_7"), list({num(0)}))});
  EXPECT_EQ(d, expected) << d.pretty();
  EXPECT_NE(combine, d);  // the input is not changed
}

TEST(RewritesTest, EliminationOfCompilerVariables) {
  struct Case {
    std::string what;
    Json rule, want;
    // clang-format off
  } cases[] = {
      {"injection plumbing",
       rule(head("T", {var("a"), var("c")}),
            {atom("Edge", {var("x_0"), var("x_1")}), cond("!=", var("x_0"), var("x_1")), unify(var("x_0"), var("a")),
             unify(var("x_1"), var("b")), atom("Edge", {var("x_2"), var("x_3")}), unify(var("x_2"), var("b")),
             unify(var("x_3"), var("c"))}),
       rule(head("T", {var("a"), var("c")}),
            {atom("Edge", {var("a"), var("b")}), cond("!=", var("a"), var("b")), atom("Edge", {var("b"), var("c")})})},
      {"user variables stay",
       rule(head("T", {var("a")}), {atom("P", {var("b")}), unify(var("a"), var("b"))}),
       rule(head("T", {var("a")}), {atom("P", {var("b")}), unify(var("a"), var("b"))})},
      {"self reference stays",
       rule(head("T", {var("x_1")}), {unify(var("x_1"), op("+", var("x_1"), num(1)))}),
       rule(head("T", {var("x_1")}), {unify(var("x_1"), op("+", var("x_1"), num(1)))})},
      {"both compiler variables: the left goes",
       rule(head("T", {var("x_1")}), {atom("P", {var("x_2")}), unify(var("x_1"), var("x_2"))}),
       rule(head("T", {var("x_2")}), {atom("P", {var("x_2")})})},
      {"record subscript simplified",
       rule(head("T", {Json::object({{"subscript",
                                      Json::object({{"record", var("x_0")},
                                                    {"subscript", Json::object({{"literal",
                                                         Json::object({{"the_symbol",
                                                             Json::object({{"symbol", "arg"}})}})}})}})}})}),
            {unify(var("x_0"), Json::object({{"record", Json::object({{"field_value",
                                                 Json(fields({}, {{"arg", var("a")}, {"value", var("b")}}))}})}})),
             atom("P", {var("a"), var("b")})}),
       rule(head("T", {var("a")}), {atom("P", {var("a"), var("b")})})},
      {"subscript carried in by a replacement, simplified once its record arrives",
       rule(head("T", {var("x_1")}),
            {unify(var("x_1"), Json::object({{"subscript",
                                  Json::object({{"record", var("x_0")},
                                                {"subscript", Json::object({{"literal",
                                                     Json::object({{"the_symbol",
                                                         Json::object({{"symbol", "arg"}})}})}})}})}})),
             unify(var("x_0"), Json::object({{"record", Json::object({{"field_value",
                                                 Json(fields({}, {{"arg", var("a")}}))}})}})),
             atom("P", {var("a")})}),
       rule(head("T", {var("a")}), {atom("P", {var("a")})})},
      {"a binding in a negation becomes its own once the one outside is put in its places",
       rule(head("T", {var("a")}), {atom("P", {var("a")}), unify(var("x_1"), var("x_4")),
                                    negation({atom("Q", {var("x_1")}), unify(var("x_1"), var("a"))})}),
       rule(head("T", {var("a")}), {atom("P", {var("a")}), negation({atom("Q", {var("a")})})})},
      {"a variable the rule also reads is compared in the negation, not bound",
       rule(head("T", {var("x_1")}), {atom("P", {var("x_1")}), negation({unify(var("x_1"), var("a")), atom("Q", {var("a")})})}),
       rule(head("T", {var("x_1")}), {atom("P", {var("x_1")}), negation({unify(var("x_1"), var("a")), atom("Q", {var("a")})})})},
      {"a replacement holding a combine brings its bindings along",
       rule(head("T", {var("x_1")}),
            {atom("P", {var("z")}),
             unify(var("x_1"), combine_expr("Agg+", var("y"), {atom("S", {var("x_2")}), unify(var("x_2"), var("y"))}))}),
       rule(head("T", {combine_expr("Agg+", var("y"), {atom("S", {var("y")})})}), {atom("P", {var("z")})})},
  };
  // clang-format on
  for (Case& c : cases) {
    eliminate_compiler_variables(c.rule);
    EXPECT_EQ(c.rule, c.want) << c.what << "\n" << c.rule.pretty();
  }
}

TEST(RewritesTest, EliminationStopsWhereTheRuleWouldGrowPastItsBounds) {
  // x_1 = x_0 + x_0, x_2 = x_1 + x_1, ...: putting each in its places doubles
  // the rule at every link, 2^40 nodes in the end.
  std::vector<Json> body = {atom("P", {var("x_0")})};
  for (int i = 1; i <= 40; ++i) {
    const std::string previous = "x_" + std::to_string(i - 1);
    body.push_back(unify(var("x_" + std::to_string(i)), op("+", var(previous), var(previous))));
  }
  const Json doubling = rule(head("T", {var("x_40")}), body);
  struct Case {
    size_t max_nodes, max_depth;
    bool within;
  } cases[] = {{100000, SIZE_MAX, false}, {1000000, 30, false}};
  for (const Case& c : cases) {
    Json r = doubling;
    EXPECT_EQ(eliminate_compiler_variables(r, c.max_nodes, c.max_depth), c.within)
        << c.max_nodes << " " << c.max_depth;
  }
  // Eight links stay small and are eliminated whole.
  const Json eight = rule(head("T", {var("x_8")}), std::vector<Json>(body.begin(), body.begin() + 9));
  Json small = eight;
  EXPECT_TRUE(eliminate_compiler_variables(small, 100000, 200));
  EXPECT_EQ(body_conjuncts(small)->size(), 1u);
  // Past a low floor, the rule the bound was taken from decides: one deeper
  // than the result lets it through, the eight links themselves do not.
  Json deep = var("z");
  for (int i = 0; i < 100; ++i) deep = op("+", deep, var("z"));
  struct BoundCase {
    const Json* original;
    bool within;
  } bound_cases[] = {{&deep, true}, {&eight, false}, {nullptr, false}};
  for (const BoundCase& c : bound_cases) {
    Json r = eight;
    EXPECT_EQ(eliminate_compiler_variables(r, 100000, DepthBound(5, c.original)), c.within);
  }
}

// A program of one-rule predicates, for injection.
class FakeProgram : public InjectionSource {
 public:
  std::map<std::string, Json> rules;
  const Json* injectable_rule(std::string_view p) const override {
    auto it = rules.find(std::string(p));
    return it == rules.end() ? nullptr : &it->second;
  }
  bool is_built_in_function(std::string_view name) const override { return name == "+" || name == "Num"; }
  std::string fresh_variable() override { return "x_" + std::to_string(counter++); }
  int counter = 0;
};

TEST(InjectionTest, SplicesCallsAndInlinesFunctions) {
  FakeProgram program;
  program.rules["Link"] = rule(head("Link", {var("a"), var("b")}),
                               {atom("Edge", {var("a"), var("b")}), cond("!=", var("a"), var("b"))});
  program.rules["Double"] =
      rule(head("Double", {var("x")}, {{"quoril_value", op("+", var("x"), var("x"))}}), {});
  program.rules["Half"] = rule(head("Half", {var("x")}, {{"quoril_value", var("h")}}),
                               {unify(var("x"), op("+", var("h"), var("h")))});
  program.rules["Twice"] = rule(head("Twice", {var("a"), var("b")}),
                                {atom("E", {var("a")}), unify(var("b"), call("Double", {var("a")}))});
  program.rules["Halves"] = rule(head("Halves", {var("a"), var("b")}),
                                 {atom("E", {var("a")}), unify(var("b"), call("Half", {var("a")}))});
  program.rules["Pair"] =
      rule(head("Pair", {var("a"), var("c")}), {atom("Edge", {var("b"), var("a")}), atom("F", {var("_")})});
  program.rules["Cycle"] =
      rule(head("Cycle", {var("b")}),
           {unify(var("b"), op("+", var("c"), var("c"))), unify(var("c"), var("b")), atom("F", {var("b")})});
  program.rules["Doubled"] =
      rule(head("Doubled", {var("x"), call("Double", {var("x")})}), {atom("E", {var("x")})});
  struct Case {
    std::string what;
    Json rule, want;
    // clang-format off
  } cases[] = {
      {"two hops",
       rule(head("T", {var("a"), var("c")}), {atom("Link", {var("a"), var("b")}), atom("Link", {var("b"), var("c")})}),
       rule(head("T", {var("a"), var("c")}), {atom("Edge", {var("a"), var("b")}), cond("!=", var("a"), var("b")),
                                              atom("Edge", {var("b"), var("c")}), cond("!=", var("b"), var("c"))})},
      {"anonymous argument adds nothing",
       rule(head("T", {var("a")}), {atom("Link", {var("a"), var("_")})}),
       rule(head("T", {var("a")}), {atom("Edge", {var("a"), var("x_1")}), cond("!=", var("a"), var("x_1"))})},
      {"bodiless function inlined in the head",
       rule(head("T", {call("Double", {var("y")})}), {atom("M", {var("y")})}),
       rule(head("T", {op("+", var("y"), var("y"))}), {atom("M", {var("y")})})},
      {"function with a body becomes a conjunct",
       rule(head("T", {call("Half", {var("y")})}), {atom("M", {var("y")})}),
       rule(head("T", {var("x_0")}), {atom("M", {var("y")}), unify(var("y"), op("+", var("x_0"), var("x_0")))})},
      {"a call in a spliced body is inlined in the next round",
       rule(head("T", {var("p"), var("q")}), {atom("Twice", {var("p"), var("q")})}),
       rule(head("T", {var("p"), var("q")}), {atom("E", {var("p")}), unify(op("+", var("p"), var("p")), var("q"))})},
      // The argument is bound to p before the function's value is: E still binds p.
      {"a function with a body in a spliced body becomes a conjunct in the next round",
       rule(head("T", {var("p"), var("q")}), {atom("Halves", {var("p"), var("q")})}),
       rule(head("T", {var("p"), var("q")}), {atom("E", {var("p")}), unify(var("p"), op("+", var("q"), var("q")))})},
      {"fresh names go to the callee's body first, then to what only its head names",
       rule(head("T", {var("p"), var("r")}), {atom("Pair", {var("p"), var("q")}), atom("Pair", {var("q"), var("r")})}),
       rule(head("T", {var("p"), var("r")}), {atom("Edge", {var("x_0"), var("p")}), atom("F", {var("_")}),
                                              atom("Edge", {var("x_3"), var("q")}), atom("F", {var("_")})})},
      // Taken first, b == c + c would leave c == b as c == c + c, and c bound by nothing.
      {"a binding to a variable is taken before one to an expression of another",
       rule(head("T", {var("p")}), {atom("Cycle", {var("p")})}),
       rule(head("T", {var("p")}), {unify(var("p"), op("+", var("p"), var("p"))), atom("F", {var("p")})})},
      {"a call in a head value the callee gives is inlined in the next round",
       rule(head("T", {var("p"), var("q")}), {atom("Doubled", {var("p"), var("q")})}),
       rule(head("T", {var("p"), var("q")}), {atom("E", {var("p")}), unify(op("+", var("p"), var("p")), var("q"))})},
  };
  // clang-format on
  for (Case& c : cases) {
    program.counter = 0;
    // The extent told back, counted as the rule grows, is never below the
    // rule's: elimination takes it as its start.
    std::optional<TreeExtent> extent;
    auto r = inject_into_rule(c.rule, program, rewrite_work(c.rule, program), max_rule_depth(c.rule), extent);
    ASSERT_TRUE(r.ok()) << r.error().message;
    ASSERT_TRUE(extent.has_value()) << c.what;
    EXPECT_GE(extent->nodes, tree_extent(c.rule).nodes) << c.what;
    EXPECT_GE(extent->depth, tree_extent(c.rule).depth) << c.what;
    eliminate_compiler_variables(c.rule);
    EXPECT_EQ(c.rule, c.want) << c.what << "\n" << c.rule.pretty();
  }
}

TEST(InjectionTest, CopiesCountTheirExtent) {
  // clang-format off
  const Json trees[] = {
      var("a"),
      var("_"),
      num(1),
      atom("Edge", {var("a"), op("+", var("b"), num(1))}),
      cond("!=", var("a"), list({var("b"), list({num(1), var("_")})})),
      negation({atom("Q", {var("a")}), unify(var("a"), var("b"))}),
      Json::object({{"variable", Json::object({{"var_name", "a"}, {"deep", list({num(1)})}})}}),
  };
  // clang-format on
  for (const Json& tree : trees) {
    int counter = 0;
    FreshNames names([&counter] { return "x_" + std::to_string(counter++); });
    TreeExtent counted;
    const Json copy = names.copy(tree, nullptr, &counted);
    EXPECT_EQ(counted.nodes, tree_extent(copy).nodes) << tree.pretty();
    EXPECT_EQ(counted.depth, tree_extent(copy).depth) << tree.pretty();
  }
}

TEST(InjectionTest, Refusals) {
  FakeProgram program;
  program.rules["Link"] = rule(head("Link", {var("a"), var("b")}), {atom("Edge", {var("a"), var("b")})});
  // A predicate that injects itself never ends; the cap stops it (two calls per
  // copy, so the cap is reached in a few passes).
  program.rules["Loop"] =
      rule(head("Loop", {var("a")}), {atom("Loop", {var("a")}), atom("Loop", {var("a")})});
  struct Case {
    Json rule;
    std::string message;
    // clang-format off
  } cases[] = {
      {rule(head("T", {var("a")}), {atom("Link", {var("a")}, {{"weight", var("w")}})}, "T(a) :- Link(a, weight: w)"),
       "Predicate 'Link' has no column 'weight'."},
      {rule(head("T", {var("a")}), {atom("Loop", {var("a")})}, "T(a) :- Loop(a)"),
       "Injecting predicates into this rule did not end after 10000 steps."},
  };
  // clang-format on
  for (Case& c : cases) {
    std::string text(c.rule.at("full_text").as_str());
    auto r = inject_into_rule(c.rule, program);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, c.message);
    EXPECT_EQ(r.error().rule_text, text);
  }
}

}  // namespace
}  // namespace mirtova
