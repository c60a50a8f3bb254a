// One functor call: the made predicate as a copy of the functor, with every
// predicate between the functor and a replaced argument copied under a new name.
#pragma once

#include <string>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/functors/functor_arguments.h"
#include "compiler/functors/functors.h"

namespace mirtova {

// The argument names as the functor knows them: a name the functor does not
// depend on is taken for the dependency E = P + name when P ends in "_" and the
// functor's name begins with P (the prefixed copies that recursion unfolding
// writes). Of several such dependencies the first in byte order is taken.
ArgumentMap resolve_functor_args(const std::string& functor, const ArgumentMap& arguments,
                                 const NameSet& dependencies);

// "P(X: B, Z: D)": P with the substitutes of the arguments in `dependencies`, by name.
std::string key_of(const std::string& predicate, const NameSet& dependencies, const ArgumentMap& resolved);

// Appends the rules of `made` (and of the copies it needs) to the index's rules
// and re-indexes them. Refuses an argument the functor does not depend on, and
// an annotation that names no predicate where a predicate belongs.
Result<Unit, CompileError> call_functor(Functors& index, const std::string& made, const std::string& functor,
                                        const ArgumentMap& arguments);

// Renames every "predicate_name" through `renames` in one pass, so a new name
// that is also an old one is not renamed twice.
void rename_predicates(Json& tree, const ArgumentMap& renames);

}  // namespace mirtova
