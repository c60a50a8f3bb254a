#include "assertion/domain.h"

#include <algorithm>

namespace mirtova::assertion {

namespace {

// `into_binders`: whether quantifier and sum bodies are searched too.
std::optional<ColumnRef> search(const Expr& e, std::string_view var, const Schema& schema,
                                bool into_binders) {
  using K = Expr::Kind;
  switch (e.kind) {
    case K::Forall:
    case K::Exists:
    case K::Sum:
      // The variable is shadowed under a binder of its own name.
      if (!into_binders || std::find(e.vars.begin(), e.vars.end(), var) != e.vars.end()) return std::nullopt;
      return search(e.body(), var, schema, into_binders);
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
    if (std::optional<ColumnRef> found = search(child, var, schema, into_binders)) return found;
  return std::nullopt;
}

std::optional<ColumnRef> search_form(const Nnf& form, std::string_view var, const Schema& schema) {
  if (form.kind == Nnf::Kind::Lit) return domain_of(form.lit, var, schema);
  for (const Nnf& part : form.parts)
    if (std::optional<ColumnRef> found = search_form(part, var, schema)) return found;
  return std::nullopt;
}

}  // namespace

std::optional<ColumnRef> domain_of(const Lit& lit, std::string_view var, const Schema& schema) {
  if (lit.kind == Lit::Kind::NotExists) return search_form(lit.body(), var, schema);
  // An atom's arguments, or a comparison's left and then right side.
  for (const Expr& arg : lit.args)
    if (std::optional<ColumnRef> found = search(arg, var, schema, true)) return found;
  return std::nullopt;
}

std::optional<ColumnRef> comparison_binding(const Lit& lit, std::string_view var, const Schema& schema) {
  if (lit.kind != Lit::Kind::Cmp) return std::nullopt;
  for (const Expr& side : lit.args)
    if (std::optional<ColumnRef> found = search(side, var, schema, false)) return found;
  return std::nullopt;
}

}  // namespace mirtova::assertion
