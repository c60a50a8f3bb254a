// Placeholders until the rewrite passes are built: each returns its input.
#include "parser/rewrite.h"

namespace mirtova {

ParseResult<Json> dnf_rewrite(const Json& rules) { return rules; }
ParseResult<Json> multi_body_aggregation_rewrite(const Json& rules) { return rules; }
Json rewrite_aggregations_as_expressions(const Json& rules) { return rules; }

}  // namespace mirtova
