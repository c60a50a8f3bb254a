// The checks of front matter, ordering, SqlExpr and table names, run through
// the verifier's driver on programs as the parser writes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/verifier_programs.h"

namespace mirtova::verifier {
namespace {

const std::string kDash = "\u2014";

std::string missing_name() {
  return "The front matter has no name: give the predicate this file is about, the one that runs (name: ...)";
}
std::string missing_description(const std::string& name = "") {
  if (name.empty())
    return "The front matter has no description: say what this file is about " + kDash +
           " in the words someone would search for (description: ...)";
  return "The front matter has no description for '" + name + "': say what its rows are " + kDash +
         " in the words someone would search for (description: ...)";
}
std::string missing_order_by(const std::string& name) {
  return "Missing @OrderBy for '" + name +
         "', the predicate this file is about: without it its rows come back in no stable order and pages "
         "differ between runs; add @OrderBy(" +
         name + ", \"column\"); before its rules";
}
std::string unsafe(const std::string& predicate) {
  return "Unsafe SqlExpr in rule '" + predicate + "': raw SQL bypasses verification and portability";
}
std::string bad_table(const std::string& predicate, const std::string& table) {
  return "Invalid table name in rule '" + predicate + "': '" + table +
         "' is not a table name: write names of letters, digits and '_', joined by '.'";
}

void expect_rows(const std::vector<FindingRow>& rows) { expect_findings(rows, check_errors); }

TEST(FrontMatterChecks, NameDescriptionAndOrdering) {
  expect_rows({
      {"no front matter", "@OrderBy(P, \"a\"); P(a: 1);", {}},
      {"no statements, neither name nor description",
       "---\ntitle: x\n---\n",
       {missing_name(), missing_description()}},
      {"name without description or ordering",
       "---\nname: Foo\n---\nFoo(a: 1);",
       {missing_order_by("Foo"), missing_description("Foo")}},
      {"blank description counts as none",
       "---\nname: Foo\ndescription:\n---\n@OrderBy(Foo, \"a\");\nFoo(a: 1);",
       {missing_description("Foo")}},
      {"blank name is no name and asks for no ordering",
       "---\nname: \"\"\ndescription: rows\n---\nFoo(a: 1);",
       {missing_name()}},
      {"description without name", "---\ndescription: rows\n---\nFoo(a: 1);", {missing_name()}},
      {"complete", "---\nname: Foo\ndescription: rows of foo\n---\n@OrderBy(Foo, \"a\");\nFoo(a: 1);", {}},
      {"ordering without columns", "---\nname: Foo\ndescription: d\n---\n@OrderBy(Foo);\nFoo(a: 1);", {}},
      {"ordering of a text is none",
       "---\nname: Foo\ndescription: d\n---\n@OrderBy(\"Foo\", \"a\");\nFoo(a: 1);",
       {missing_order_by("Foo"), "@OrderBy needs the predicate it is about as its first argument"}},
      {"ordering of another predicate first",
       "---\nname: Foo\ndescription: d\n---\n"
       "@OrderBy(Bar, \"a\"); @OrderBy(Foo, \"a\"); Foo(a: 1); Bar(a: 1);",
       {}},
      {"names compare by case",
       "---\nname: foo\ndescription: d\n---\n@OrderBy(Foo, \"a\"); foo(a: 1); Foo(a: 1);",
       {missing_order_by("foo")}},
      {"@orderby is not @OrderBy",
       "---\nname: Foo\ndescription: d\n---\n@orderby(Foo, \"a\"); Foo(a: 1);",
       {missing_order_by("Foo")}},
      {"a made predicate is named",
       "---\nname: A\ndescription: d\n---\n@OrderBy(A);\nA := B(x: C);\n"
       "B(y:) :- x(y:); C(y: 1);",
       {}},
  });
}

TEST(SqlExprChecks, OnePerPredicateAtItsFirstRule) {
  expect_rows({
      {"no SqlExpr", "P(x:) :- Q(x:); Q(x: 1);", {}},
      {"three rules of one predicate",
       "P(x:) :- x == SqlExpr(\"1\", {}); P(x:) :- x == SqlExpr(\"2\", {});"
       "P(x:) :- x == SqlExpr(\"3\", {});",
       {unsafe("P")}},
      {"in source order",
       "B(x:) :- x == SqlExpr(\"1\", {}); A(x:) :- x == SqlExpr(\"1\", {});",
       {unsafe("B"), unsafe("A")}},
      {"inside another call", "P(x:) :- Q(y:), x == Upper(SqlExpr(\"1\", {})); Q(y: 1);", {unsafe("P")}},
      {"in a head value", "P(x: SqlExpr(\"1\", {}));", {unsafe("P")}},
      {"in a negation",
       "P(x:) :- Q(x:), ~R(x:, y: SqlExpr(\"1\", {})); Q(x: 1); R(x: 1, y: 1);",
       {unsafe("P")}},
      {"in a combine",
       "P(x:) :- Q(x:), x == Sum{y :- R(y:), y == SqlExpr(\"1\", {})}; Q(x: 1); R(y: 1);",
       {unsafe("P")}},
      {"in an aggregation", "P(x? += SqlExpr(\"1\", {})) distinct :- Q(x:); Q(x: 1);", {unsafe("P")}},
      {"a condition written SqlExpr is no call", "P(x:) :- Q(x:), SqlExpr(\"1\", {}); Q(x: 1);", {}},
      {"a text", "P(x: \"SqlExpr\");", {}},
      {"annotations are not examined", "@Limit(P, 10, SqlExpr(\"1\", {})); P(x: 1);", {}},
  });
}

TEST(TableNameStep, EachBadNameOnceAtItsFirstStatement) {
  expect_rows({
      {"table names pass", "P(x:) :- ds.tbl(x:), `my-proj.ds.t`(x:), _t(x:);", {}},
      {"defined, built-in and reserved names pass",
       "P(x:) :- Q(x:), Today(x:), Array(x:), Upper(x:), ArgMax(x:); Q(x: 1);",
       {}},
      {"made predicates are defined",
       "A := B(x: C); B(y:) :- 1x(y:); C(z: 1); P(y:) :- A(y:);",
       {bad_table("B", "1x"), "Functor B is applied to x, which it does not depend on."}},
      {"one statement's names in byte order",
       "P(x:) :- 9z(x:), 8y(x:), 7a.b(x:);",
       {bad_table("P", "7a.b"), bad_table("P", "8y"), bad_table("P", "9z")}},
      {"once in the program, against the first statement",
       "Q(x:) :- 8y(x:); P(x:) :- 8y(x:); R(x:) :- 8y(x:), 1a(x:);",
       {bad_table("Q", "8y"), bad_table("R", "1a")}},
      {"through negations, combines and disjunctions",
       "P(x:) :- Q(x:), ~1n(x:), x == Sum{y :- 2c(y:)}, (3d(x:) | Q(x:)); Q(x: 1);",
       {bad_table("P", "1n"), bad_table("P", "2c"), bad_table("P", "3d")}},
      {"combines in a head", "P(x: Sum{y :- 4h(y:)});", {bad_table("P", "4h")}},
      {"a type annotation is a condition, not a table",
       "P(x:, y:) :- Q(x:, y:), x ~ Num, y ~ {a: Str}; Q(x: 1, y: {a: \"b\"});",
       {}},
      {"backquoted names keep their backquotes", "P(x:) :- `a b`(x:);", {bad_table("P", "`a b`")}},
      {"SqlExpr errors come first",
       "P(x:) :- 1x(x:); Q(x:) :- R(x:), x == SqlExpr(\"1\", {}); R(x: 1);",
       {unsafe("Q"), bad_table("P", "1x")}},
  });
}

TEST(Driver, StepsKeepTheirOrder) {
  // SqlExpr, then table names, then ordering, name and description.
  EXPECT_EQ(check_errors("---\nname: Foo\n---\nFoo(a:) :- 1x(a:), a == SqlExpr(\"1\", {});"),
            (std::vector<std::string>{unsafe("Foo"), bad_table("Foo", "1x"), missing_order_by("Foo"),
                                      missing_description("Foo")}));
}

TEST(Driver, EveryCheckInItsPlace) {
  // One finding of every check, written in an order unlike the driver's; each
  // group comes in the driver's order, and the missing annotations in order of
  // first appearance.
  const CheckResult result = validate(parsed_program(
      "---\nname: Foo\n---\n"
      "@Limit(Nope, 3); @Assert(Foo); A := B(T: C); B(x:) :- T(x:); T(x: 1); Foo(a: 1);"
      "K(x:) :- T(x:), x > 5, x < 3; Z(x:) :- Fooo(x:); W(x:) :- T(x); R(x:) :- 1x(x:);"
      "Q(x:) :- T(x:), x == SqlExpr(\"1\", {}); Today(a: 1); L(a: x) :- L(a: x); P(a: 1); P(a: 1, b: 2);"
      "N1(x:) :- T(x:), ~N2(x:); N2(x:) :- T(x:), N1(x:); S(x:, y:) :- T(x:);"));
  EXPECT_EQ(
      error_texts(result),
      (std::vector<std::string>{
          "Unbound variable 'y' in head of rule: S(x:, y:) :- T(x:)",
          "Negative recursion cycle detected: N2 -> N1",
          "Predicate 'P' defined with inconsistent arities: 1 and 2",
          "Recursive predicate 'L' has no base case",
          "Trivial infinite loop: 'L' calls itself with same arguments",
          "Recursive predicate 'L' missing @Recursive annotation",
          "Recursive predicate 'N1' missing @Recursive annotation",
          "Recursive predicate 'N2' missing @Recursive annotation",
          "Reserved predicate name 'Today': it is a built-in library predicate and cannot be redefined",
          unsafe("Q"),
          bad_table("R", "1x"),
          "Positional arguments in 'T': Mirtova requires named arguments " + kDash +
              " use `field_name: value` instead of positional arguments",
          "Undefined predicate 'Fooo': not defined and not a built-in " + kDash + " did you mean 'Foo'?",
          missing_order_by("Foo"),
          missing_description("Foo"),
          "Functor A names 'C', which the program does not define.",
          "@Limit(Nope) is about 'Nope', which the program does not define",
          "Malformed @Assert: no named argument; expected @Assert(Predicate, name: \"...\")",
      }));
  EXPECT_EQ(result.warnings,
            (std::vector<std::string>{"Contradictory conditions: x > 5, x < 3 can never all "
                                      "hold, so the rule gives no row: K(x:) :- T(x:), x > 5, "
                                      "x < 3"}));
}

TEST(Driver, ACorrectProgramGivesNothing) {
  CheckResult result = validate(
      parsed_program("---\nname: Grandparent\ndescription: who is whose grandparent\n---\n"
                     "@OrderBy(Grandparent, \"grandparent\");\n"
                     "Parent(parent: \"Ada\", child: \"Byron\");\n"
                     "Grandparent(grandparent:, grandchild:) :- Parent(parent: grandparent, child: p), "
                     "Parent(parent: p, child: grandchild);"));
  EXPECT_TRUE(result.errors.empty());
  EXPECT_TRUE(result.warnings.empty());
  EXPECT_TRUE(result.reports.empty());
}

TEST(Driver, ReadsTheProgramWithoutChangingIt) {
  const Json program = parsed_program(
      "---\nname: P\n---\n@Make(A, B, {}); P(x:) :- 1x(x:), ~Q(x:), x == SqlExpr(\"1\", {}); Q(x: 1);");
  const Json copy = program;
  EXPECT_FALSE(validate(program).errors.empty());
  EXPECT_EQ(program, copy);
}

TEST(RuleLists, PlainLeavesOutAnnotationsOnly) {
  Json program = parsed_program("@Limit(P, 3); P(x: 1); A := B(x: P); @OrderBy(P, \"x\");");
  // A statement whose head name is empty is a plain rule.
  program.at_mut("rule").as_array_mut().push_back(
      Json::object({{"head", Json::object({{"predicate_name", ""}})}}));
  RuleLists lists = rule_lists(program);
  std::vector<std::string> full, plain;
  for (const Json* r : lists.full) full.emplace_back(r->at("head").at("predicate_name").as_str());
  for (const Json* r : lists.plain) plain.emplace_back(r->at("head").at("predicate_name").as_str());
  EXPECT_EQ(full, (std::vector<std::string>{"@Limit", "P", "@Make", "@OrderBy", ""}));
  EXPECT_EQ(plain, (std::vector<std::string>{"P", ""}));
}

}  // namespace
}  // namespace mirtova::verifier
