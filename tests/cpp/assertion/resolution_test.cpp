#include <gtest/gtest.h>

#include <string>

#include "assertion/variable_names.h"
#include "support/assertion_resolve.h"
#include "support/assertion_text.h"

namespace mirtova::assertion {
namespace {

using testing::joined;
using testing::text;

TEST(VariableNameTest, ProgramNamesOfStatementNames) {
  struct Case {
    const char* name;
    const char* program;
  } cases[] = {
      {"x", "x"},
      {"x'", "v_x_p"},
      {"Price", "v_Price"},
      {"x_1", "v_x_1"},
      {"_y", "v__y"},
      {"a\u00F1o", "a_uf1o"},
      {"\u00E9", "v__ue9"},
      {"", "v_"},
      {"\u2200", "v__u2200"},
      {"a\U0001F600", "a_u1f600"},
      {"x_", "v_x_"},
      {"x", "x"},
      {"xy_z", "xy_z"},
      {"y'", "y_p"},
      {"q1__y", "q1__y"},
  };
  for (const auto& c : cases) EXPECT_EQ(variable_name(c.name), c.program) << c.name;
}

TEST(VariableNameTest, DisplayShowsTheStatementSpelling) {
  EXPECT_EQ(display("q3__total"), "total");
  EXPECT_EQ(display("v_Price"), "v_Price");
  EXPECT_EQ(display("q12__a__b"), "b");
  EXPECT_EQ(display("x"), "x");
}

// "outer=[..] free=[..] tree", or the error's text.
std::string resolution(std::string_view statement) {
  auto r = testing::resolve_statement(statement);
  if (!r.ok()) return "error: " + r.error();
  return "outer=[" + joined(r.value().outer) + "] free=[" + joined(r.value().resolver.free()) + "] " +
         text(r.value().tree);
}

TEST(ResolverTest, NamesBecomePredicatesAndProgramVariables) {
  struct Case {
    const char* statement;
    const char* resolved;
  } cases[] = {
      {"\u2200 x, \u2203 y, Edge x y", "outer=[x] free=[] (exists [q1__y] (Edge $x $q1__y))"},
      {"x > 0 \u2227 y < x", "outer=[] free=[x y] (/\\ (> $x 0) (< $y $x))"},
      // Rule variables hold no upper-case letter: X is written as "_x".
      {"\u2200 X, X > 0", "outer=[v__x] free=[] (> $v__x 0)"},
      {"\u2203 X, X > 0", "outer=[] free=[] (exists [q1__v__x] (> $q1__v__x 0))"},
      {"\u2203 x, \u2203 x, P x", "outer=[] free=[] (exists [q1__x] (exists [q2__x] (P $q2__x)))"},
      {"(\u2203 x, P x) \u2227 Q x", "outer=[] free=[x] (/\\ (exists [q1__x] (P $q1__x)) (Q $x))"},
      {"\u2203 a b, \u2211 c, F a b c",
       "outer=[] free=[] (exists [q1__a q2__b] (sum [q3__c] (F $q1__a $q2__b $q3__c)))"},
      {"\u2200 x x, P x", "outer=[x x] free=[] (P $x)"},
      {"\u2200 x, \u2200 y, P x y", "outer=[x y] free=[] (P $x $y)"},
      {"\u2200 x, P x \u2227 \u2200 y, Q y", "outer=[x] free=[] (/\\ (P $x) (forall [q1__y] (Q $q1__y)))"},
      {"Total > 3", "outer=[] free=[] (> Total 3)"},
      {"\u00C9dition x", "outer=[] free=[x] (\u00C9dition $x)"},
      {"P \"s\" 1.5 (-z)", "outer=[] free=[z] (P \"s\" 1.5 (neg $z))"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolution(c.statement), c.resolved) << c.statement;
}

TEST(ResolverTest, FirstErrorInWalkOrder) {
  const std::string raw =
      "' is not a predicate: a raw table has no declared columns, wrap it in a predicate to state "
      "an assertion about it";
  struct Case {
    const char* statement;
    std::string error;
  } cases[] = {
      {"\u2203 f, f x", "'f' is a variable and cannot be applied"},
      {"\u2200 X, X 1 > 0", "'X' is a variable and cannot be applied"},
      {"edge x y", "'edge" + raw},
      {"\u00F1 x", "'\u00F1" + raw},
      {"f x \u2227 \u2203 g, g y", "'f" + raw},
      {"P (\u2203 g, g 1) (h 2)", "'g' is a variable and cannot be applied"},
      {"x' = 1 \u2227 P (h x)", "'h" + raw},
  };
  for (const auto& c : cases) EXPECT_EQ(resolution(c.statement), "error: " + c.error) << c.statement;
}

// Names the user writes and names translation makes up stay apart: two
// statement names never share a program variable, and none takes the shape
// of an inner binder's or a value's name.
TEST(ResolverTest, ProgramNamesNeverCollide) {
  struct Case {
    const char* statement;
    const char* resolved;
  } cases[] = {
      {"x' = x_p", "outer=[] free=[v_x_p v_x_p_2] (== $v_x_p $v_x_p_2)"},
      {"x_p = x'", "outer=[] free=[v_x_p v_x_p_2] (== $v_x_p $v_x_p_2)"},
      {"x' = x_p \u2227 x_p_2 = x' \u2227 x_p = 1",
       "outer=[] free=[v_x_p v_x_p_2 v_x_p_2_2] "
       "(/\\ (== $v_x_p $v_x_p_2) (/\\ (== $v_x_p_2_2 $v_x_p) (== $v_x_p_2 1)))"},
      {"\u2200 x', x_p > 0", "outer=[v_x_p] free=[v_x_p_2] (> $v_x_p_2 0)"},
      {"\u00E9 = _ue9", "outer=[] free=[v__ue9 v__ue9_2] (== $v__ue9 $v__ue9_2)"},
      {"q1__y = y \u2227 \u2203 y, P y",
       "outer=[] free=[v_q1__y y] (/\\ (== $v_q1__y $y) (exists [q1__y] (P $q1__y)))"},
      {"\u2200 q1__y, \u2203 y, P q1__y y", "outer=[v_q1__y] free=[] (exists [q1__y] (P $v_q1__y $q1__y))"},
      {"s__1 > s_", "outer=[] free=[v_s__1 s_] (> $v_s__1 $s_)"},
      {"q12__a = q1_ \u2227 q_ = 1", "outer=[] free=[v_q12__a q1_ q_] (/\\ (== $v_q12__a $q1_) (== $q_ 1))"},
  };
  for (const auto& c : cases) EXPECT_EQ(resolution(c.statement), c.resolved) << c.statement;
}

TEST(ResolverTest, CollectMissingListsUnknownPredicatesOnce) {
  Schema schema{{"Q", {"a"}}, {"Person", {"name", "age"}}};
  struct Case {
    const char* statement;
    const char* missing;
  } cases[] = {
      {"Total > 3", "Total"},
      {"\u2200 Total, Total > 3", ""},
      {"(\u2203 Total, Total > 0) \u2227 Total < 1", "Total"},
      {"P x \u2227 Q (R x) \u2227 P y \u2227 S", "P R S"},
      {"\u00C9dition x \u2227 \u00E9dition x", "\u00C9dition"},
      {"Person n a \u2227 p x \u2227 \u2211 x, F x", "F"},
      {"\u2203 P, P (P x)", ""},
  };
  for (const auto& c : cases) {
    Result<Expr, std::string> parsed = parse_statement(c.statement);
    ASSERT_TRUE(parsed.ok()) << parsed.error();
    EXPECT_EQ(joined(collect_missing(parsed.value(), schema)), c.missing) << c.statement;
  }
}

}  // namespace
}  // namespace mirtova::assertion
