#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "compiler/type_inference/inference.h"
#include "types_trees.h"

namespace mirtova {
namespace {

using namespace trees;

std::vector<const Json*> pointers(const std::vector<Json>& rules) {
  std::vector<const Json*> out;
  for (const Json& r : rules) out.push_back(&r);
  return out;
}

// "P.col0: number; Q.a: {b: string}" for the listed predicates, or the error message.
std::string run(const std::vector<Json>& rules, const std::vector<std::string>& predicates) {
  auto result = infer_predicate_types(pointers(rules));
  if (!result.ok()) {
    EXPECT_EQ(result.error().rule_text, "");
    return result.error().message;
  }
  std::string out;
  for (const std::string& p : predicates) {
    auto it = result.value().find(p);
    if (it == result.value().end()) {
      out += (out.empty() ? "" : "; ") + p + " missing";
      continue;
    }
    for (const auto& [column, type] : it->second) {
      out += (out.empty() ? "" : "; ") + p + "." + column + ": " + (type.is_open() ? "open " : "") + type.to_string();
    }
  }
  return out;
}

const std::string kError = "Type inference error: Type mismatch: cannot match ";

TEST(TypeInferenceTest, ProgramsAndTheirTypes) {
  struct Case {
    std::string what;
    std::vector<Json> rules;
    std::vector<std::string> predicates;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"a relation's column is one node for heads and calls",
       {rule("P", pos({var("x")}), {unify(var("x"), num())}),
        rule("Q", pos({var("y")}), {pred("P", pos({var("y")})), unify(var("y"), str())})},
       {},
       kError + "number with string at (0, 0)"},
      {"types flow from a relation into its callers",
       {rule("P", pos({var("x"), var("l")}), {unify(var("x"), num()), unify(var("l"), list({str()}))}),
        rule("Q", {{"name", var("y")}, {"items", var("m")}}, {pred("P", pos({var("y"), var("m")}))})},
       {"P", "Q"},
       "P.col0: number; P.col1: [string]; P.quoril_value: any; Q.items: [string]; Q.name: number"},
      {"calls of a functional predicate keep nodes of their own",
       {rule("F", {{Json(0), var("x")}, {"quoril_value", op("+", var("x"), num())}}),
        rule("G", pos({var("u")}), {unify(var("u"), call("F", pos({num()})))}),
        rule("H", pos({var("v")}), {unify(var("v"), call("F", pos({str()})))})},
       {"F", "G", "H"},
       "F.col0: number; F.quoril_value: number; G.col0: number; H.col0: any"},
      {"an inclusion types the element",
       {rule("I", pos({var("y")}), {includes(var("x"), list({num(), num()})), unify(var("y"), var("x"))})},
       {"I"},
       "I.col0: number"},
      {"an inclusion types the list",
       {rule("J", pos({var("l")}), {includes(var("x"), var("l")), unify(var("x"), str())})},
       {"J"},
       "J.col0: [string]"},
      {"a subscript makes an open record",
       {rule("R", pos({var("r")}), {unify(sub(var("r"), "a"), num())})},
       {"R"},
       "R.col0: open {a: number}"},
      {"a closed record gains a field it lacked, and then no longer meets its literal",
       {rule("R", pos({var("r")}), {unify(var("r"), rec({{"a", num()}})), unify(sub(var("r"), "b"), str())})},
       {},
       kError + "{a: number, b: any} with {a: number} at (0, 1)"},
      {"a record literal meets the subscript",
       {rule("R", pos({var("r")}), {unify(var("r"), rec({{"a", num()}})), unify(sub(var("r"), "a"), str())})},
       {},
       kError + "number with string at (0, 0)"},
      {"a scalar first, then its field: accepted",
       {rule("S", pos({var("x")}), {unify(var("x"), num()), unify(sub(var("x"), "a"), num())})},
       {"S"},
       "S.col0: number"},
      {"a field first, then a scalar: refused",
       {rule("S", pos({var("x")}), {unify(sub(var("x"), "a"), num()), unify(var("x"), num())})},
       {},
       kError + "number with {} at (0, 0)"},
      {"the list side of an inclusion must be a list",
       {rule("N", pos({var("x")}), {includes(var("x"), num())})},
       {},
       kError + "number with any at (0, 0)"},
      {"bool does not meet the atomic operand of a comparison",
       {rule("L", pos({var("x")}), {unify(var("x"), boolean()), pred("<", {{"left", var("x")}, {"right", num()}})})},
       {},
       kError + "bool with atomic at (0, 0)"},
      {"a comparison accepts numbers and strings",
       {rule("L", pos({var("x")}), {unify(var("x"), str()), pred("<", {{"left", var("x")}, {"right", str()}})})},
       {"L", "<"},
       "L.col0: string; <.left: string; <.quoril_value: bool; <.right: string"},
      {"operators type their operands and values",
       {rule("O", pos({var("a"), var("b"), var("c")}),
             {unify(var("c"), op("++", var("a"), var("b"))), unify(var("d"), op("==", var("a"), var("b")))})},
       {"O"},
       "O.col0: string; O.col1: string; O.col2: string"},
      {"an if-then-else meets its branches",
       {rule("B", pos({if_then({{var("c"), null()}}, num())}))},
       {"B"},
       "B.col0: number"},
      {"branches that disagree",
       {rule("B", pos({if_then({{var("c"), str()}}, num())}))},
       {},
       kError + "number with string at (0, 0)"},
      {"the positions of the edge reach the message",
       {rule("T", pos({var("x")}),
             {unify(var("x"), str()), unify(var("x"), [] {
                Json n = num();
                n.at_mut("literal").at_mut("the_number").set("number", Json::object({{"start", 4}, {"stop", 9}}));
                return n;
              }())})},
       {},
       kError + "number with string at (0, 9)"},
      {"Range gives a list of numbers",
       {rule("G", pos({var("l")}), {unify(var("l"), call("Range", pos({var("n")})))})},
       {"G"},
       "G.col0: [number]"},
      {"a list of lists",
       {rule("M", pos({var("m")}), {includes(var("row"), var("m")), includes(var("x"), var("row")),
                                    unify(var("x"), boolean())})},
       {"M"},
       "M.col0: [[bool]]"},
      {"annotations give no graph",
       {rule("@Limit", pos({num()})), rule("@OrderBy", pos({str()}))},
       {},
       ""},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.rules, c.predicates), c.expected) << c.what;
}

TEST(TypeInferenceTest, AnnotationsOnlyGiveNoTypes) {
  std::vector<Json> rules = {rule("@Limit", pos({num()}))};
  auto result = infer_predicate_types(pointers(rules));
  ASSERT_TRUE(result.ok());
  EXPECT_TRUE(result.value().empty());
}

TEST(TypeInferenceTest, ATypeThatKeepsGrowingEndsWithoutError) {
  // x in x deepens x by one list level per pass, until the last pass.
  std::vector<Json> deepening = {rule("X", pos({var("x")}), {includes(var("x"), var("x"))})};
  auto result = infer_predicate_types(pointers(deepening));
  ASSERT_TRUE(result.ok());
  const std::string printed = result.value().at("X").at("col0").to_string();
  EXPECT_EQ(std::count(printed.begin(), printed.end(), '['), 999);

  // A record that holds itself twice doubles at every step; it must stop
  // without exhausting memory.
  std::vector<Json> doubling = {rule("D", pos({var("r")}), {unify(sub(var("r"), "a"), var("r")),
                                                            unify(sub(var("r"), "b"), var("r"))})};
  auto doubled = infer_predicate_types(pointers(doubling));
  ASSERT_TRUE(doubled.ok());
  EXPECT_TRUE(doubled.value().at("D").at("col0").is_record());
}

TEST(TypeInferenceTest, SameResultOnEveryRun) {
  // Two independent conflicts: the one reported must not change between runs.
  std::vector<Json> conflicting = {
      rule("Zeta", pos({var("x")}), {unify(var("x"), num()), unify(var("x"), boolean())}),
      rule("Alpha", pos({var("x")}), {unify(var("x"), str()), unify(var("x"), num())}),
  };
  std::vector<Json> accepted = {
      rule("P", pos({var("x"), var("r")}), {unify(var("x"), num()), unify(sub(var("r"), "k"), str())}),
      rule("Q", {{"a", var("y")}, {"b", var("s")}}, {pred("P", pos({var("y"), var("s")}))}),
      rule("F", {{Json(0), var("x")}, {"quoril_value", op("+", var("x"), num())}}),
      rule("G", pos({var("u")}), {unify(var("u"), call("F", pos({num()}))), pred("Q", {{"a", var("u")}})}),
  };
  const std::string first_conflict = run(conflicting, {});
  const std::string first_types = run(accepted, {"P", "Q", "F", "G"});
  // Alpha's graph is visited before Zeta's.
  EXPECT_EQ(first_conflict, kError + "number with string at (0, 0)");
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(run(conflicting, {}), first_conflict);
    ASSERT_EQ(run(accepted, {"P", "Q", "F", "G"}), first_types);
  }
}

TEST(TypeInferenceTest, PredicateTypesListEveryNamedPredicate) {
  std::vector<Json> rules = {
      rule("P", pos({var("x")}), {pred("Person", {{"age", var("x")}}), unify(var("s"), call("Set", pos({var("x")})))}),
  };
  auto result = infer_predicate_types(pointers(rules));
  ASSERT_TRUE(result.ok());
  std::vector<std::string> names;
  for (const auto& entry : result.value()) names.push_back(entry.first);
  EXPECT_EQ(names, (std::vector<std::string>{"P", "Person", "Set"}));
  EXPECT_EQ(result.value().at("Person").size(), 2u);  // age and quoril_value
}

}  // namespace
}  // namespace mirtova
