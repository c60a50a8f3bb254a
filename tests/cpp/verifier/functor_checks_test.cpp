// The functor check: the names of functor statements, then the application
// run on a copy of the program.
#include "verifier/functors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/verifier_programs.h"

namespace mirtova::verifier {
namespace {

std::vector<std::string> functor_findings(const std::string& source) {
  Json program = parsed_program(source);
  const Json before = program;
  std::vector<std::string> texts;
  for (const FunctorError& error : check_functors(rule_lists(program).full)) texts.push_back(error.text());
  EXPECT_EQ(program, before) << "the check changed the program: " << source;
  return texts;
}

std::string names_undefined(const std::string& made, const std::string& name) {
  return "Functor " + made + " names '" + name + "', which the program does not define.";
}

// B reads P; C and E stand in for it.
const std::string kDefs = "B(x:) :- P(x:); P(x: 1); C(x: 2); E(x: 3);";

TEST(FunctorChecks, Names) {
  struct Row {
    const char* what;
    std::string source;
    std::vector<std::string> findings;
  };
  const Row rows[] = {
      {"no functor statements", kDefs, {}},
      {"defined names", "A := B(P: C);" + kDefs, {}},
      {"an undefined argument", "A := B(P: D);" + kDefs, {names_undefined("A", "D")}},
      {"functor first", "A := F(P: D);" + kDefs, {names_undefined("A", "F"), names_undefined("A", "D")}},
      {"no de-duplication",
       "A := B(P: D, Q: D);" + kDefs,
       {names_undefined("A", "D"), names_undefined("A", "D")}},
      {"made by a later statement", "D := A(C: E); A := B(P: C);" + kDefs, {}},
      {"a reserved name", "A := B(P: Today);" + kDefs, {}},
      // The name test passes them; the application does not.
      {"numbers and texts are no names",
       "A := B(P: C, n: 5, s: \"x\");" + kDefs,
       {"Functor B is applied to n, s, which it does not depend on."}},
      {"a written-out @Make that names no predicate", "@Make(\"A\", F, {P: D});" + kDefs, {}},
      {"in statement order",
       "A := B(P: X); Z := B(P: Y);" + kDefs,
       {names_undefined("A", "X"), names_undefined("Z", "Y")}},
      // The copies read the stand-in by the columns the functor read P by.
      {"a stand-in without the column read",
       "A := B(P: G); G(y: 1);" + kDefs,
       {"Predicate 'G' has no column 'x'."}},
      {"a stand-in with more columns", "A := B(P: G); G(x: 1, y: 2);" + kDefs, {}},
      {"a stand-in passing a row on", "A := B(P: G); G(..r) :- C(..r);" + kDefs, {}},
      {"a column the functor reads amiss, of its stand-in",
       "A := H(P: C); H(x:) :- P(z: x);" + kDefs,
       {"Predicate 'C' has no column 'z'."}},
      {"a column the functor reads amiss, of a predicate no one stands in for, is the arity check's",
       "A := H(P: C); H(x:) :- P(x:), E(z: x);" + kDefs,
       {}},
      {"through a second functor",
       "A := B(P: C); D := A(C: G); G(y: 1);" + kDefs,
       {"Predicate 'G' has no column 'x'."}},
  };
  for (const Row& row : rows) EXPECT_EQ(functor_findings(row.source), row.findings) << row.what;
}

TEST(FunctorChecks, Application) {
  // The name test passes; the compiler's application refuses.
  EXPECT_EQ(functor_findings("A := B(Q: C);" + kDefs),
            std::vector<std::string>{"Functor B is applied to Q, which it does not depend on."});
  // A recursion the application can use once unfolded.
  EXPECT_EQ(functor_findings("@Recursive(R, 3); R(x:) :- P(x:); R(x:) :- R(x: y), x == y + 1;"
                             "A := R(P: C);" +
                             kDefs),
            std::vector<std::string>{});
}

TEST(FunctorChecks, FunctorNames) {
  Json program = parsed_program("A := B(P: C, n: 1, Q: D);");
  std::optional<FunctorNames> names = functor_names(program.at("rule").as_array().at(0));
  ASSERT_TRUE(names.has_value());
  EXPECT_EQ(names->made, "A");
  EXPECT_EQ(names->functor, "B");
  EXPECT_EQ(names->arguments, (std::vector<std::string>{"C", "D"}));
}

}  // namespace
}  // namespace mirtova::verifier
