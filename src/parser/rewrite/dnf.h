// Disjunctive normal form of rule bodies: one rule per alternative, each body a
// flat conjunction.
#pragma once

#include <cstddef>

#include "parser/json.h"
#include "parser/parsing_exception.h"

namespace mirtova {

// The most rules that one rule may expand into; beyond it the rule is refused
// rather than multiplied out until memory runs out.
inline constexpr size_t kMaxDnfRules = 10000;

// Takes the rule list read-only and returns the rewritten list. The only error
// is a rule whose body would expand into more than kMaxDnfRules rules.
ParseResult<Json> dnf_rewrite(const Json& rules);

}  // namespace mirtova
