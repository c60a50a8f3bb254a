// unfold_recursion: the entry of recursion unfolding, reading the @Recursive
// statements and the engine before handing the rules to the unfolding.
#pragma once

#include <string_view>
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

// Engines that run loops themselves get the iterative forms whatever the depth.
bool is_iterative_engine(std::string_view engine);

// The rule list with every recursion unfolded, or the unfolding's failure.
Result<std::vector<Json>, CompileError> unfold_recursion(const std::vector<Json>& rules,
                                                         std::string_view engine);
// The same, its made names kept apart from every name `names` holds (which
// should hold the rules' own) and taken there, with what each stands for. A
// recursion whose levels, written out as one statement, would reference a
// table more often than a quarter of `most_table_references` (the engine's
// bound; the rest is left for the statements that read the recursion) gets the
// iterative form.
Result<std::vector<Json>, CompileError> unfold_recursion(const std::vector<Json>& rules,
                                                         std::string_view engine, GeneratedNames& names,
                                                         uint64_t most_table_references = UINT64_MAX);

}  // namespace mirtova
