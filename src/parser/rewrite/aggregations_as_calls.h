// Turns every aggregation of a rule list into its call form: the operator
// becomes a called predicate with the argument as its one field.
#pragma once

#include <string>
#include <string_view>

#include "parser/json.h"

namespace mirtova {

// The predicate an aggregating operator is called as.
std::string aggregation_call_name(std::string_view op);

// Takes the rule list read-only and returns a rewritten copy.
Json rewrite_aggregations_as_expressions(Json rules);

}  // namespace mirtova
