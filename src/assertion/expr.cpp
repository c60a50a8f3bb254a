#include "assertion/expr.h"

#include <unordered_map>
#include <unordered_set>

#include "assertion/variable_names.h"
#include "common/string_hash.h"

namespace mirtova::assertion {

Expr Expr::quantifier(Kind kind, std::vector<std::string> vars, Expr body) {
  Expr e;
  e.kind = kind;
  e.vars = std::move(vars);
  e.children.push_back(std::move(body));
  return e;
}

Expr Expr::unary(Kind kind, Expr operand) {
  Expr e;
  e.kind = kind;
  e.children.push_back(std::move(operand));
  return e;
}

Expr Expr::binary(BinOp op, Expr left, Expr right) {
  Expr e;
  e.kind = Kind::Binary;
  e.op = op;
  e.children.reserve(2);
  e.children.push_back(std::move(left));
  e.children.push_back(std::move(right));
  return e;
}

Expr Expr::app(std::string name, std::vector<Expr> args) {
  Expr e;
  e.kind = Kind::App;
  e.text = std::move(name);
  e.children = std::move(args);
  return e;
}

Expr Expr::leaf(Kind kind, std::string text) {
  Expr e;
  e.kind = kind;
  e.text = std::move(text);
  return e;
}

namespace {

// Names bound around the current node, counted so that a name bound twice
// stays bound until both binders are left; and the result with its members.
struct UnboundWalk {
  const std::function<bool(const Expr&)>& wanted;
  std::unordered_map<std::string, size_t, StringHash, std::equal_to<>> bound;
  std::unordered_set<std::string, StringHash, std::equal_to<>> seen;
  std::vector<std::string> out;

  void walk(const Expr& e) {
    if (e.is_quantifier()) {
      for (const std::string& v : e.vars) ++bound[v];
      walk(e.body());
      for (const std::string& v : e.vars)
        if (--bound[v] == 0) bound.erase(v);
      return;
    }
    if (wanted(e) && !bound.contains(e.text) && seen.insert(e.text).second) out.push_back(e.text);
    for (const Expr& child : e.children) walk(child);
  }
};

}  // namespace

std::vector<std::string> unbound_names(const Expr& e, const std::function<bool(const Expr&)>& wanted) {
  UnboundWalk walk{wanted, {}, {}, {}};
  walk.walk(e);
  return std::move(walk.out);
}

std::vector<std::string> free_vars(const Expr& e) {
  return unbound_names(e, [](const Expr& node) { return node.kind == Expr::Kind::Var; });
}

size_t node_count(const Expr& e) {
  size_t count = 1;
  for (const Expr& child : e.children) count += node_count(child);
  return count;
}

std::string show(const Expr& e) {
  using K = Expr::Kind;
  switch (e.kind) {
    case K::Forall:
      return "\u2200 ...";
    case K::Exists:
      return "\u2203 ...";
    case K::Sum:
      return "\u2211 ...";
    case K::Not:
      return "\u00AC ...";
    case K::Neg:
      return "- ...";
    case K::Binary:
      if (is_comparison(e.op)) return "a comparison";
      if (is_arithmetic(e.op)) return "an arithmetic expression";
      return "a compound formula";
    case K::App:
      return e.children.empty() ? e.text : e.text + " ...";
    case K::Var:
      return std::string(display(e.text));
    case K::Number:
      return e.text;
    case K::Str:
      return "\"" + e.text + "\"";
  }
  return {};
}

}  // namespace mirtova::assertion
