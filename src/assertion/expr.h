// Expr: the tree of an assertion statement, as parsed and as resolved.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "assertion/token.h"

namespace mirtova::assertion {

// One node; every node owns its children. Which fields a node uses depends on
// its kind (see the accessors); the others stay empty.
struct Expr {
  enum class Kind : uint8_t {
    Forall,  // vars, body
    Exists,  // vars, body
    Sum,     // vars, body (the summed value)
    Not,     // operand
    Neg,     // operand (unary minus)
    Binary,  // op, left, right
    App,     // text = name, args; a bare name is an App without arguments
    Var,     // text = program variable name; only resolution makes it
    Number,  // text as written
    Str,     // text between the quotes
  };

  Kind kind = Kind::Number;
  BinOp op = BinOp::Iff;
  std::string text;
  std::vector<std::string> vars;
  std::vector<Expr> children;

  static Expr quantifier(Kind kind, std::vector<std::string> vars, Expr body);
  static Expr forall(std::vector<std::string> vars, Expr body) {
    return quantifier(Kind::Forall, std::move(vars), std::move(body));
  }
  static Expr exists(std::vector<std::string> vars, Expr body) {
    return quantifier(Kind::Exists, std::move(vars), std::move(body));
  }
  static Expr sum(std::vector<std::string> vars, Expr body) {
    return quantifier(Kind::Sum, std::move(vars), std::move(body));
  }
  static Expr negation(Expr operand) { return unary(Kind::Not, std::move(operand)); }
  static Expr minus(Expr operand) { return unary(Kind::Neg, std::move(operand)); }
  static Expr binary(BinOp op, Expr left, Expr right);
  static Expr app(std::string name, std::vector<Expr> args = {});
  static Expr var(std::string name) { return leaf(Kind::Var, std::move(name)); }
  static Expr number(std::string text) { return leaf(Kind::Number, std::move(text)); }
  static Expr str(std::string text) { return leaf(Kind::Str, std::move(text)); }

  bool is_quantifier() const { return kind == Kind::Forall || kind == Kind::Exists || kind == Kind::Sum; }
  const Expr& body() const { return children[0]; }            // quantifiers
  const Expr& operand() const { return children[0]; }         // Not, Neg
  const Expr& left() const { return children[0]; }            // Binary
  const Expr& right() const { return children[1]; }           // Binary
  const std::string& name() const { return text; }            // App, Var
  const std::vector<Expr>& args() const { return children; }  // App

  friend bool operator==(const Expr&, const Expr&) = default;

 private:
  static Expr unary(Kind kind, Expr operand);
  static Expr leaf(Kind kind, std::string text);
};

// The texts of the nodes `wanted` picks that no enclosing quantifier binds, in
// order of first appearance, without repeats.
std::vector<std::string> unbound_names(const Expr& e, const std::function<bool(const Expr&)>& wanted);

// The program variables that occur free in a resolved expression, in order of
// first appearance, without repeats.
std::vector<std::string> free_vars(const Expr& e);

// The number of nodes of the tree: what a copy of it costs.
size_t node_count(const Expr& e);

// A short text naming the expression in messages: "∀ ...", "a comparison",
// "P ...", a variable as the statement spells it, a number, a quoted string.
std::string show(const Expr& e);

}  // namespace mirtova::assertion
