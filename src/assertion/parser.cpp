#include "assertion/parser.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "assertion/lexer.h"
#include "common/stack_room.h"
#include "parser/utf8.h"

namespace mirtova::assertion {

namespace {

using K = Token::Kind;

// A subtree and its height, which the parser bounds as it builds: a long
// chain of left-grouping operators makes a deep tree without any recursion
// in the parser.
struct Parsed {
  Expr expr;
  size_t height = 1;
};

// Each form has a function of its own that writes its subtree into place and
// answers whether it succeeded, the error kept aside: the recursion through
// nested forms keeps small frames.
class Parser {
 public:
  Parser(std::vector<TokenAt> tokens, size_t end) : tokens_(std::move(tokens)), end_(end) {}

  bool expr(uint8_t min_bp, Parsed& out) {
    Nesting nesting(depth_);
    if (depth_ > limit_ || stack_nearly_exhausted()) return too_deep(here());
    if (!prefix(out)) return false;
    while (!at_end() && tokens_[pos_].token.kind == K::Op &&
           left_binding_power(tokens_[pos_].token.op) >= min_bp)
      if (!binary(out)) return false;
    return true;
  }

  bool at_end() const { return pos_ >= tokens_.size(); }

  // Fails with "expected {0}, found {1}" at the current token.
  [[gnu::noinline]] bool unexpected(std::string_view expected) {
    std::string message = "expected ";
    message += expected;
    message += ", found ";
    if (at_end()) return fail(message + "the end of the statement", end_);
    return fail(message + tokens_[pos_].token.describe(), tokens_[pos_].position);
  }

  const StatementError& error() const { return error_; }

 private:
  struct Nesting {
    explicit Nesting(size_t& counter) : depth(++counter) {}
    ~Nesting() { --depth; }
    size_t& depth;
  };

  // Out of line, like every error path, so that the recursion's frames hold
  // no message texts.
  [[gnu::noinline]] bool fail(std::string message, size_t at) {
    error_ = StatementError{std::move(message), at};
    return false;
  }
  bool too_deep(size_t at) { return fail(kTooDeepMessage, at); }
  size_t here() const { return at_end() ? end_ : tokens_[pos_].position; }
  bool next_is(K kind) const { return !at_end() && tokens_[pos_].token.kind == kind; }

  // `out` becomes a node over children of the given height.
  bool grown(Parsed& out, size_t child_height, size_t at) {
    if (child_height + 1 > limit_) return too_deep(at);
    out.height = child_height + 1;
    return true;
  }

  // The operator at `pos_` and its right operand, joined to `left`.
  bool binary(Parsed& left) {
    const BinOp op = tokens_[pos_].token.op;
    const size_t at = tokens_[pos_].position;
    ++pos_;
    Parsed right;
    if (!expr(right_binding_power(op), right)) return false;
    left.expr = Expr::binary(op, std::move(left.expr), std::move(right.expr));
    return grown(left, std::max(left.height, right.height), at);
  }

  bool prefix(Parsed& out) {
    if (at_end()) return atom(out);
    switch (tokens_[pos_].token.kind) {
      case K::Forall:
      case K::Exists:
      case K::Sum:
        return quantifier(out);
      case K::Not:
        return unary(Expr::Kind::Not, kNotOperandPower, out);
      case K::Op:
        if (tokens_[pos_].token.op == BinOp::Sub) return unary(Expr::Kind::Neg, kNegOperandPower, out);
        return atom(out);
      case K::Name:
        return application(out);
      default:
        return atom(out);
    }
  }

  bool quantifier(Parsed& out) {
    const K kind = tokens_[pos_].token.kind;
    const size_t at = tokens_[pos_].position;
    ++pos_;
    out.expr.kind = kind == K::Forall   ? Expr::Kind::Forall
                    : kind == K::Exists ? Expr::Kind::Exists
                                        : Expr::Kind::Sum;
    if (!binders(kind == K::Forall ? "\u2200" : kind == K::Exists ? "\u2203" : "\u2211", out.expr.vars))
      return false;
    out.expr.children.resize(1);
    Parsed body;
    // A sum's body stops before "+", "-", comparisons and connectives.
    if (!expr(kind == K::Sum ? kSumBodyPower : 0, body)) return false;
    out.expr.children[0] = std::move(body.expr);
    return grown(out, body.height, at);
  }

  bool unary(Expr::Kind kind, uint8_t power, Parsed& out) {
    const size_t at = tokens_[pos_++].position;
    Parsed operand;
    if (!expr(power, operand)) return false;
    out.expr = kind == Expr::Kind::Not ? Expr::negation(std::move(operand.expr))
                                       : Expr::minus(std::move(operand.expr));
    return grown(out, operand.height, at);
  }

  // A name and the atoms that follow it as its arguments; an application as
  // an argument therefore needs parentheses.
  bool application(Parsed& out) {
    const size_t at = tokens_[pos_].position;
    out.expr = Expr::app(std::move(tokens_[pos_++].token.text));
    size_t height = 0;
    while (next_is(K::Name) || next_is(K::Number) || next_is(K::Str) || next_is(K::LParen)) {
      Parsed arg;
      if (!atom(arg)) return false;
      height = std::max(height, arg.height);
      out.expr.children.push_back(std::move(arg.expr));
    }
    if (out.expr.children.empty()) return true;
    return grown(out, height, at);
  }

  bool atom(Parsed& out) {
    if (at_end()) return unexpected("a formula");
    Token& token = tokens_[pos_].token;
    switch (token.kind) {
      case K::Name:
        out.expr = Expr::app(std::move(token.text));
        break;
      case K::Number:
        out.expr = Expr::number(std::move(token.text));
        break;
      case K::Str:
        out.expr = Expr::str(std::move(token.text));
        break;
      case K::LParen:
        return parenthesized(out);
      default:
        return unexpected("a formula");
    }
    ++pos_;
    return true;
  }

  // No node is made for parentheses.
  bool parenthesized(Parsed& out) {
    ++pos_;
    if (!expr(0, out)) return false;
    if (!next_is(K::RParen)) return unexpected("')'");
    ++pos_;
    return true;
  }

  // The variable list after a quantifier, up to and past its comma. Types
  // written after a colon are skipped.
  [[gnu::noinline]] bool binders(const char* symbol, std::vector<std::string>& vars) {
    while (true) {
      if (at_end()) return unexpected("a variable or ','");
      Token& token = tokens_[pos_].token;
      switch (token.kind) {
        case K::Name:
          vars.push_back(std::move(token.text));
          ++pos_;
          break;
        case K::LParen:
          ++pos_;
          while (next_is(K::Name)) vars.push_back(std::move(tokens_[pos_++].token.text));
          if (next_is(K::Colon))
            while (!at_end() && !next_is(K::RParen)) ++pos_;
          if (!next_is(K::RParen)) return unexpected("')'");
          ++pos_;
          break;
        case K::Colon:
          while (!at_end() && !next_is(K::Comma)) ++pos_;
          break;
        case K::Comma:
          if (vars.empty())
            return fail(std::string("'") + symbol + "' binds no variable", tokens_[pos_].position);
          ++pos_;
          return true;
        case K::In:
          return fail(std::string("bounded binders ('") + symbol + " x \u2208 s, ...') are not supported",
                      tokens_[pos_].position);
        default:
          return unexpected("a variable or ','");
      }
    }
  }

  std::vector<TokenAt> tokens_;
  size_t end_;
  size_t pos_ = 0;
  size_t depth_ = 0;
  // Bounds both the parser's own recursion and the tree's height, which a
  // chain of left-grouping operators raises without any.
  const size_t limit_ = statement_depth_limit();
  StatementError error_;
};

}  // namespace

size_t statement_depth_limit() {
  const size_t room = stack_room();
  if (room <= kStackReserve) return 0;
  return std::min(kMaxStatementDepth, (room - kStackReserve) / kStatementStackPerLevel);
}

Result<Expr, StatementError> parse_statement_tree(std::string_view statement) {
  const std::u32string chars = to_code_points(statement);
  TRY(std::vector<TokenAt> tokens, tokenize(chars));
  Parser parser(std::move(tokens), chars.size());
  Parsed parsed;
  if (!parser.expr(0, parsed) || (!parser.at_end() && !parser.unexpected("the end of the statement")))
    return parser.error();
  return std::move(parsed.expr);
}

Result<Expr, std::string> parse_statement(std::string_view statement) {
  Result<Expr, StatementError> tree = parse_statement_tree(statement);
  if (!tree.ok()) return make_err(tree.error().text());
  return std::move(tree).value();
}

}  // namespace mirtova::assertion
