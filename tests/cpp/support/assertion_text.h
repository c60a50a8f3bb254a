// Compact texts of statement trees and normal forms, so that tests state
// expected shapes in one line: "(-> (P x) (>= x 0))", "$q1__y", "~Edge($x, $y)".
#pragma once

#include <string>

#include "assertion/normal_form.h"

namespace mirtova::assertion::testing {

inline std::string text(const Expr& e);

inline std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

// Bare names are applications without arguments; resolved variables carry a "$".
inline std::string text(const Expr& e) {
  using K = Expr::Kind;
  switch (e.kind) {
    case K::Forall:
      return "(forall [" + joined(e.vars) + "] " + text(e.body()) + ")";
    case K::Exists:
      return "(exists [" + joined(e.vars) + "] " + text(e.body()) + ")";
    case K::Sum:
      return "(sum [" + joined(e.vars) + "] " + text(e.body()) + ")";
    case K::Not:
      return "(not " + text(e.operand()) + ")";
    case K::Neg:
      return "(neg " + text(e.operand()) + ")";
    case K::Binary:
      return "(" + std::string(ascii_spelling(e.op)) + " " + text(e.left()) + " " + text(e.right()) + ")";
    case K::App: {
      if (e.args().empty()) return e.name();
      std::string out = "(" + e.name();
      for (const Expr& arg : e.args()) out += " " + text(arg);
      return out + ")";
    }
    case K::Var:
      return "$" + e.text;
    case K::Number:
      return e.text;
    case K::Str:
      return "\"" + e.text + "\"";
  }
  return "?";
}

inline std::string text(const Nnf& form);

inline std::string text(const Lit& lit) {
  switch (lit.kind) {
    case Lit::Kind::Atom: {
      std::string out = (lit.positive ? "" : "~") + lit.name + "(";
      for (size_t i = 0; i < lit.args.size(); ++i) out += (i ? ", " : "") + text(lit.args[i]);
      return out + ")";
    }
    case Lit::Kind::Cmp:
      return "[" + text(lit.left()) + " " + std::string(ascii_spelling(lit.op)) + " " + text(lit.right()) +
             "]";
    case Lit::Kind::NotExists:
      return "notexists[" + joined(lit.vars) + "] " + text(lit.body());
  }
  return "?";
}

inline std::string text(const Nnf& form) {
  if (form.kind == Nnf::Kind::Lit) return text(form.lit);
  std::string out = form.kind == Nnf::Kind::And ? "(and" : "(or";
  for (const Nnf& part : form.parts) out += " " + text(part);
  return out + ")";
}

// Conjuncts separated by " | ", literals by ", ".
inline std::string text(const Dnf& conjuncts) {
  std::string out;
  for (const Conjunct& c : conjuncts) {
    if (!out.empty()) out += " | ";
    for (size_t i = 0; i < c.size(); ++i) out += (i ? ", " : "") + text(c[i]);
  }
  return out;
}

}  // namespace mirtova::assertion::testing
