#include "assertion/parser.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "assertion/lexer.h"
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

using Step = Result<Parsed, StatementError>;

// Each form has a function of its own, so that a frame holds only what its
// form needs: the recursion through nested forms stays lean on the stack.
class Parser {
 public:
  Parser(std::vector<TokenAt> tokens, size_t end) : tokens_(std::move(tokens)), end_(end) {}

  Step expr(uint8_t min_bp) {
    Nesting nesting(depth_);
    if (depth_ > kMaxStatementDepth) return too_deep(here());
    TRY(Parsed left, prefix());
    while (!at_end() && tokens_[pos_].token.kind == K::Op && left_binding_power(tokens_[pos_].token.op) >= min_bp) {
      TRY_VOID(binary(left));
    }
    return left;
  }

  bool at_end() const { return pos_ >= tokens_.size(); }

  StatementError unexpected(std::string_view expected) const {
    if (at_end()) return {"expected " + std::string(expected) + ", found the end of the statement", end_};
    return {"expected " + std::string(expected) + ", found " + tokens_[pos_].token.describe(), tokens_[pos_].position};
  }

 private:
  struct Nesting {
    explicit Nesting(size_t& counter) : depth(++counter) {}
    ~Nesting() { --depth; }
    size_t& depth;
  };

  size_t here() const { return at_end() ? end_ : tokens_[pos_].position; }
  static StatementError too_deep(size_t at) { return {kTooDeepMessage, at}; }
  bool next_is(K kind) const { return !at_end() && tokens_[pos_].token.kind == kind; }

  // A node over children of the given height.
  static Step wrap(Expr e, size_t child_height, size_t at) {
    if (child_height + 1 > kMaxStatementDepth) return too_deep(at);
    return Parsed{std::move(e), child_height + 1};
  }

  // The operator at `pos_` and its right operand, joined to `left`.
  Result<Unit, StatementError> binary(Parsed& left) {
    const BinOp op = tokens_[pos_].token.op;
    const size_t at = tokens_[pos_].position;
    ++pos_;
    TRY(Parsed right, expr(right_binding_power(op)));
    const size_t height = 1 + std::max(left.height, right.height);
    if (height > kMaxStatementDepth) return too_deep(at);
    left = Parsed{Expr::binary(op, std::move(left.expr), std::move(right.expr)), height};
    return Unit{};
  }

  Step prefix() {
    if (at_end()) return atom();
    switch (tokens_[pos_].token.kind) {
      case K::Forall:
      case K::Exists:
      case K::Sum: return quantifier();
      case K::Not: return negation();
      case K::Op:
        if (tokens_[pos_].token.op == BinOp::Sub) return minus();
        return atom();
      case K::Name: return application();
      default: return atom();
    }
  }

  Step quantifier() {
    const K kind = tokens_[pos_].token.kind;
    const size_t at = tokens_[pos_].position;
    ++pos_;
    const char* symbol = kind == K::Forall ? "\u2200" : kind == K::Exists ? "\u2203" : "\u2211";
    TRY(std::vector<std::string> vars, binders(symbol));
    // A sum's body stops before "+", "-", comparisons and connectives.
    TRY(Parsed body, expr(kind == K::Sum ? kSumBodyPower : 0));
    const Expr::Kind node = kind == K::Forall ? Expr::Kind::Forall : kind == K::Exists ? Expr::Kind::Exists : Expr::Kind::Sum;
    return wrap(Expr::quantifier(node, std::move(vars), std::move(body.expr)), body.height, at);
  }

  Step negation() {
    const size_t at = tokens_[pos_++].position;
    TRY(Parsed operand, expr(kNotOperandPower));
    return wrap(Expr::negation(std::move(operand.expr)), operand.height, at);
  }

  Step minus() {
    const size_t at = tokens_[pos_++].position;
    TRY(Parsed operand, expr(kNegOperandPower));
    return wrap(Expr::minus(std::move(operand.expr)), operand.height, at);
  }

  // A name and the atoms that follow it as its arguments; an application as
  // an argument therefore needs parentheses.
  Step application() {
    const size_t at = tokens_[pos_].position;
    Expr app = Expr::app(std::move(tokens_[pos_++].token.text));
    size_t height = 0;
    while (next_is(K::Name) || next_is(K::Number) || next_is(K::Str) || next_is(K::LParen)) {
      TRY(Parsed arg, atom());
      height = std::max(height, arg.height);
      app.children.push_back(std::move(arg.expr));
    }
    if (app.children.empty()) return Parsed{std::move(app)};
    return wrap(std::move(app), height, at);
  }

  Step atom() {
    if (at_end()) return unexpected("a formula");
    Token& token = tokens_[pos_].token;
    switch (token.kind) {
      case K::Name: ++pos_; return Parsed{Expr::app(std::move(token.text))};
      case K::Number: ++pos_; return Parsed{Expr::number(std::move(token.text))};
      case K::Str: ++pos_; return Parsed{Expr::str(std::move(token.text))};
      case K::LParen: return parenthesized();
      default: return unexpected("a formula");
    }
  }

  // No node is made for parentheses.
  Step parenthesized() {
    ++pos_;
    TRY(Parsed inner, expr(0));
    if (!next_is(K::RParen)) return unexpected("')'");
    ++pos_;
    return inner;
  }

  // The variable list after a quantifier, up to and past its comma. Types
  // written after a colon are skipped.
  Result<std::vector<std::string>, StatementError> binders(const char* symbol) {
    std::vector<std::string> vars;
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
            return StatementError{"'" + std::string(symbol) + "' binds no variable", tokens_[pos_].position};
          ++pos_;
          return vars;
        case K::In:
          return StatementError{"bounded binders ('" + std::string(symbol) + " x \u2208 s, ...') are not supported",
                                tokens_[pos_].position};
        default:
          return unexpected("a variable or ','");
      }
    }
  }

  std::vector<TokenAt> tokens_;
  size_t end_;
  size_t pos_ = 0;
  size_t depth_ = 0;
};

}  // namespace

Result<Expr, StatementError> parse_statement_tree(std::string_view statement) {
  const std::u32string chars = to_code_points(statement);
  TRY(std::vector<TokenAt> tokens, tokenize(chars));
  Parser parser(std::move(tokens), chars.size());
  TRY(Parsed parsed, parser.expr(0));
  if (!parser.at_end()) return parser.unexpected("the end of the statement");
  return std::move(parsed.expr);
}

Result<Expr, std::string> parse_statement(std::string_view statement) {
  Result<Expr, StatementError> tree = parse_statement_tree(statement);
  if (!tree.ok()) return make_err(tree.error().text());
  return std::move(tree).value();
}

}  // namespace mirtova::assertion
