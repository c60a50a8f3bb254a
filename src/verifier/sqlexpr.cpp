// The SqlExpr check and the texts of SqlExprError.
#include "verifier/sqlexpr.h"

#include <set>

#include "compiler/functors/functors.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"
#include "verifier/verify_error.h"

namespace mirtova::verifier {

std::string SqlExprError::text() const {
  if (table) return verifier::text(InvalidTableName{predicate, *table});
  return verifier::text(UnsafeSqlExpr{predicate});
}

bool contains_sql_expr(const Json& value) {
  bool found = false;
  walk_tree(value, [&](const Json& node) {
    const Json* call = node.get("call");
    const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
    if (name != nullptr && name->is_str() && name->as_str() == "SqlExpr") {
      found = true;
      return Walk::Stop;
    }
    return Walk::Enter;
  });
  return found;
}

std::vector<SqlExprError> check_sqlexpr(const RuleList& plain) {
  std::vector<SqlExprError> errors;
  std::set<std::string, std::less<>> reported;
  for (const Json* rule : plain) {
    if (!contains_sql_expr(*rule)) continue;
    const std::string name(aggregated_predicate(head_name(*rule)));
    if (reported.insert(name).second) errors.push_back(SqlExprError{name, std::nullopt});
  }
  return errors;
}

}  // namespace mirtova::verifier
