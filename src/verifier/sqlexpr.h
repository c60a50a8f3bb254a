// The SqlExpr check: raw SQL in a rule escapes every check and every engine's
// own dialect, so each predicate that uses it is reported. The same error type
// carries the driver's findings of names that are not table names.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "parser/json.h"
#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct SqlExprError {
  std::string predicate;             // the head predicate name of the rule concerned
  std::optional<std::string> table;  // the name that is not a table name, when that is the finding

  std::string text() const;
};

// Whether a call of SqlExpr occurs anywhere in the value.
bool contains_sql_expr(const Json& value);

// One error per predicate whose rules call SqlExpr, at its first such rule.
std::vector<SqlExprError> check_sqlexpr(const RuleList& plain);

}  // namespace mirtova::verifier
