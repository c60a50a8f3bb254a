// The three rewrite passes that run over every parsed file's rule list, in this
// order: disjunctive normal form, multi-body aggregation, aggregations as calls.
#pragma once

#include "parser/json.h"
#include "parser/parsing_exception.h"

namespace mirtova {

// Every body becomes a conjunction; a disjunctive body one rule per alternative.
ParseResult<Json> dnf_rewrite(const Json& rules);
ParseResult<Json> multi_body_aggregation_rewrite(const Json& rules);
Json rewrite_aggregations_as_expressions(const Json& rules);

}  // namespace mirtova
