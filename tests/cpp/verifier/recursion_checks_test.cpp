// The recursion checks: recursions without a base case, trivial loops and
// recursions without @Recursive, in the order the driver reports them.
#include "verifier/recursion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/verifier_programs.h"

namespace mirtova::verifier {
namespace {

std::vector<std::string> recursion_findings(const std::string& source) {
  Json program = parsed_program(source);
  const RuleLists lists = rule_lists(program);
  std::vector<std::string> texts;
  for (const RecursionError& error : check_recursion(lists.plain)) texts.push_back(error.text());
  for (const RecursionError& error : check_unbounded_recursion(lists.full, lists.plain))
    texts.push_back(error.text());
  return texts;
}

std::string no_base(const std::string& p) { return "Recursive predicate '" + p + "' has no base case"; }
std::string loop(const std::string& p) {
  return "Trivial infinite loop: '" + p + "' calls itself with same arguments";
}
std::string unannotated(const std::string& p) {
  return "Recursive predicate '" + p + "' missing @Recursive annotation";
}

void expect_rows(const std::vector<FindingRow>& rows) { expect_findings(rows, recursion_findings); }

TEST(RecursionChecks, BaseCasesAndAnnotations) {
  expect_rows({
      {"empty", "", {}},
      {"no recursion", "P(x:) :- Q(x:); Q(x: 1);", {}},
      {"calls itself, nothing else", "P(a: x) :- P(a: x);", {no_base("P"), loop("P"), unannotated("P")}},
      {"a fact is a base case", "P(a: 1); P(a: x) :- P(a: x);", {loop("P"), unannotated("P")}},
      {"so is a rule without P",
       "P(a: x) :- Q(a: x); P(a: x) :- P(a: x); Q(a: 1);",
       {loop("P"), unannotated("P")}},
      {"annotated, with a base case", "@Recursive(P, 3); P(a: 1); P(a: x) :- P(a: y), x == y + 1;", {}},
      {"only the annotation missing", "P(a: 1); P(a: x) :- P(a: y), x == y + 1;", {unannotated("P")}},
      {"annotated by a variable name", "@Recursive(p, 3); p(a: 1); p(a: x) :- p(a: y), x == y + 1;", {}},
      {"mutual, no base case",
       "A(x) :- B(x); B(x) :- A(x);",
       {no_base("B"), no_base("A"), unannotated("A"), unannotated("B")}},
      {"mutual, one base case",
       "A(x) :- B(x); B(x) :- A(x); B(x) :- C(x); C(1);",
       {unannotated("A"), unannotated("B")}},
      {"mutual, both annotated", "@Recursive(A); @Recursive(B); A(x) :- B(x); B(x) :- A(x); B(1);", {}},
      {"through a negation: the rule is a base case", "P(x) :- Q(x), ~P(x); Q(1);", {unannotated("P")}},
      {"a call in a unification is no edge", "P(x) :- Q(x), y == P(x); Q(1);", {}},
      {"an annotation on a predicate that is not recursive", "@Recursive(Q, 3); Q(1);", {}},
      {"the aggregation's auxiliary predicate is covered",
       "@Recursive(D, 3); D(x? Min= 0) distinct :- S(x); D(x? Min= y + 1) distinct :- D(x: y); S(1);",
       {}},
      {"the auxiliary predicate reported under its predicate",
       "D(x? Min= 0) distinct :- S(x); D(x? Min= y + 1) distinct :- D(x: y); S(1);",
       {unannotated("D")}},
  });
}

TEST(RecursionChecks, TrivialLoops) {
  expect_rows({
      {"alternatives split into rules", "P(x) :- Q(x) | P(x); Q(1);", {loop("P"), unannotated("P")}},
      {"swapped arguments", "P(1, 2); P(x, y) :- P(y, x);", {unannotated("P")}},
      {"the same literal", "P(1, 1); P(x, 1) :- P(x, 1);", {loop("P"), unannotated("P")}},
      {"a literal written otherwise", "P(1, 1); P(x, 1) :- P(x, 1.0);", {unannotated("P")}},
      {"field names are not compared", "P(a: 1); P(a: x) :- P(b: x);", {loop("P"), unannotated("P")}},
      {"no arguments", "P() :- P();", {no_base("P"), unannotated("P")}},
      {"an aggregated field is no argument",
       "P(1, 1); P(x, n? += 1) distinct :- P(x, 2);",
       {unannotated("P")}},
      {"inside a negation", "P(1); P(x) :- Q(x), ~P(x); Q(1);", {unannotated("P")}},
      {"one per rule",
       "P(1); P(x) :- P(x); P(x) :- P(x), Q(x); Q(1);",
       {loop("P"), loop("P"), unannotated("P")}},
  });
}

TEST(RecursionChecks, DriverOrder) {
  // The driver's own order: the base case and the loop, then the annotation.
  EXPECT_EQ(check_errors("P(a: x) :- P(a: x);"),
            (std::vector<std::string>{no_base("P"), loop("P"), unannotated("P")}));
  EXPECT_EQ(check_errors("P(a: 1); P(a: x) :- P(a: y), x == y + 1;"),
            (std::vector<std::string>{unannotated("P")}));
}

}  // namespace
}  // namespace mirtova::verifier
