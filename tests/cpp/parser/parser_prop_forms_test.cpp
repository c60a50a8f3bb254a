#include <gtest/gtest.h>

#include "parser/parse_file.h"
#include "support/parser_prop_sketch.h"

namespace mirtova {
namespace {

// 'E': the text as a value, 'P': as a proposition.
struct Case {
  char as;
  std::string text, tree;
};

std::string parse_as(char as, const std::string& text) {
  return as == 'E' ? sketch::expression(text) : sketch::proposition(text);
}

#define CHECK_TABLE(cases) \
  for (const Case& c : cases) EXPECT_EQ(parse_as(c.as, c.text), c.tree) << c.as << ": " << c.text

TEST(OperatorTest, PrecedenceGroupingAndUnaryOperators) {
  // clang-format off
  const Case cases[] = {
      {'E', "a * b + c", "+(*(a, b), c)"},     {'E', "a + b * c", "+(a, *(b, c))"},
      {'E', "a - b - c", "-(-(a, b), c)"},     {'E', "a ^ b ^ c", "^(^(a, b), c)"},
      {'E', "a + b - c", "+(a, -(b, c))"},     {'E', "a - b + c", "+(-(a, b), c)"},
      {'E', "a * b / c", "*(a, /(b, c))"},     {'E', "a / b * c", "*(/(a, b), c)"},
      {'E', "(a + b) * c", "*(+(a, b), c)"},   {'E', "a || b && c", "||(a, &&(b, c))"},
      {'P', "a || b && c", "&&(||(a, b), c)"}, {'E', "a <= b", "<=(a, b)"},
      {'E', "a != b", "!=(a, b)"},             {'E', "a->b", "->(a, b)"},
      {'E', "x is not y", "is not(x, y)"}, {'E', "x in y", "in(x, y)"},
      {'E', "a ++? b", "++?(a, b)"},           {'E', "f(a + b)", "f(+(a, b))"},
      {'E', "[1] + [2]", "+([1], [2])"},       {'E', "\"a+b\" + 'c-d'", "+(\"a+b\", \"c-d\")"},
      {'E', "-x", "-(x)"},                     {'E', "!x", "!(x)"},
      {'E', "-3", "-3"},                       {'E', "a ! b", "!(a, b)"},
      {'E', "a * -b", "*(a, -(b))"},           {'E', "a - - b", "-(a, -(b))"},
      {'E', "2 - -3", "-(2, -3)"},             {'E', "-a - b", "-(-(a), b)"},
      {'E', "a < -1", "<(a, -1)"},             {'E', "- (a, b)", "-(a, b)"},
      {'P', "p ~ q", "~(p, q)"},               {'P', "a !~ b", "!(a, IsNull(Min{1 :- Constraint(b)}))"},
      // Only "-" looks at what stands before it: this "+" splits and leaves "a *".
      {'E', "a * +b", "error: Could not parse expression of a value."},
      // Operator bytes may be part of a predicate name, so these are calls.
      {'E', "a-(b+c)", "a-(+(b, c))"},         {'E', "x-F(y)", "x-F(y)"},
      // The exponent's "-" splits the number into "x * 1e" and "5".
      {'E', "x * 1e-5", "error: Could not parse expression of a value."},
      {'E', "within y", "error: Could not parse expression of a value."},
      {'E', "a ~ b", "error: Negation \"~\" is a unary operator."},
  };
  // clang-format on
  CHECK_TABLE(cases);
}

TEST(PropositionTest, Forms) {
  // clang-format off
  const Case cases[] = {
      {'P', "p(x) | q(x), r(x)", "or(p(x), and(q(x), r(x)))"},
      {'P', "a, b | c", "or(and(Constraint(a), Constraint(b)), Constraint(c))"},
      {'P', "P(x), ((y))", "and(P(x), Constraint(y))"},
      {'P', "a == b && c == d", "&&(==(a, b), ==(c, d))"},
      {'P', "x == y + 1", "unify(x, +(y, 1))"},
      {'P', "x == y == z", "==(==(x, y), z)"},
      {'P', "x in [1, 2]", "inclusion(x, [1, 2])"},
      {'P', "x = y", "=(x, y)"},
      {'P', "r.a", "Constraint(r.a)"},
      {'P', "F(x) + G(y) > 1", ">(+(F(x), G(y)), 1)"},
      {'P', "42", "error: Could not parse proposition."},
      {'P', "f(x) g", "error: Could not parse proposition."},
      {'P', "P(x), 42, Q(", "error: Could not parse proposition."},
      {'P', "if x > 0 then 1 else 0", "error: If-then-else clause is only supported as an expression, not as a proposition."},
      {'P', "if a then 1", "error: I expected string to be split by else in two."},
      {'P', "P(x)) | Q(x)", "error: Parenthesis matches nothing."},
      {'P', "x == ", "error: Could not parse expression of a value."},
  };
  // clang-format on
  CHECK_TABLE(cases);
}

TEST(NegationTest, Forms) {
  // clang-format off
  const Case cases[] = {
      {'P', "~ p(x)", "IsNull(Min{1 :- p(x)})"},
      {'P', "~(p(x), q(x))", "IsNull(Min{1 :- p(x), q(x)})"},
      {'P', "~p(x), q(x)", "and(IsNull(Min{1 :- p(x)}), q(x))"},
      {'P', "~(~p)", "IsNull(Min{1 :- IsNull(Min{1 :- Constraint(p)})})"},
      {'P', "a => b", "IsNull(Min{1 :- Constraint(a), IsNull(Min{1 :- Constraint(b)})})"},
      {'P', "(a1, a2) => c", "IsNull(Min{1 :- Constraint(a1), Constraint(a2), IsNull(Min{1 :- Constraint(c)})})"},
      {'P', "a => (c1, c2)", "IsNull(Min{1 :- Constraint(a), IsNull(Min{1 :- Constraint(c1), Constraint(c2)})})"},
      {'P', "a, b => c", "and(Constraint(a), IsNull(Min{1 :- Constraint(b), IsNull(Min{1 :- Constraint(c)})}))"},
      {'E', "~p(x)", "IsNull(Min{1 :- p(x)})"},
      // Inside a proposition "~" after other text is the infix operator first.
      {'P', "~p ~ q", "~(IsNull(Min{1 :- Constraint(p)}), q)"},
      {'P', "~(p(x), 42)", "error: Could not parse proposition."},
      {'P', "42 => p", "error: Could not parse proposition."},
  };
  // clang-format on
  CHECK_TABLE(cases);
}

TEST(CombineTest, Forms) {
  const Case cases[] = {
      {'E', "combine += x :- T(x), x > 0", "+{x :- T(x), >(x, 0)}"},
      {'E', "combine Max= x", "Max{x}"},
      {'E', "combine += x :- T(x), U(x) | V(x)", "+{x :- T(x), or(U(x), V(x))}"},
      {'E', "Sum{x :- T(x)} + 1", "+(Sum{x :- T(x)}, 1)"},
      {'E', "combined", "combined"},
      {'P', "s += x :- T(x)", "unify(s, +{x :- T(x)})"},
      {'P', "s List= {a: x}", "unify(s, List{{a: x}})"},
      {'P', "x >= y", ">=(x, y)"},
      {'P', "x+=1", "error: Could not parse expression of a value."},
      {'P', "a b += 1", "error: Could not parse expression of a value."},
      {'E', "combine x", "error: A combine needs an operator: `combine += x`."},
      {'E', "combine += x :- a :- b", "error: String should have been split by :- in 1 or 2 pieces."},
      {'E', "Sum{x :- a :- b}", "error: String should have been split by :- in 1 or 2 pieces."},
      {'P', "s += x :- a :- b", "error: String should have been split by :- in 1 or 2 pieces."},
  };
  CHECK_TABLE(cases);
}

TEST(IfThenElseTest, Forms) {
  const Case cases[] = {
      {'E', "if a then 1 else if b then 2 else 3", "if(a ? 1; b ? 2; else 3)"},
      {'E', "if a then (if b then 1 else 2) else 3", "if(a ? if(b ? 1; else 2); else 3)"},
      {'E', "if a then elsewhere else b", "if(a ? elsewhere; else b)"},
      {'E', "if\na then \"then\" else 'else'", "if(a ? \"then\"; else \"else\")"},
      {'E', "if(a)", "if(a)"},
      {'E', "if\ta then 1 else 2", "error: Could not parse expression of a value."},
      {'E', "if a then b then c else d", "error: I expected string to be split by then in two."},
      {'E', "if a then if b then 1 else 2 else 3", "error: I expected string to be split by else in two."},
      // "else if" is found inside "else iffy", leaving "fy" without an "else".
      {'E', "if a then 1 else iffy", "error: I expected string to be split by else in two."},
  };
  CHECK_TABLE(cases);
}

// Whole rules through the file parser: bodies come out as conjunctions, one
// rule per disjunct.
TEST(RuleBodyTest, ThroughTheFileParser) {
  // clang-format off
  const Case cases[] = {
      {'F', "Q(x) :- P(x), ~R(x), x > 1 || x < -1;", "and(P(x), IsNull(Min{1 :- R(x)}), ||(>(x, 1), <(x, -1)))"},
      {'F', "Q(x) :- P(x) | R(x);", "and(P(x)) and(R(x))"},
      {'F', "Q(s) :- (s Max= x :- T(x));", "and(unify(s, Max{x :- T(x)}))"},
  };
  // clang-format on
  for (const Case& c : cases) {
    auto parsed = parse_file(c.text);
    ASSERT_TRUE(parsed.ok()) << c.text << "\n" << parsed.error().show_message();
    std::string bodies;
    for (const Json& rule : parsed.value().at("rule").as_array())
      bodies += (bodies.empty() ? "" : " ") + sketch::render(rule.at("body"));
    EXPECT_EQ(bodies, c.tree) << c.text;
  }
}

}  // namespace
}  // namespace mirtova
