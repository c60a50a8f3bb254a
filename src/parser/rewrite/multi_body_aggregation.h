// Leaves every distinct-denoted predicate with one rule: a predicate defined by
// several such rules becomes an auxiliary predicate holding their rows and one
// rule that aggregates over it.
#pragma once

#include "parser/json.h"
#include "parser/parsing_exception.h"

namespace mirtova {

// Takes the rule list read-only; the error is the first rule whose distinct
// mark or head signature disagrees with its predicate's first rule.
ParseResult<Json> multi_body_aggregation_rewrite(Json rules);

// A copy of a head's field values with "expression_heritage" taken off every
// aggregation, so that signatures compare by shape only.
Json strip_aggregation_heritage(const Json& field_values);

}  // namespace mirtova
