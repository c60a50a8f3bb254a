#include "assertion/domain.h"

namespace mirtova::assertion {

namespace {

std::optional<ColumnRef> search(const Expr& e, std::string_view var, const Schema& schema) {
  using K = Expr::Kind;
  switch (e.kind) {
    // What a binder ranges over need not hold where the literal does: a sum
    // over no row is 0, and a quantifier is a formula of its own.
    case K::Forall:
    case K::Exists:
    case K::Sum:
    case K::Var:
    case K::Number:
    case K::Str:
      return std::nullopt;
    case K::App: {
      auto columns = schema.find(e.name());
      if (columns == schema.end()) return std::nullopt;
      const std::vector<std::string>& names = columns->second;
      if (names.size() == e.args().size() + 1) {
        for (size_t i = 0; i < e.args().size(); ++i) {
          const Expr& arg = e.args()[i];
          if (arg.kind == K::Var && arg.text == var) return ColumnRef{e.name(), names[i]};
        }
      }
      break;
    }
    default:
      break;
  }
  for (const Expr& child : e.children)
    if (std::optional<ColumnRef> found = search(child, var, schema)) return found;
  return std::nullopt;
}

}  // namespace

std::optional<ColumnRef> domain_of(const Lit& lit, std::string_view var, const Schema& schema) {
  // The rows a NotExists body reads are those whose absence the literal
  // states: a variable taking its values from them would miss the values
  // for which the literal holds.
  if (lit.kind == Lit::Kind::NotExists) return std::nullopt;
  // An atom's arguments, or a comparison's left and then right side.
  for (const Expr& arg : lit.args)
    if (std::optional<ColumnRef> found = search(arg, var, schema)) return found;
  return std::nullopt;
}

}  // namespace mirtova::assertion
