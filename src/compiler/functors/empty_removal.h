// Removal of predicates proven empty: a predicate all of whose rules call "nil"
// or another empty predicate can hold no row, so it leaves the program.
#pragma once

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/functors/functors.h"

namespace mirtova {

// The predicates that can hold no row, "nil" included. A call inside a combine,
// or a predicate passed as a value, does not empty the rule that holds it.
NameSet predicates_proven_empty(const std::vector<Json>& rules);

// Moves the rules of each empty predicate P to the head "Nullified" + P, makes
// every other non-annotation rule call "nil" instead of P, and re-indexes. An
// empty predicate whose name has no "_" (one the user wrote, not a copy) is
// refused: its recursion lacks a base case or steps.
Result<Unit, CompileError> remove_rules_proven_to_be_nil(Functors& index);

// The same on the rules alone, leaving any index of them behind. The
// "Nullified" names are kept apart from the names in `names` when given.
Result<Unit, CompileError> nullify_rules_proven_to_be_nil(std::vector<Json>& rules,
                                                          GeneratedNames* names = nullptr);

}  // namespace mirtova
