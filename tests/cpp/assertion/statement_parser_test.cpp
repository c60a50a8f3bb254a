#include <gtest/gtest.h>

#include <string>

#include "assertion/lexer.h"
#include "assertion/parser.h"
#include "support/assertion_text.h"
#include "support/small_stack.h"

namespace mirtova::assertion {
namespace {

using testing::text;

std::string outcome(std::string_view statement) {
  Result<Expr, std::string> tree = parse_statement(statement);
  return tree.ok() ? text(tree.value()) : "error: " + tree.error();
}

std::string repeat(std::string_view piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

struct Case {
  std::string statement, expected;
};

TEST(StatementParserTest, ErrorsWithTheirCharacterPositions) {
  const Case cases[] = {
      {"", "expected a formula, found the end of the statement (at character 1)"},
      {"   ", "expected a formula, found the end of the statement (at character 4)"},
      {"\u2200 x: P x", "expected a variable or ',', found the end of the statement (at character 9)"},
      {"\u2200 x \u2208 s, P x",
       "bounded binders ('\u2200 x \u2208 s, ...') are not supported (at character 5)"},
      {"exists y \u2208 s, P y",
       "bounded binders ('\u2203 x \u2208 s, ...') are not supported (at character 10)"},
      {"x \u2208 s", "expected the end of the statement, found '\u2208' (at character 3)"},
      {"1.", "unexpected character '.' (at character 2)"},
      {"x.y", "unexpected character '.' (at character 2)"},
      {"P.x = 1", "unexpected character '.' (at character 2)"},
      {"\"ab", "unclosed string (at character 1)"},
      {"P \"a\" \"b", "unclosed string (at character 7)"},
      {"'x", "unexpected character ''' (at character 1)"},
      {"x ~ y", "unexpected character '~' (at character 3)"},
      {"\u0663 = 3", "unexpected character '\u0663' (at character 1)"},  // a digit, but not an ASCII one
      {"x = \xFF", "unexpected character '\uFFFD' (at character 5)"},
      {"(P) x", "expected the end of the statement, found 'x' (at character 5)"},
      {"(x) \"s\"", "expected the end of the statement, found \"s\" (at character 5)"},
      {"1 2", "expected the end of the statement, found '2' (at character 3)"},
      {"P x )", "expected the end of the statement, found ')' (at character 5)"},
      {"P \"a\" forall", "expected the end of the statement, found '\u2200' (at character 7)"},
      {"a\u00F1o \u2208", "expected the end of the statement, found '\u2208' (at character 5)"},
      {"\u2211 , x", "'\u2211' binds no variable (at character 3)"},
      {"\u03A3 , x", "'\u2211' binds no variable (at character 3)"},
      {"sum , x", "'\u2211' binds no variable (at character 5)"},
      {"\u2200 , P", "'\u2200' binds no variable (at character 3)"},
      {"\u2200 (), P", "'\u2200' binds no variable (at character 5)"},
      {"\u2200 : T, P", "'\u2200' binds no variable (at character 6)"},
      {"\u2200 x", "expected a variable or ',', found the end of the statement (at character 4)"},
      {"\u2200 x 1, P", "expected a variable or ',', found '1' (at character 5)"},
      {"\u2200\u2200", "expected a variable or ',', found '\u2200' (at character 2)"},
      {"\u2200 not, P", "expected a variable or ',', found '\u00AC' (at character 3)"},
      {"exists", "expected a variable or ',', found the end of the statement (at character 7)"},
      {"\u2200 (x, P x", "expected ')', found ',' (at character 5)"},
      {"\u2200 (x y : Node, P x", "expected ')', found the end of the statement (at character 19)"},
      {"P(x, y)", "expected ')', found ',' (at character 4)"},
      {"(P x", "expected ')', found the end of the statement (at character 5)"},
      {"\u2227 x", "expected a formula, found an operator (at character 1)"},
      {"x + not", "expected a formula, found the end of the statement (at character 8)"},
      {"x = )", "expected a formula, found ')' (at character 5)"},
      {"P : x", "expected the end of the statement, found ':' (at character 3)"},
      {"x , y", "expected the end of the statement, found ',' (at character 3)"},
      {"\u2200 x, \u2203", "expected a variable or ',', found the end of the statement (at character 7)"},
  };
  for (const Case& c : cases) EXPECT_EQ(outcome(c.statement), "error: " + c.expected) << c.statement;
}

TEST(StatementParserTest, TreesFollowTheBindingPowers) {
  const Case cases[] = {
      {"\u2200 x y : Node, P x", "(forall [x y] (P x))"},
      {"\u2200 (x y : Node) (z), P x", "(forall [x y z] (P x))"},
      {"\u2200 () x, P", "(forall [x] P)"},
      {"\u2200 x x, P x", "(forall [x x] (P x))"},
      {"\u2200 x, P x \u2192 Q x", "(forall [x] (-> (P x) (Q x)))"},
      {"a - -b", "(- a (neg b))"},
      {"- 3", "(neg 3)"},
      {"-x * y", "(* (neg x) y)"},
      {"P x > 3 \u2227 Q x", "(/\\ (> (P x) 3) (Q x))"},
      {"a \u2192 b \u2192 c", "(-> a (-> b c))"},
      {"a \u2228 b \u2228 c", "(\\/ a (\\/ b c))"},
      {"a - b - c", "(- (- a b) c)"},
      {"a / b / c", "(/ (/ a b) c)"},
      {"a \u2194 b \u2194 c", "(<-> (<-> a b) c)"},
      {"a < b < c", "(< (< a b) c)"},
      {"a + b * c / d", "(+ a (/ (* b c) d))"},
      {"a \u2227 b \u2228 c \u2192 d \u2194 e", "(<-> (-> (\\/ (/\\ a b) c) d) e)"},
      {"\u2211 x, Price x * 2 + 1", "(+ (sum [x] (* (Price x) 2)) 1)"},
      {"\u00AC a = b \u2227 c", "(/\\ (not (== a b)) c)"},
      {"\u00AC\u00AC P", "(not (not P))"},
      {"P (Q x) y", "(P (Q x) y)"},
      {"P Q x", "(P Q x)"},
      {"P(x)", "(P x)"},
      {"P 1.5 \"it's\nok\" (x)", "(P 1.5 \"it's\nok\" x)"},
      {"((x))", "x"},
      {"\u03A3a, a", "(sum [a] a)"},
      {"a\u03A3 = 1", "(== a\u03A3 1)"},
      {"x' = x_p", "(== x' x_p)"},
      {"Forall and", "(Forall and)"},
      {"\u00E9\u0663 \u2260 \u2160", "(!= \u00E9\u0663 \u2160)"},  // names continue over Nd and Nl
      {"x\t=\u00A0y\u3000", "(== x y)"},                           // Unicode white space between tokens
  };
  for (const Case& c : cases) EXPECT_EQ(outcome(c.statement), c.expected) << c.statement;
}

TEST(StatementParserTest, KeywordsParseLikeTheirSymbols) {
  const Case cases[] = {
      {"forall x, not P x", "\u2200 x, \u00AC P x"},
      {"exists y, sum z, F z y > 0", "\u2203 y, \u2211 z, F z y > 0"},
      {"forall x, x -> y <-> z \\/ w /\\ v != u <= t >= s == r = q",
       "\u2200 x, x \u2192 y \u2194 z \u2228 w \u2227 v \u2260 u \u2264 t \u2265 s == r = q"},
      {"forall (a b : T) c, not not exists d, a - b * c / d < 0",
       "\u2200 (a b : T) c, \u00AC\u00AC \u2203 d, a - b * c / d < 0"},
  };
  for (const Case& c : cases) {
    Result<Expr, std::string> words = parse_statement(c.statement);
    Result<Expr, std::string> symbols = parse_statement(c.expected);
    ASSERT_TRUE(words.ok()) << words.error();
    ASSERT_TRUE(symbols.ok()) << symbols.error();
    EXPECT_EQ(words.value(), symbols.value()) << text(words.value()) << " vs " << text(symbols.value());
  }
}

TEST(StatementLexerTest, TokensAndTheirPositionsInCharacters) {
  auto kinds = [](std::string_view statement) {
    std::string out;
    auto tokens = tokenize(statement);
    if (!tokens.ok()) return "error: " + tokens.error().text();
    for (const TokenAt& t : tokens.value())
      out += t.token.describe() + "@" + std::to_string(t.position) + " ";
    return out;
  };
  const Case cases[] = {
      {"\u2200x\u2208\u00ACy", "'\u2200'@0 'x'@1 '\u2208'@2 '\u00AC'@3 'y'@4 "},
      {"<-><=<->-==!=",
       "an operator@0 an operator@3 an operator@5 an operator@8 an operator@9 an operator@11 "},
      {"\u03A3a a\u03A3 sum summe not", "'\u2211'@0 'a'@1 'a\u03A3'@3 '\u2211'@6 'summe'@10 '\u00AC'@16 "},
      {"12.50 7", "'12.50'@0 '7'@6 "},
      {"12.50 1.x", "error: unexpected character '.' (at character 8)"},
      {"\"a\nb\" (x) : , ", "\"a\nb\"@0 '('@6 'x'@7 ')'@8 ':'@10 ','@12 "},
  };
  for (const Case& c : cases) EXPECT_EQ(kinds(c.statement), c.expected) << c.statement;
  auto ops =
      tokenize("<-> \u2194 -> \u2192 /\\ \u2227 \\/ \u2228 != \u2260 <= \u2264 >= \u2265 == = < > + - * /");
  ASSERT_TRUE(ops.ok());
  const BinOp expected[] = {BinOp::Iff, BinOp::Iff, BinOp::Implies, BinOp::Implies, BinOp::And, BinOp::And,
                            BinOp::Or,  BinOp::Or,  BinOp::Ne,      BinOp::Ne,      BinOp::Le,  BinOp::Le,
                            BinOp::Ge,  BinOp::Ge,  BinOp::Eq,      BinOp::Eq,      BinOp::Lt,  BinOp::Gt,
                            BinOp::Add, BinOp::Sub, BinOp::Mul,     BinOp::Div};
  ASSERT_EQ(ops.value().size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) EXPECT_EQ(ops.value()[i].token.op, expected[i]) << i;
}

// Deep nesting and long chains end in the bound's error at the token where
// the bound was crossed, never in a stack overflow.
TEST(StatementParserTest, NestingIsBounded) {
  const size_t n = 20000;
  const std::string too_deep = std::string("error: ") + kTooDeepMessage + " (at character ";
  const Case cases[] = {
      {std::string(n, '(') + "x" + std::string(n, ')'), too_deep + "201)"},
      {repeat("\u00AC", n) + "P", too_deep + "201)"},
      {repeat("not ", n) + "P", too_deep + "801)"},
      {repeat("-", n) + "x", too_deep + "201)"},
      {"P" + repeat(" \u2227 P", n), too_deep + "801)"},  // right-grouping: the parser recurses
      {"P" + repeat(" -> P", n), too_deep + "1001)"},
      {"x" + repeat(" + x", n), too_deep + "799)"},  // left-grouping: the tree deepens in a loop
      {"P" + repeat(" <-> P", n), too_deep + "1197)"},
      {repeat("\u2200 x, ", n) + "P x", too_deep + "1001)"},
      {repeat("\u2211 x, ", n) + "x", too_deep + "1001)"},
      {repeat("P (", n) + "x" + std::string(n, ')'), too_deep + "601)"},
      {"x = " + repeat("(x + ", n) + "x" + std::string(n, ')'), too_deep + "501)"},
  };
  for (const Case& c : cases) EXPECT_EQ(outcome(c.statement), c.expected) << c.statement.substr(0, 20);
}

TEST(StatementParserTest, NestingWithinTheBoundParses) {
  const size_t m = kMaxStatementDepth - 1;
  EXPECT_EQ(outcome(std::string(m, '(') + "x" + std::string(m, ')')), "x");
  EXPECT_EQ(outcome("x" + repeat(" + x", m - 1)).substr(0, 6), "(+ (+ ");
  EXPECT_EQ(outcome("P" + repeat(" \u2227 P", m - 1)).substr(0, 11), "(/\\ P (/\\ P");
  EXPECT_EQ(outcome(repeat("\u00AC", m - 1) + "P").substr(0, 10), "(not (not ");
}

TEST(StatementParserTest, DeepStatementsFailCleanlyOnASmallStack) {
  const size_t n = 20000;
  const std::string statements[] = {
      std::string(n, '(') + "x" + std::string(n, ')'),
      repeat("\u00AC", n) + "P",
      repeat("-", n) + "x",
      "P" + repeat(" \u2227 P", n),
      "x" + repeat(" + x", n),
      repeat("P (", n) + "x" + std::string(n, ')'),
  };
  std::vector<std::string> outcomes;
  ASSERT_TRUE(testing::run_on_small_stack([&] {
    for (const std::string& s : statements) outcomes.push_back(outcome(s));
  }));
  for (const std::string& o : outcomes)
    EXPECT_EQ(o.substr(0, 7 + std::string(kTooDeepMessage).size()), std::string("error: ") + kTooDeepMessage);
}

TEST(StatementParserTest, TheBoundFollowsTheStackTheParseRunsOn) {
  // Within the bound on the main thread; on a host thread of 128 KB the walks
  // after the parse would overflow long before it, so the parse refuses it.
  const std::string deep = repeat("\u00AC", 150) + "P";
  const std::string shallow = repeat("\u00AC", 5) + "P";
  std::string on_small[2];
  const size_t stack = (testing_support::kSanitized ? 4 : 1) * 128 * 1024;
  ASSERT_TRUE(testing::run_on_small_stack(
      [&] {
        on_small[0] = outcome(deep);
        on_small[1] = outcome(shallow);
      },
      stack));
  EXPECT_EQ(on_small[0].substr(0, 7 + std::string(kTooDeepMessage).size()),
            std::string("error: ") + kTooDeepMessage);
  EXPECT_EQ(on_small[1], outcome(shallow));
  EXPECT_EQ(outcome(deep).substr(0, 10), "(not (not ");
}

}  // namespace
}  // namespace mirtova::assertion
