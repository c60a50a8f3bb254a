// Functor application: the entry that carries out every functor statement of a
// rule list and returns the list with the made predicates' rules.
#pragma once

#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/functors/generated_names.h"
#include "compiler/functors/make_instructions.h"
#include "parser/json.h"

namespace mirtova {

// The input rules in source order, then the copies in the order they were made,
// then the constant predicates; the rules of predicates proven empty are moved
// to "Nullified" heads in place. A list without functor statements comes back
// as it is.
Result<std::vector<Json>, CompileError> run_makes_with_deps(const std::vector<Json>& rules);
// The same, its made names kept apart from every name `names` holds (which
// should hold the rules' own) and taken there, with what each stands for.
// Taken by value: a caller done with its list moves it in, and the program's
// rules are then held once, not twice, while the functors are applied.
Result<std::vector<Json>, CompileError> run_makes_with_deps(std::vector<Json> rules, GeneratedNames& names);
// The same, the instructions read already (collect_make_instructions): a
// caller that reads its statements no more lets them go first, and the
// rules are then held without them while the functors are applied.
Result<std::vector<Json>, CompileError> run_make_instructions(std::vector<Json> rules,
                                                              std::vector<MakeInstruction> instructions,
                                                              GeneratedNames& names);

}  // namespace mirtova
