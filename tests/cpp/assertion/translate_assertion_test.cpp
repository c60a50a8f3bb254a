#include <gtest/gtest.h>

#include <string>

#include "assertion/translate_assertion.h"

namespace mirtova::assertion {
namespace {

const Schema kSchema{{"Person", {"name", "age"}}, {"P", {"a"}}};
const SortedNames kDefined{"Person", "P"};

// The translation's predicate and first rule's head, or the error.
std::string outcome(const Entry& entry, const SortedNames& used = {}) {
  Result<Translation, TranslateError> t = translate_assertion(entry, kDefined, kSchema, used);
  if (t.ok()) return t.value().predicate + " | " + t.value().program;
  const TranslateError& e = t.error();
  if (e.kind == TranslateError::Kind::Pending) {
    std::string out = "pending:";
    for (const std::string& p : e.predicates) out += " " + p;
    return out;
  }
  return (e.kind == TranslateError::Kind::Invalid ? "invalid: " : "unsupported: ") + e.message;
}

Entry entry(std::string predicate, std::string name, std::string statement) {
  return Entry{std::move(predicate), std::move(name), statement, statement};
}

TEST(TranslateAssertionTest, OutcomesInTheirOrder) {
  struct Case {
    Entry entry;
    std::string outcome;
  } cases[] = {
      {entry("Person", "adult", "\u2200 n a, Person n a \u2192 a \u2265 18"),
       "Assert_Person_adult | Assert_Person_adult(n: n, a: a) distinct :- Person(name: n, age: a), a < 18;"},
      // Only a statement that translates waits for its own predicate.
      {entry("Nobody", "a", "\u2200 x, P x \u2192 x > 0"), "pending: Nobody"},
      {entry("Nobody", "a", "\u2200 x: P x"),
       "invalid: expected a variable or ',', found the end of the statement (at character 9)"},
      {entry("Nobody", "a", "Other 1 \u2227 Else 2"), "pending: Other Else"},
      {entry("Nobody", "a", "\u2200 x, P x"),
       "unsupported: variable 'x' is not bound by a predicate, so it has no values to check"},
      // Predicates the compiler defines, and names that do not start with an
      // ASCII capital, are not waited for.
      {entry("Today", "a", "1 < 2"), "Assert_Today_a | Assert_Today_a(violated: 1) distinct :- 1 >= 2;"},
      {entry("\u00C9dition", "a", "1 < 2"),
       "Assert__uc9dition_a | Assert__uc9dition_a(violated: 1) distinct :- 1 >= 2;"},
      {entry("p", "a", "1 < 2"), "Assert_p_a | Assert_p_a(violated: 1) distinct :- 1 >= 2;"},
  };
  for (const Case& c : cases) EXPECT_EQ(outcome(c.entry), c.outcome) << c.entry.statement;
}

TEST(TranslateAssertionTest, PredicateNamesArePlainNames) {
  EXPECT_EQ(counterexample_predicate("Person", "adult"), "Assert_Person_adult");
  EXPECT_EQ(counterexample_predicate("P", "`a b`"), "Assert_P__u60a_u20b_u60");
  EXPECT_EQ(counterexample_predicate("P", "1"), "Assert_P_1");
}

// A name the program uses, in any case, is never written: the predicate and
// its helpers move on together to the first free suffix.
TEST(TranslateAssertionTest, GeneratedPredicatesAvoidUsedNames) {
  const Entry some = entry("Person", "some", "\u2203 n a, Person n a");
  struct Case {
    SortedNames used;
    std::string outcome;
  } cases[] = {
      {{},
       "Assert_Person_some | Assert_Person_some_1(holds: 1) distinct :- Person(name: q1__n, age: q2__a);\n"
       "Assert_Person_some(violated: 1) distinct :- ~Assert_Person_some_1(holds: 1);"},
      {{"assert_person_some_1"},
       "Assert_Person_some_2 | Assert_Person_some_2_1(holds: 1) distinct :- Person(name: q1__n, age: "
       "q2__a);\n"
       "Assert_Person_some_2(violated: 1) distinct :- ~Assert_Person_some_2_1(holds: 1);"},
      {{"assert_person_some", "assert_person_some_2", "assert_person_some_3_1", "assert_person_some_2_1"},
       "Assert_Person_some_4 | Assert_Person_some_4_1(holds: 1) distinct :- Person(name: q1__n, age: "
       "q2__a);\n"
       "Assert_Person_some_4(violated: 1) distinct :- ~Assert_Person_some_4_1(holds: 1);"},
      // Helpers this translation does not write block nothing.
      {{"assert_person_some_2"},
       "Assert_Person_some | Assert_Person_some_1(holds: 1) distinct :- Person(name: q1__n, age: q2__a);\n"
       "Assert_Person_some(violated: 1) distinct :- ~Assert_Person_some_1(holds: 1);"},
  };
  for (const Case& c : cases) EXPECT_EQ(outcome(some, c.used), c.outcome);
}

}  // namespace
}  // namespace mirtova::assertion
