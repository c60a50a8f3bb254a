#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>

#include "assertion/domain.h"
#include "assertion/normal_form.h"
#include "support/assertion_resolve.h"
#include "support/assertion_text.h"
#include "support/sanitizers.h"
#include "support/small_stack.h"

namespace mirtova::assertion {
namespace {

using testing::text;

std::string repeat(std::string_view piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// The form of the statement (negated unless `negate` is clear) and its DNF,
// as "nnf => dnf", or the error's text.
std::string forms(std::string_view statement, bool negate = true) {
  auto r = testing::resolve_statement(statement);
  if (!r.ok()) return "error: " + r.error();
  Result<Nnf, TranslateError> form = nnf(r.value().tree, negate);
  if (!form.ok()) return "error: " + form.error().message;
  Result<Dnf, TranslateError> conjuncts = dnf(form.value());
  if (!conjuncts.ok()) return text(form.value()) + " => error: " + conjuncts.error().message;
  return text(form.value()) + " => " + text(conjuncts.value());
}

struct Case {
  std::string statement, forms;
};

TEST(NormalFormTest, NegationsAndTheirConjuncts) {
  const Case cases[] = {
      {"\u2200 x, \u2203 y, Edge x y", "notexists[x] Edge($x, $q1__y) => notexists[x] Edge($x, $q1__y)"},
      {"x > 0 \u2227 y < x", "(or [$x <= 0] [$y >= $x]) => [$x <= 0] | [$y >= $x]"},
      {"P x \u2194 Q x", "(or (and P($x) ~Q($x)) (and Q($x) ~P($x))) => P($x), ~Q($x) | Q($x), ~P($x)"},
      {"\u00AC P x", "P($x) => P($x)"},
      {"P x", "~P($x) => ~P($x)"},
      {"\u2200 n a, Person n a \u2192 a \u2265 18",
       "(and Person($n, $a) [$a < 18]) => Person($n, $a), [$a < 18]"},
      {"\u2203 n a, Person n a", "notexists[] Person($q1__n, $q2__a) => notexists[] Person($q1__n, $q2__a)"},
      {"Q x \u2192 \u2200 y, R x y", "(and Q($x) ~R($x, $q1__y)) => Q($x), ~R($x, $q1__y)"},
      {"Q x \u2227 \u2200 y, R x y", "(or ~Q($x) ~R($x, $q1__y)) => ~Q($x) | ~R($x, $q1__y)"},
      {"Q x \u2192 \u2203 y, R x y",
       "(and Q($x) notexists[x] R($x, $q1__y)) => Q($x), notexists[x] R($x, $q1__y)"},
      {"Q x \u2192 \u2203 y, \u2200 z, R x y z",
       "(and Q($x) notexists[x] notexists[x q1__y] ~R($x, $q1__y, $q2__z)) => "
       "Q($x), notexists[x] notexists[x q1__y] ~R($x, $q1__y, $q2__z)"},
      {"\u00AC(P \u2228 Q) \u2192 R", "(and (and ~P() ~Q()) ~R()) => ~P(), ~Q(), ~R()"},
      {"a = 1 \u2227 b \u2260 1 \u2227 c < 1 \u2227 d \u2264 1 \u2227 e > 1 \u2227 f \u2265 1",
       "(or [$a != 1] (or [$b == 1] (or [$c >= 1] (or [$d > 1] (or [$e <= 1] [$f < 1]))))) => "
       "[$a != 1] | [$b == 1] | [$c >= 1] | [$d > 1] | [$e <= 1] | [$f < 1]"},
      {"(P \u2228 Q) \u2192 (R \u2228 S)",
       "(and (or P() Q()) (and ~R() ~S())) => P(), ~R(), ~S() | Q(), ~R(), ~S()"},
      // A value where a formula belongs is kept for the rule writer to report.
      {"\u2211 x, F x",
       "[(sum [q1__x] (F $q1__x)) + (sum [q1__x] (F $q1__x))] => "
       "[(sum [q1__x] (F $q1__x)) + (sum [q1__x] (F $q1__x))]"},
      {"x + 1 \u2227 \"s\"",
       "(or [(+ $x 1) + (+ $x 1)] [\"s\" + \"s\"]) => [(+ $x 1) + (+ $x 1)] | [\"s\" + \"s\"]"},
      {"-x \u2228 7", "(and [(neg $x) + (neg $x)] [7 + 7]) => [(neg $x) + (neg $x)], [7 + 7]"},
  };
  for (const Case& c : cases) EXPECT_EQ(forms(c.statement), c.forms) << c.statement;
}

TEST(NormalFormTest, FormsWithoutNegation) {
  const Case cases[] = {
      {"P x \u2192 Q x", "(or ~P($x) Q($x)) => ~P($x) | Q($x)"},
      {"P \u2194 Q", "(and (or ~P() Q()) (or ~Q() P())) => ~P(), ~Q() | ~P(), P() | Q(), ~Q() | Q(), P()"},
      {"\u2203 y, P y", "P($q1__y) => P($q1__y)"},
      {"Q x \u2227 \u2200 y, R x y",
       "(and Q($x) notexists[x] ~R($x, $q1__y)) => Q($x), notexists[x] ~R($x, $q1__y)"},
  };
  for (const Case& c : cases) EXPECT_EQ(forms(c.statement, false), c.forms) << c.statement;
}

// "(P1 ∧ Q1) ∨ ... ∨ (Pn ∧ Qn)": its negation is n two-way disjunctions.
std::string disjunction_of_pairs(size_t n) {
  std::string out;
  for (size_t i = 1; i <= n; ++i)
    out += (i > 1 ? " \u2228 " : "") + ("(P" + std::to_string(i) + " \u2227 Q" + std::to_string(i) + ")");
  return out;
}

std::string conjunct_count(std::string_view statement) {
  auto r = testing::resolve_statement(statement);
  if (!r.ok()) return "error: " + r.error();
  Result<Nnf, TranslateError> form = nnf(r.value().tree, true);
  if (!form.ok()) return "error: " + form.error().message;
  Result<Dnf, TranslateError> conjuncts = dnf(form.value());
  if (!conjuncts.ok()) {
    EXPECT_EQ(conjuncts.error().kind, TranslateError::Kind::Unsupported);
    return "error: " + conjuncts.error().message;
  }
  return std::to_string(conjuncts.value().size());
}

// A sum of 2^levels ones in a balanced tree: many nodes, little height.
std::string balanced_sum(size_t levels) {
  return levels == 0 ? "1" : "(" + balanced_sum(levels - 1) + " + " + balanced_sum(levels - 1) + ")";
}

TEST(NormalFormTest, AlternativesAreBounded) {
  const std::string refused = std::string("error: ") + kTooManyAlternatives;
  EXPECT_EQ(conjunct_count(disjunction_of_pairs(6)), "64");
  EXPECT_EQ(conjunct_count(disjunction_of_pairs(7)), refused);
  EXPECT_EQ(
      conjunct_count("(" + disjunction_of_pairs(3) + ") \u2228 P \u2228 (" + disjunction_of_pairs(3) + ")"),
      "64");
  // A flat disjunction of 64 literals is allowed, of 65 not.
  EXPECT_EQ(conjunct_count("P0" + repeat(" \u2227 P0", 63)), "64");
  EXPECT_EQ(conjunct_count("P0" + repeat(" \u2227 P0", 64)), refused);
  // Conjuncts are bounded in size too: 64 copies of a large comparison are
  // refused, one is not.
  const std::string large = "x = " + balanced_sum(11);
  EXPECT_EQ(conjunct_count(large), "1");
  EXPECT_EQ(conjunct_count(large + " \u2228 " + disjunction_of_pairs(6)), refused);
}

TEST(NormalFormTest, NestedEquivalencesAreRefusedWithLittleMemory) {
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const std::string refused = std::string("error: ") + kTooManyAlternatives;
  const std::string chain = "P" + repeat(" \u2194 P", 30);
  const std::string nested = repeat("P \u2194 (", 30) + "P" + std::string(30, ')');
  for (bool negate : {true, false}) {
    EXPECT_EQ(forms(chain, negate), refused);
    EXPECT_EQ(forms(nested, negate), refused);
  }
  EXPECT_EQ(forms("\u2203 x, " + chain), refused);
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  if (!testing_support::kSanitized) {
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32 * 1024) << "KB";
  }
}

TEST(NormalFormTest, DomainOfFindsAColumnForAVariable) {
  const Schema schema{{"F3", {"p", "q", "r"}}, {"F2", {"p", "q"}}, {"P", {"c"}},
                      {"F", {"a", "v"}},       {"G", {"b", "w"}},  {"G3", {"g1", "g2", "g3"}}};
  struct Row {
    const char* statement;
    const char* var;
    const char* found;
  } rows[] = {
      {"F3 a x > 0", "x", "F3.q"},
      {"F3 a x > 0", "a", "F3.p"},
      {"F2 a x > 0", "x", "-"},
      {"P x", "x", "-"},
      {"P (F x)", "x", "F.a"},
      {"F x = G x", "x", "F.a"},
      {"3 = G x", "x", "G.b"},
      {"H (F x) > 0", "x", "-"},
      {"F (F x) > 0", "x", "F.a"},
      {"(\u2211 x, F x) > 0", "q1__x", "-"},
      // Inside a sum, unless it binds the name, and inside a NotExists body.
      {"(\u2211 y, F x + F y) > 0", "x", "F.a"},
      {"Q x \u2192 \u2203 y, G3 x y > 0", "x", "G3.g1"},
      {"Q x \u2192 \u2203 y, G3 x y > 0", "q1__y", "G3.g2"},
      {"Q x \u2192 \u2203 y, P y \u2227 \u2200 z, P z \u2192 G3 y x > z", "x", "G3.g2"},
  };
  for (const Row& row : rows) {
    auto r = testing::resolve_statement(row.statement);
    ASSERT_TRUE(r.ok()) << r.error();
    Result<Nnf, TranslateError> form = nnf(r.value().tree, true);
    ASSERT_TRUE(form.ok());
    Result<Dnf, TranslateError> conjuncts = dnf(form.value());
    ASSERT_TRUE(conjuncts.ok());
    std::string found = "-";
    for (const Lit& lit : conjuncts.value()[0]) {
      if (auto column = domain_of(lit, row.var, schema)) {
        found = column->predicate + "." + column->column;
        break;
      }
    }
    EXPECT_EQ(found, row.found) << row.statement << " for " << row.var;
  }
}

TEST(NormalFormTest, FreeVariablesAndMessageForms) {
  auto r = testing::resolve_statement("\u2203 y, P x y \u2227 (\u2211 z, F z w) > x \u2227 Q v");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(testing::joined(free_vars(r.value().tree)), "x w v");
  struct Row {
    Expr e;
    const char* shown;
  } rows[] = {
      {Expr::forall({"x"}, Expr::app("P")), "\u2200 ..."},
      {Expr::exists({"x"}, Expr::app("P")), "\u2203 ..."},
      {Expr::sum({"x"}, Expr::app("P")), "\u2211 ..."},
      {Expr::negation(Expr::app("P")), "\u00AC ..."},
      {Expr::minus(Expr::var("x")), "- ..."},
      {Expr::binary(BinOp::Le, Expr::var("x"), Expr::number("1")), "a comparison"},
      {Expr::binary(BinOp::Div, Expr::var("x"), Expr::number("1")), "an arithmetic expression"},
      {Expr::binary(BinOp::Iff, Expr::app("P"), Expr::app("Q")), "a compound formula"},
      {Expr::app("Price", {Expr::var("x")}), "Price ..."},
      {Expr::app("Total"), "Total"},
      {Expr::var("q3__total"), "total"},
      {Expr::var("v_Price"), "v_Price"},
      {Expr::number("1.50"), "1.50"},
      {Expr::str("a b"), "\"a b\""},
  };
  for (const Row& row : rows) EXPECT_EQ(show(row.e), row.shown);
}

// Statements just within the nesting bound go through every stage on a
// small stack; past it they fail in the parser.
TEST(NormalFormTest, DeepStatementsFitASmallStack) {
  const size_t m = kMaxStatementDepth - 2;
  const std::string statements[] = {
      std::string(m, '(') + "P x" + std::string(m, ')'),
      repeat("\u00AC", m) + "P x",
      "P x" + repeat(" \u2227 P x", m),
      "P x" + repeat(" \u2192 P x", m),
      "x" + repeat(" + x", m - 1) + " > 0",
      repeat("- ", m) + "x > 0",
      repeat("\u2203 x, ", m) + "P x",
      repeat("Q x \u2227 \u2200 y, ", m / 2) + "P y",
      repeat("P (", m) + "x" + std::string(m, ')'),
      repeat("x = (", m / 2) + "x" + std::string(m / 2, ')'),
  };
  std::vector<std::string> outcomes;
  ASSERT_TRUE(testing::run_on_small_stack([&] {
    for (const std::string& s : statements) {
      const std::string shape = forms(s);
      outcomes.push_back(shape.substr(0, 60));
    }
  }));
  for (const std::string& o : outcomes) EXPECT_EQ(o.find(kTooDeepMessage), std::string::npos) << o;
}

}  // namespace
}  // namespace mirtova::assertion
