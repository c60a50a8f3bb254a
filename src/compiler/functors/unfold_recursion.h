// unfold_recursion: the entry of recursion unfolding, reading the @Recursive
// statements before handing the rules to the unfolding.
#pragma once

#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/functors/functors.h"
#include "compiler/functors/generated_names.h"
#include "parser/json.h"

namespace mirtova {

// The depth options of the @Recursive statements, a later statement of a
// predicate replacing an earlier one; a statement whose first argument is not
// a predicate is passed over, an unreadable depth is 8.
RecursionArgs recursion_options(const std::vector<Json>& rules);

// The rule list with every recursion unfolded, or the unfolding's failure.
// `iterative`: every recursion takes its iterative form whatever its depth, as
// the engine runs loops itself (the program asks its dialect).
Result<std::vector<Json>, CompileError> unfold_recursion(const std::vector<Json>& rules, bool iterative);
// The same, its made names kept apart from every name `names` holds (which
// should hold the rules' own) and taken there, with what each stands for. A
// recursion whose levels would pass the engine's bound on a statement's table
// references, `most_table_references`, gets the iterative form (see
// choose_unfoldings). Taken by value, as run_makes_with_deps takes its list.
Result<std::vector<Json>, CompileError> unfold_recursion(std::vector<Json> rules, bool iterative,
                                                         GeneratedNames& names,
                                                         uint64_t most_table_references = UINT64_MAX);

}  // namespace mirtova
