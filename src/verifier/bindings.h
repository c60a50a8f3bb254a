// The variables of a rule that compile can give a value, found the way the
// rule translation binds them, so that check refuses what compile refuses.
#pragma once

#include "parser/json.h"
#include "verifier/vars.h"

namespace mirtova::verifier {

// The variables of the rule's own body (combines left out) that the body names
// where a value could come from, and yet no binding reaches: one read only in
// an expression (an argument `x + 1`, a record `{a: x}`, a side `x + 1 == v`)
// is compared, never given; so is a record read only through a field (`r.a`),
// wherever the rule reads it. A body with a disjunction at its top is not read.
// `outer`: the values a combine reads from the rules around it.
VarSet never_given_values(const Json& rule, const VarSet& outer = {});

}  // namespace mirtova::verifier
