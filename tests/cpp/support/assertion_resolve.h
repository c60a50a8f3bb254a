// Resolution as translation runs it, for tests: the statement's leading
// universal binders become outer variables, the rest is resolved.
#pragma once

#include <string>
#include <vector>

#include "assertion/parser.h"
#include "assertion/resolver.h"

namespace mirtova::assertion::testing {

struct Resolved {
  std::vector<std::string> outer;
  Resolver resolver;
  Expr tree;
};

// The resolved statement, or the text of the parse or resolution error.
inline Result<Resolved, std::string> resolve_statement(std::string_view statement) {
  Result<Expr, std::string> parsed = parse_statement(statement);
  if (!parsed.ok()) return make_err(parsed.error());
  Resolved out;
  const Expr* rest = &parsed.value();
  while (rest->kind == Expr::Kind::Forall) {
    for (const std::string& var : rest->vars) out.outer.push_back(out.resolver.add_outer(var));
    rest = &rest->body();
  }
  Result<Expr, TranslateError> resolved = out.resolver.resolve(*rest);
  if (!resolved.ok()) return make_err(resolved.error().message);
  out.tree = std::move(resolved).value();
  return out;
}

}  // namespace mirtova::assertion::testing
