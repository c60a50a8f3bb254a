#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>

#include "assertion/parser.h"
#include "assertion/translate.h"
#include "support/small_stack.h"

namespace mirtova::assertion {
namespace {

const Schema& fixture_schema() {
  static const Schema schema{
      {"Person", {"name", "age"}},
      {"P", {"a"}},
      {"Q", {"a"}},
      {"Edge", {"a", "b"}},
      {"Price", {"item", "value"}},
      {"Cost", {"item", "value"}},
      {"F", {"p", "q", "r"}},
      {"Flag", {}},
      {"R", {"a"}},
  };
  return schema;
}

// The program text, a line of columns after "=> ", or the error as
// "pending: ...", "invalid: ...", "unsupported: ...".
std::string translation(std::string_view statement, std::string_view head = "H") {
  Result<Expr, std::string> parsed = parse_statement(statement);
  if (!parsed.ok()) return "parse error: " + parsed.error();
  Result<Translation, TranslateError> t = translate(parsed.value(), fixture_schema(), head);
  if (!t.ok()) {
    const TranslateError& e = t.error();
    switch (e.kind) {
      case TranslateError::Kind::Pending: {
        std::string out = "pending:";
        for (const std::string& p : e.predicates) out += " " + p;
        return out;
      }
      case TranslateError::Kind::Invalid:
        return "invalid: " + e.message;
      case TranslateError::Kind::Unsupported:
        return "unsupported: " + e.message;
    }
  }
  std::string columns;
  for (const std::string& c : t.value().columns) columns += (columns.empty() ? "" : " ") + c;
  EXPECT_EQ(t.value().predicate, head);
  // The helpers named are the heads of the other rules, the discarded attempts
  // of a sub-formula written again left out.
  std::set<std::string> heads;
  for (std::string_view rest = t.value().program; !rest.empty();) {
    const std::string_view line = rest.substr(0, rest.find('\n'));
    const std::string_view name = line.substr(0, line.find('('));
    if (name != head) heads.emplace(name);
    rest.remove_prefix(std::min(rest.size(), line.size() + 1));
  }
  EXPECT_EQ(std::set<std::string>(t.value().helpers.begin(), t.value().helpers.end()), heads) << statement;
  return t.value().program + "\n=> " + columns;
}

struct Case {
  std::string statement, program;
};

TEST(TranslateTest, TheWorkedExamples) {
  EXPECT_EQ(translation("\u2200 n a, Person n a \u2192 a \u2265 18", "Assert_Person_adult"),
            "Assert_Person_adult(n: n, a: a) distinct :- Person(name: n, age: a), a < 18;\n=> n a");
  EXPECT_EQ(translation("\u2203 n a, Person n a", "Assert_Person_some"),
            "Assert_Person_some_1(holds: 1) distinct :- Person(name: q1__n, age: q2__a);\n"
            "Assert_Person_some(violated: 1) distinct :- ~Assert_Person_some_1(holds: 1);\n=> violated");
}

TEST(TranslateTest, RulesOfEachKindOfLiteral) {
  const Case cases[] = {
      // No variable: the head is "violated".
      {"1 < 2", "H(violated: 1) distinct :- 1 >= 2;\n=> violated"},
      {"Flag", "H(violated: 1) distinct :- ~Flag();\n=> violated"},
      // Free variables follow the leading universal ones.
      {"\u2200 x, P x \u2227 Q y \u2192 x < y",
       "H(x: x, y: y) distinct :- P(a: x), Q(a: y), x >= y;\n=> x y"},
      {"\u2200 x, P x \u2192 x < y \u2227 Q y",
       "unsupported: variable 'y' is not bound by a predicate, so it has no values to check"},
      // An equality of variables binds through its definitions, where a null
      // fails it as it fails any comparison; a tolerant one does not bind.
      {"\u2200 y x, Q y \u2227 x = y \u2192 x > 0",
       "H(y: y, x: x) distinct :- Q(a: y), x == y, !IsNull(x), x <= 0;\n=> y x"},
      {"\u2200 y x, Q y \u2227 x = y + 1 \u2192 x > 0",
       "unsupported: variable 'x' is not bound by a predicate, so it has no values to check"},
      {"\u2200 x, P x \u2192 x \u2260 1.5",
       "H(x: x) distinct :- P(a: x), Abs(x - 1.5) <= 0.000000001;\n=> x"},
      {"\u2200 x, P x \u2192 x = -1", "H(x: x) distinct :- P(a: x), Abs(x - (-1)) > 0.000000001;\n=> x"},
      {"\u2200 x, P x \u2192 x * 2 < 7", "H(x: x) distinct :- P(a: x), (x * 2) >= 7;\n=> x"},
      // A predicate used as a value, and a column found for a variable through it.
      {"\u2200 i, Price i < 10", "H(i: i) distinct :- Price(item: i, value: s__1), s__1 >= 10;\n=> i"},
      {"\u2200 i, Price i = Cost i",
       "H(i: i) distinct :- Price(item: i, value: s__1), Cost(item: i, value: s__2), s__1 != s__2;\n"
       "H(i: i) distinct :- Price(item: i, value: s__1), Cost(item: s__m1, value: s__2), s__1 != s__2, "
       "IsNull(i), IsNull(s__m1);\n=> i"},
      // Each value joined has a rule for the rows where it is the first null:
      // those before it join as written, those after it match a null too.
      {"\u2200 x y, Edge x y \u2227 Edge y x \u2192 x < y",
       "H(x: x, y: y) distinct :- Edge(a: x, b: y), Edge(a: y, b: x), x >= y;\n"
       "H(x: x, y: y) distinct :- Edge(a: x, b: y), Edge(a: s__m1, b: s__m2), x >= y, IsNull(y), "
       "IsNull(s__m1), (s__m2 == x || (IsNull(s__m2) && IsNull(x)));\n"
       "H(x: x, y: y) distinct :- Edge(a: x, b: y), Edge(a: y, b: s__m2), x >= y, IsNull(x), IsNull(s__m2);\n"
       "=> x y"},
      {"\u2200 x, Edge x x \u2192 \u00AC Cost (Price x) x",
       "H(x: x) distinct :- Edge(a: x, b: x), Price(item: x, value: s__1), Cost(item: s__1, value: x);\n"
       "H(x: x) distinct :- Edge(a: x, b: s__m1), Price(item: s__m2, value: s__1), Cost(item: s__m3, value: "
       "s__m4), IsNull(x), IsNull(s__m1), IsNull(s__m2), (s__m3 == s__1 || (IsNull(s__m3) && IsNull(s__1))), "
       "IsNull(s__m4);\n"
       "H(x: x) distinct :- Edge(a: x, b: x), Price(item: x, value: s__1), Cost(item: s__m3, value: x), "
       "IsNull(s__1), IsNull(s__m3);\n"
       "=> x"},
      {"\u2200 x, Q x \u2227 \u00AC P x \u2192 x > 0",
       "H(x: x) distinct :- Q(a: x), ~P(a: x), ~(P(a: s__m1), IsNull(x), (s__m1 == x || (IsNull(s__m1) && "
       "IsNull(x)))), x <= 0;\n"
       "=> x"},
      // Strings: a carriage return is kept, a quote or a line feed is refused.
      {"\u2200 n a, Person n a \u2192 n \u2260 \"bob\"",
       "H(n: n, a: a) distinct :- Person(name: n, age: a), n == \"bob\";\n=> n a"},
      {"\u2200 x, P x \u2192 x \u2260 \"a\rb\"", "H(x: x) distinct :- P(a: x), x == \"a\rb\";\n=> x"},
      {"\u2200 x, P x \u2192 x \u2260 \"a\nb\"",
       "unsupported: string literals cannot hold quotes or line breaks"},
  };
  for (const Case& c : cases) EXPECT_EQ(translation(c.statement), c.program) << c.statement;
}

// A sum is a combine read for each row of its rule: 0 over no row, also for
// a value of its outer variables that no row has, which the rule gives.
TEST(TranslateTest, SumsAndUniversalSubformulas) {
  const Case cases[] = {
      {"(\u2211 x, Price x) \u2264 100",
       "H(violated: 1) distinct :- s__2 == Coalesce(Sum{s__1 :- Price(item: q1__x, value: s__1)}, 0), "
       "s__2 > 100;\n=> violated"},
      // Equality with a sum is tolerant.
      {"(\u2211 x, Price x) = 3",
       "H(violated: 1) distinct :- s__2 == Coalesce(Sum{s__1 :- Price(item: q1__x, value: s__1)}, 0), "
       "Abs(s__2 - 3) > 0.000000001;\n=> violated"},
      // Two sums with a value between them share its counter.
      {"(\u2211 x, Price x) + Cost 1 < (\u2211 y, Price y)",
       "H(violated: 1) distinct :- Cost(item: 1, value: s__3), "
       "s__2 == Coalesce(Sum{s__1 :- Price(item: q1__x, value: s__1)}, 0), "
       "s__5 == Coalesce(Sum{s__4 :- Price(item: q2__y, value: s__4)}, 0), (s__2 + s__3) >= s__5;\n=> "
       "violated"},
      // A sum in an atom, and a sum in a sum.
      {"\u00AC P (\u2211 x, Price x)",
       "H(violated: 1) distinct :- P(a: s__2), s__2 == Coalesce(Sum{s__1 :- Price(item: q1__x, value: "
       "s__1)}, 0);"
       "\n=> violated"},
      {"P (\u2211 x, Price x)",
       "H(violated: 1) distinct :- s__2 == Coalesce(Sum{s__1 :- Price(item: q1__x, value: s__1)}, 0), ~P(a: "
       "s__2), ~(P(a: s__m1), IsNull(s__2), (s__m1 == s__2 || (IsNull(s__m1) && IsNull(s__2))));\n"
       "=> violated"},
      {"(\u2211 x, Price x * (\u2211 y, F x y)) > 0",
       "H(violated: 1) distinct :- s__4 == Coalesce(Sum{(s__1 * s__3) :- Price(item: q1__x, value: s__1), "
       "s__3 == Coalesce(Sum{s__2 :- F(p: s__m1, q: q2__y, r: s__2), (s__m1 == q1__x || (IsNull(s__m1) && "
       "IsNull(q1__x)))}, 0)}, 0), s__4 <= 0;\n"
       "=> violated"},
      // A sum grouped by an outer variable, whose values the rule gives.
      {"\u2200 i, P i \u2192 (\u2211 x, Price (i + x)) > 0",
       "unsupported: variable 'x' of a sum is not bound by a predicate"},
      {"\u2200 i, P i \u2192 (\u2211 x, F i x) > 0",
       "H(i: i) distinct :- P(a: i), s__2 == Coalesce(Sum{s__1 :- F(p: s__m1, q: q1__x, r: s__1), (s__m1 == "
       "i || (IsNull(s__m1) && IsNull(i)))}, 0), s__2 <= 0;\n"
       "=> i"},
      {"\u2200 i, P i \u2192 (\u2211 x, (Price x + i)) > 0",
       "H(i: i) distinct :- P(a: i), s__2 == Coalesce(Sum{(s__1 + i) :- Price(item: q1__x, value: s__1)}, "
       "0), "
       "s__2 <= 0;\n=> i"},
      // Unguarded, the outer variable ranges over the column the sum reads.
      {"\u2200 i, (\u2211 x, F i x) > 0",
       "H(i: i) distinct :- F(p: i), s__2 == Coalesce(Sum{s__1 :- F(p: s__m1, q: q1__x, r: s__1), (s__m1 == "
       "i || (IsNull(s__m1) && IsNull(i)))}, 0), s__2 <= 0;\n"
       "=> i"},
      // In a sub-formula's rule, a shared outer variable takes the enclosing
      // rule's values, and one of its own the column the sum reads.
      {"\u2200 i, P i \u2192 \u2203 y, Q y \u2227 (\u2211 x, F i x) \u2264 0",
       "H_1(i: i) distinct :- P(a: i), Q(a: q1__y), s__2 == Coalesce(Sum{s__1 :- F(p: s__m1, q: q2__x, r: "
       "s__1), (s__m1 == i || (IsNull(s__m1) && IsNull(i)))}, 0), s__2 <= 0;\n"
       "H(i: i) distinct :- P(a: i), ~H_1(i: i), ~(H_1(i: s__m2), IsNull(i), (s__m2 == i || (IsNull(s__m2) "
       "&& IsNull(i))));\n"
       "=> i"},
      {"\u2203 i, (\u2211 x, F i x) < 1",
       "H_1(holds: 1) distinct :- F(p: q1__i), s__2 == Coalesce(Sum{s__1 :- F(p: s__m1, q: q2__x, r: s__1), "
       "(s__m1 == q1__i || (IsNull(s__m1) && IsNull(q1__i)))}, 0), s__2 < 1;\n"
       "H(violated: 1) distinct :- ~H_1(holds: 1);\n"
       "=> violated"},
      {"\u2200 total, P total \u2192 (\u2211 x, F total x) > 0",
       "H(total: total) distinct :- P(a: total), s__2 == Coalesce(Sum{s__1 :- F(p: s__m1, q: q1__x, r: "
       "s__1), (s__m1 == total || (IsNull(s__m1) && IsNull(total)))}, 0), s__2 <= 0;\n"
       "=> total"},
      {"(\u2211 x, x) > 0", "unsupported: a sum ranges over no predicate"},
      // A universal sub-formula whose variable comes from the enclosing rule.
      {"\u2200 x, P x \u2192 \u2203 y, Q y \u2227 y > x",
       "H_1(x: x) distinct :- P(a: x), Q(a: q1__y), q1__y > x;\n"
       "H(x: x) distinct :- P(a: x), ~H_1(x: x), ~(H_1(x: s__m1), IsNull(x), (s__m1 == x || (IsNull(s__m1) "
       "&& IsNull(x))));\n"
       "=> x"},
      // Written again with the enclosing rule's atom, the sub-formula's atom
      // joins it on x; a second rule joins the rows where x is null.
      {"\u2200 x y, Edge x y \u2192 \u2203 z, Edge x z \u2227 z > y",
       "H_1(x: x, y: y) distinct :- Edge(a: x, b: y), Edge(a: x, b: q1__z), q1__z > y;\n"
       "H_1(x: x, y: y) distinct :- Edge(a: x, b: y), Edge(a: s__m1, b: q1__z), q1__z > y, IsNull(x), "
       "IsNull(s__m1);\n"
       "H(x: x, y: y) distinct :- Edge(a: x, b: y), ~H_1(x: x, y: y), ~(H_1(x: s__m2, y: s__m3), (IsNull(x) "
       "|| IsNull(y)), (s__m2 == x || (IsNull(s__m2) && IsNull(x))), (s__m3 == y || (IsNull(s__m3) && "
       "IsNull(y))));\n"
       "=> x y"},
      // The first run numbered a sum before it failed; the retry numbers it again.
      {"\u2200 x, P x \u2192 \u2203 y, Q y \u2227 (\u2211 z, Price z) > x",
       "H_1(x: x) distinct :- P(a: x), Q(a: q1__y), s__2 == Coalesce(Sum{s__1 :- Price(item: q2__z, value: "
       "s__1)}, 0), s__2 > x;\n"
       "H(x: x) distinct :- P(a: x), ~H_1(x: x), ~(H_1(x: s__m1), IsNull(x), (s__m1 == x || (IsNull(s__m1) "
       "&& IsNull(x))));\n"
       "=> x"},
      {"\u2200 x, P x \u2192 \u2203 y, Edge x y",
       "H_1(x: x) distinct :- Edge(a: x, b: q1__y);\n"
       "H(x: x) distinct :- P(a: x), ~H_1(x: x), ~(H_1(x: s__m1), IsNull(x), (s__m1 == x || (IsNull(s__m1) "
       "&& IsNull(x))));\n"
       "=> x"},
      {"\u2200 x, P x \u2192 \u2203 y, y > x",
       "unsupported: variable 'y' is not bound by a predicate, so it has no values to check"},
      // A shared variable takes its values from the enclosing rule, never from
      // the rows a further universal sub-formula reads.
      {"\u2200 z, P z \u2192 \u2203 w, \u2200 y, Edge z y \u2192 Price z > 0",
       "H_2(z: z) distinct :- Edge(a: z, b: q2__y), Price(item: z, value: s__1), s__1 <= 0;\n"
       "H_2(z: z) distinct :- Edge(a: z, b: q2__y), Price(item: s__m1, value: s__1), s__1 <= 0, IsNull(z), "
       "IsNull(s__m1);\n"
       "H_1(z: z) distinct :- P(a: z), ~H_2(z: z), ~(H_2(z: s__m2), IsNull(z), (s__m2 == z || (IsNull(s__m2) "
       "&& IsNull(z))));\n"
       "H(z: z) distinct :- P(a: z), ~H_1(z: z), ~(H_1(z: s__m3), IsNull(z), (s__m3 == z || (IsNull(s__m3) "
       "&& IsNull(z))));\n"
       "=> z"},
      {"\u2200 z, P z \u2192 \u2203 w, Q w \u2227 \u2200 y, Edge z y \u2192 Price z > y",
       "H_2(z: z) distinct :- Edge(a: z, b: q2__y), Price(item: z, value: s__1), s__1 <= q2__y;\n"
       "H_2(z: z) distinct :- Edge(a: z, b: q2__y), Price(item: s__m1, value: s__1), s__1 <= q2__y, "
       "IsNull(z), IsNull(s__m1);\n"
       "H_1(z: z) distinct :- P(a: z), Q(a: q1__w), ~H_2(z: z), ~(H_2(z: s__m2), IsNull(z), (s__m2 == z || "
       "(IsNull(s__m2) && IsNull(z))));\n"
       "H(z: z) distinct :- P(a: z), ~H_1(z: z), ~(H_1(z: s__m3), IsNull(z), (s__m3 == z || (IsNull(s__m3) "
       "&& IsNull(z))));\n"
       "=> z"},
      // The enclosing rule binds x only by a later literal: the column there.
      {"\u2200 x, (\u2203 y, Q y \u2227 y > x) \u2228 Price x > 3",
       "H_1(x: x) distinct :- Price(item: x), Q(a: q1__y), q1__y > x;\n"
       "H(x: x) distinct :- Price(item: x, value: s__1), ~H_1(x: x), ~(H_1(x: s__m1), IsNull(x), (s__m1 == x "
       "|| (IsNull(s__m1) && IsNull(x)))), s__1 <= 3;\n"
       "=> x"},
      // The comparison binds x, not the column a further sub-formula reads.
      {"\u2200 x, (\u2203 y, Q y \u2227 \u2200 u, R u \u2192 F x u > u) \u2228 Price x > 3",
       "H_2(x: x) distinct :- R(a: q2__u), F(p: x, q: q2__u, r: s__1), s__1 <= q2__u;\n"
       "H_2(x: x) distinct :- R(a: q2__u), F(p: x, q: s__m1, r: s__1), s__1 <= q2__u, IsNull(q2__u), "
       "IsNull(s__m1);\n"
       "H_1(x: x) distinct :- Price(item: x), Q(a: q1__y), ~H_2(x: x), ~(H_2(x: s__m2), IsNull(x), (s__m2 == "
       "x || (IsNull(s__m2) && IsNull(x))));\n"
       "H(x: x) distinct :- Price(item: x, value: s__2), ~H_1(x: x), ~(H_1(x: s__m3), IsNull(x), (s__m3 == x "
       "|| (IsNull(s__m3) && IsNull(x)))), s__2 <= 3;\n"
       "=> x"},
      // Unguarded, z ranges over the column found two sub-formulas in, and
      // each of their rules takes it from there.
      {"\u2200 z, \u2203 w, \u2200 y, Edge z y \u2192 Price z > 0",
       "H_2(z: z) distinct :- Edge(a: z, b: q2__y), Price(item: z, value: s__1), s__1 <= 0;\n"
       "H_2(z: z) distinct :- Edge(a: z, b: q2__y), Price(item: s__m1, value: s__1), s__1 <= 0, IsNull(z), "
       "IsNull(s__m1);\n"
       "H_1(z: z) distinct :- Price(item: z), ~H_2(z: z), ~(H_2(z: s__m2), IsNull(z), (s__m2 == z || "
       "(IsNull(s__m2) && IsNull(z))));\n"
       "H(z: z) distinct :- Price(item: z), ~H_1(z: z), ~(H_1(z: s__m3), IsNull(z), (s__m3 == z || "
       "(IsNull(s__m3) && IsNull(z))));\n"
       "=> z"},
      // A rule that shares z in turn leaves it to the rule enclosing it, even
      // where that rule binds it only by a later equality.
      {"\u2200 z, P z \u2192 \u2203 w, Q w \u2227 (\u2200 u, R u \u2192 \u2203 v, Edge z v \u2227 Price z > "
       "0) \u2227 w = z",
       "H_3(z: z) distinct :- Edge(a: z, b: q3__v), Price(item: z, value: s__1), s__1 > 0;\n"
       "H_3(z: z) distinct :- Edge(a: z, b: q3__v), Price(item: s__m1, value: s__1), s__1 > 0, IsNull(z), "
       "IsNull(s__m1);\n"
       "H_2(z: z) distinct :- P(a: z), Q(a: q1__w), R(a: q2__u), ~H_3(z: z), ~(H_3(z: s__m2), IsNull(z), "
       "(s__m2 == z || (IsNull(s__m2) && IsNull(z))));\n"
       "H_1(z: z) distinct :- P(a: z), Q(a: q1__w), ~H_2(z: z), ~(H_2(z: s__m3), IsNull(z), (s__m3 == z || "
       "(IsNull(s__m3) && IsNull(z)))), q1__w == z;\n"
       "H(z: z) distinct :- P(a: z), ~H_1(z: z), ~(H_1(z: s__m4), IsNull(z), (s__m4 == z || (IsNull(s__m4) "
       "&& IsNull(z))));\n"
       "=> z"},
  };
  for (const Case& c : cases) EXPECT_EQ(translation(c.statement), c.program) << c.statement;
}

TEST(TranslateTest, StatementsThatCannotBeWritten) {
  const Case cases[] = {
      {"Total > 3 \u2227 P (Cost x) \u2227 Zed", "pending: Total Zed"},
      {"\u2200 x, P x",
       "unsupported: variable 'x' is not bound by a predicate, so it has no values to check"},
      {"Person 1", "invalid: 'Person' has 2 columns (name, age) but is applied to 1 argument"},
      {"Flag 1", "invalid: 'Flag' has 0 columns () but is applied to 1 argument"},
      {"P 1 2", "invalid: 'P' has 1 column (a) but is applied to 2 arguments"},
      {"Price 1 2 > 0",
       "invalid: 'Price' is used as a value: it must be applied to 1 argument (its columns but the last: "
       "item), "
       "not 2"},
      {"F 1 > 0",
       "invalid: 'F' is used as a value: it must be applied to 2 arguments (its columns but the last: "
       "p, q), not 1"},
      {"Flag > 0",
       "invalid: 'Flag' is used as a value: it must be applied to 0 arguments (its columns but the last: ), "
       "not 0"},
      {"(P 1 \u2227 Q 1) > 0", "invalid: 'a compound formula' is a formula, not a value"},
      {"(\u2203 x, P x) + 1 > 0", "invalid: '\u2203 ...' is a formula, not a value"},
      {"\u2200 x, P x \u2192 x + 1", "invalid: 'an arithmetic expression' is a value, not a formula"},
      {"\u2211 x, Price x", "invalid: '\u2211 ...' is a value, not a formula"},
  };
  for (const Case& c : cases) EXPECT_EQ(translation(c.statement), c.program) << c.statement;
}

// Names of the statement become variables of the rule language whatever their
// spelling, and a name bound twice gives one column.
TEST(TranslateTest, VariablesAreRuleVariables) {
  const Case cases[] = {
      {"\u2200 x x, P x \u2192 x > 0", "H(x: x) distinct :- P(a: x), x <= 0;\n=> x"},
      {"\u2200 x, \u2200 x, P x \u2192 x > 0", "H(x: x) distinct :- P(a: x), x <= 0;\n=> x"},
      {"\u2200 N, P N \u2192 N > 0", "H(v__n: v__n) distinct :- P(a: v__n), v__n <= 0;\n=> v__n"},
      {"\u2200 aB, P aB \u2192 aB > 0", "H(a_b: a_b) distinct :- P(a: a_b), a_b <= 0;\n=> a_b"},
      {"\u2200 xY, P xY \u2192 xY > 0", "H(v_x_y: v_x_y) distinct :- P(a: v_x_y), v_x_y <= 0;\n=> v_x_y"},
      {"\u2200 true null, Edge true null \u2192 true > null",
       "H(v_true: v_true, v_null: v_null) distinct :- Edge(a: v_true, b: v_null), v_true <= v_null;\n"
       "=> v_true v_null"},
      {"\u2200 nan, P nan \u2192 \u2203 X, Q X \u2227 X = nan",
       "H_1(v_nan: v_nan) distinct :- Q(a: q1__v__x), q1__v__x == v_nan, !IsNull(v_nan);\n"
       "H(v_nan: v_nan) distinct :- P(a: v_nan), ~H_1(v_nan: v_nan), ~(H_1(v_nan: s__m1), IsNull(v_nan), "
       "(s__m1 == v_nan || (IsNull(s__m1) && IsNull(v_nan))));\n"
       "=> v_nan"},
      {"\u2200 N n_, P N \u2227 P n_ \u2192 N > n_",
       "H(v__n: v__n, n_: n_) distinct :- P(a: v__n), P(a: n_), v__n <= n_;\n=> v__n n_"},
  };
  for (const Case& c : cases) EXPECT_EQ(translation(c.statement), c.program) << c.statement;
}

// Each level below copies a universal sub-formula into two conjuncts, each of
// which is written with all of its own conjuncts: the bound stops the
// doubling long before it runs away.
TEST(TranslateTest, NestedAlternativesAreBounded) {
  std::string statement = "P 1";
  for (int k = 0; k < 24; ++k) statement = "(P 1 \u2228 Q 1) \u2227 \u2200 y, \u00AC (" + statement + ")";
  statement = "\u00AC (" + statement + ")";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(translation(statement), "unsupported: the statement has too many alternatives");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(TranslateTest, DeepStatementsFitASmallStack) {
  // Universal and existential binders alternating as deep as a statement may go.
  std::string nested = "Edge x y";
  for (int k = 0; k < 35; ++k) nested = "\u2203 y, P y \u2227 \u2200 z, Q z \u2192 (" + nested + ")";
  const std::string statements[] = {
      "\u2200 x, P x \u2192 " + nested,
      "\u2200 x, P x \u2192 x = " + std::string(190, '(') + "x" + std::string(190, ')'),
  };
  std::string outcomes[2];
  ASSERT_TRUE(testing::run_on_small_stack([&] {
    for (size_t i = 0; i < 2; ++i) outcomes[i] = translation(statements[i]);
  }));
  for (const std::string& o : outcomes) EXPECT_FALSE(o.starts_with("parse error")) << o.substr(0, 200);
}

}  // namespace
}  // namespace mirtova::assertion
