// Make ordering: carrying out a list of make instructions, each once the
// predicates it copies and substitutes are made.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/functors/functor_arguments.h"
#include "compiler/functors/functors.h"
#include "compiler/functors/make_instructions.h"

namespace mirtova {

// Whether nothing that the make waits for is still pending: its functor, what
// the functor depends on, and its substitutes. A make whose own name is no
// longer pending was carried out, or another make of the name was.
bool make_is_ready(const Functors& index, const PreparedMake& make, const NameSet& pending);

// How many names a list in an unresolved order's diagnostics shows, and how
// many "[STUCK]" lines it writes at most.
inline constexpr size_t kListedPendingMakes = 20;

// The "[STUCK] ..." line (with its line break) of a make that cannot be ordered.
std::string stuck_line(const Functors& index, const PreparedMake& make, const NameSet& pending);

// What make_all leaves of the index besides its rules.
enum class IndexAfterMakes {
  Indexed,    // the rules indexed again after the removal of empty predicates, every set computed
  RulesOnly,  // for a caller that reads the rules alone: the rules, names and constants kept
};

// Carries out the instructions (sorted by made name) in passes over the list,
// then removes the predicates proven empty and appends the constant
// predicates. When a whole pass carries nothing out, writes a "[STUCK]" line
// per pending make (the first kListedPendingMakes) to standard error and fails
// with "Could not resolve Make order for: {0}".
// The instructions are let go once read: a long chain's are many.
Result<Unit, CompileError> make_all(Functors& index, std::vector<MakeInstruction> instructions,
                                    IndexAfterMakes after = IndexAfterMakes::Indexed);

}  // namespace mirtova
