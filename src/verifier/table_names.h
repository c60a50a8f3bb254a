// The table-name step: a predicate that a program calls but does not define,
// and that is neither built in nor reserved, is read as a table, so its name
// must be one an engine takes as a table name.
#pragma once

#include <vector>

#include "verifier/rule_lists.h"
#include "verifier/sqlexpr.h"

namespace mirtova::verifier {

// Each bad name once, against the first statement (in source order) that
// refers to it; one statement's names in ascending byte order.
std::vector<SqlExprError> check_table_names(const RuleList& full);

}  // namespace mirtova::verifier
