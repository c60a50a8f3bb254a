// Reserved names, positional arguments and undefined names with their
// suggestions, each check run alone over programs as the parser writes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/tree_walk.h"
#include "support/verifier_programs.h"
#include "verifier/positional.h"
#include "verifier/reserved.h"
#include "verifier/undefined.h"

namespace mirtova::verifier {
namespace {

const std::string kDash = "\u2014";

std::string reserved(const std::string& name, bool function = false) {
  return "Reserved predicate name '" + name + "': it is a built-in " +
         (function ? "function" : "library predicate") + " and cannot be redefined";
}
std::string positional(const std::string& name) {
  return "Positional arguments in '" + name + "': Mirtova requires named arguments " + kDash +
         " use `field_name: value` instead of positional arguments";
}
std::string undefined(const std::string& name, const std::string& suggestion = "") {
  return "Undefined predicate '" + name + "': not defined and not a built-in" +
         (suggestion.empty() ? "" : " " + kDash + " did you mean '" + suggestion + "'?");
}
std::string undefined_function(const std::string& name, const std::string& suggestion = "") {
  return "Undefined function '" + name + "': not defined and not a built-in" +
         (suggestion.empty() ? "" : " " + kDash + " did you mean '" + suggestion + "'?");
}
std::string not_a_function(const std::string& name) {
  return "'" + name + "' is neither a predicate of the program nor a built-in function";
}
std::string no_value(const std::string& name) {
  return "Predicate '" + name +
         "' has no value to use here: only a function (a predicate defined with \"=\") can stand where a "
         "value "
         "is expected.";
}

struct Row {
  const char* what;
  std::string source;
  std::vector<std::string> errors;
};

// Runs one check over the plain or the full rule list of each row's program.
template <class Check>
void expect_rows(Check check, bool full, const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    const Json program = parsed_program(row.source);
    const RuleLists lists = rule_lists(program);
    std::vector<std::string> texts;
    for (const auto& error : check(full ? lists.full : lists.plain)) texts.push_back(error.text());
    EXPECT_EQ(texts, row.errors) << row.what << "\n" << row.source;
  }
}

TEST(ReservedNames, LibraryPredicatesAnyFormBuiltinFunctionsAsFunctions) {
  expect_rows(
      check_reserved, false,
      {
          {"Today as a plain rule", "Today(a: 1);", {reserved("Today")}},
          {"Now as a function", "Now(x) = x;", {reserved("Now")}},
          {"a library predicate", "ArgMax(a: 1) :- T(a: 1);", {reserved("ArgMax")}},
          {"a built-in function as a function", "ToString(x) = \"a\";", {reserved("ToString", true)}},
          {"a built-in function as an expression function", "Upper(x) --> x;", {reserved("Upper", true)}},
          {"a built-in name as a plain rule is free", "ToString(a: 1);", {}},
          {"Array is reserved as a predicate before it is a function", "Array(x) = x;", {reserved("Array")}},
          {"lower-case built-ins are free", "in(x) = x; is(a: 1);", {}},
          {"once per name, with the first statement's kind",
           "Upper(a: 1); Upper(x) = x; Today(a: 1); Upper(y) = y; Today(a: 2); Today(a: 3);",
           {reserved("Upper", true), reserved("Today")}},
          {"names compare by case", "today(a: 1); argmax(a: 1); Argmax(x) = x;", {}},
          {"an ordinary program", "P(a: 1); F(x) = x + 1;", {}},
      });
}

TEST(PositionalArguments, OncePerPredicateHeadBeforeBody) {
  expect_rows(
      check_positional, false,
      {
          {"a positional plain head", "P(1, 2);", {positional("P")}},
          {"a function head may be positional", "F(x) = x + 1; G(x, y) --> x + y;", {}},
          {"named fields", "P(a: 1); Q(a:) :- P(a:);", {}},
          {"a positional call of a plain predicate", "P(a: 1); Q(a:) :- P(a);", {positional("P")}},
          {"calls of the program's functions and of built-ins",
           "F(x) = x + 1; Q(a:) :- T(a:), a < 3, b == F(a), ToString(a) == \"1\";",
           {}},
          {"once per predicate however often it is called",
           "Q(a:) :- P(a); Q(a:) :- P(a), R(a); S(a:) :- P(a); T(a:) :- R(a); U(a:) :- P(a);",
           {positional("P"), positional("R")}},
          {"the head before the body, rules in order",
           "B(x) :- A(x); A(x) :- C(x);",
           {positional("B"), positional("A"), positional("C")}},
          {"inside a negation and an aggregation",
           "Q(a:) :- T(a:), ~N(a); S(n? += c) distinct :- T(a:), c == Sum{x :- M(x)};",
           {positional("N"), positional("M")}},
          {"a function call inside an expression is no predicate", "Q(a:) :- T(a:), a == G(1, 2);", {}},
      });
}

TEST(UndefinedNames, ReportedOnceWithTheClosestKnownName) {
  expect_rows(
      check_undefined, true,
      {
          {"a misspelt predicate", "Foo(a: 1); Q(a:) :- Fooo(a:);", {undefined("Fooo", "Foo")}},
          {"a misspelt function",
           "Q(a:) :- t(a:), a == Lenght(\"x\");",
           {undefined_function("Lenght", "Length")}},
          {"a two-letter name whose candidates are two edits away",
           "Ab(a: 1); Q(a:) :- Cd(a:);",
           {undefined("Cd")}},
          {"nothing near", "Parent(a: 1); Q(a:) :- Grandchild(a:);", {undefined("Grandchild")}},
          {"a tie goes to the byte-smallest name",
           "Bat(a: 1); Cat(a: 1); Hat(a: 1); Q(a:) :- Zat(a:);",
           {undefined("Zat", "Bat")}},
          {"a library predicate is a candidate", "Q(a:) :- ArgMaxx(a:);", {undefined("ArgMaxx", "ArgMax")}},
          {"a function's candidates are the program's names and common functions",
           "Double(x) = 2 * x; Q(a:) :- t(a:), a == Doubel(1), a == Substring(\"x\");",
           {undefined_function("Doubel", "Double"), undefined_function("Substring", "Substr")}},
          {"defined, made, built-in and reserved names",
           "P(a: 1); A := B(x: P); B(y:) :- x(y:);"
           "Q(a:) :- P(a:), A(y: a), Today(d: a), ArgMax(a:), a == Upper(\"x\"), a == If(true, 1, 2);",
           {}},
          {"names not beginning with an ASCII capital",
           "Q(a:) :- foo(a:), _bar(a:), 1x(a:), `Bq`(a:), ds.T(a:), a == lower_fn(1), a == 2x(1);",
           {}},
          {"once in the program, as the first kind met",
           "Q(a:) :- Missing(a:); R(a:) :- Missing(a:), a == Missing(1); S(a:) :- t(a:), a == Gone(1);"
           "U(a:) :- Gone(a:);",
           {undefined("Missing"), undefined_function("Gone")}},
          {"within a statement predicates first, each kind in byte order",
           "Q(a:) :- Zed(a:), Yak(a:), a == Wolf(Vole(1));",
           {undefined("Yak"), undefined("Zed"), undefined_function("Vole"), undefined_function("Wolf")}},
          {"through negations, combines and disjunctions",
           "Q(a:) :- t(a:), ~N1(a:), a == Sum{x :- M1(x:)}, (D1(a:) | t(a:));",
           {undefined("D1"), undefined("M1"), undefined("N1")}},
          {"combines and calls in a head",
           "Q(a: Sum{x :- H1(x:)}, b: Fn1(2));",
           {undefined("H1"), undefined_function("Fn1")}},
          {"operators of the libraries are no candidates",
           "R(x:) :- Q(x:), P(x:);",
           {undefined("P", "R"), undefined("Q", "R")}},
          // Calls the compiler cannot give a value, in its words.
          {"a reserved name that no library defines, called",
           "Q(a:) :- t(a:), a == Today(), a == Now(1), Today(d: a);",
           {not_a_function("Now"), not_a_function("Today")}},
          {"a predicate of the program that is no function, called",
           "P(a: 1); F(x) = x; G(x) --> x; Q(a:) :- t(a:), a == P(), a == F(P(1)), a == G(1), P(a:);",
           {no_value("P")}},
          {"the head arguments of annotations are not searched",
           "@OrderBy(Q, \"a\"); @Limit(Q, Cap(1)); @Ground(Nowhere); Q(a: 1);",
           {}},
      });
}

TEST(UndefinedNames, AccentedCapitalsAreNoCapitals) {
  // The parser takes no such name unquoted; a tree may still hold one.
  Json program = parsed_program("Q(a:) :- Xtz(a:), a == Xx(1);");
  walk_tree_mut(program, [](Json& node) {
    Json* name = node.get_mut("predicate_name");
    if (name == nullptr || !name->is_str()) return;
    if (name->as_str() == "Xtz") *name = Json("\u00c9tz");
    if (name->as_str() == "Xx") *name = Json("\u00c9x");
  });
  EXPECT_TRUE(check_undefined(rule_lists(program).full).empty());
}

TEST(NameChecks, InTheDriversOrder) {
  // Arity, then reserved names, positional arguments and undefined names.
  EXPECT_EQ(
      check_errors("P(x, y) :- t(x, y); P(x) :- t(x); Today(a: 1); Foo(a: 1);"
                   "Q(a:) :- P(a, b), Fooo(a:);"),
      (std::vector<std::string>{"Predicate 'P' defined with inconsistent arities: 2 and 1", reserved("Today"),
                                positional("P"), positional("t"), undefined("Fooo", "Foo")}));
}

}  // namespace
}  // namespace mirtova::verifier
