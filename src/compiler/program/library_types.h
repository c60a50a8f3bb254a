// The types of a program's rules and of its engine's library rules, the
// library typed once per engine and process.
#pragma once

#include <string_view>
#include <vector>

#include "common/compile_error.h"
#include "common/engines.h"
#include "common/result.h"
#include "compiler/type_inference/inference.h"
#include "parser/json.h"

namespace mirtova {

// What infer_program_types gives for `rules` followed by `library` (the
// engine's library rules, in their order). When no types-graph node can join
// the two, the library's outcome is the one typed on the first call for the
// engine and only `rules` are typed here; otherwise the whole list is.
// `host_tables` are the tables `rules` read. `named`, when given, holds every
// predicate name an object of `rules` gives (as a walk of them would find), in
// any order, so that they need not be walked again to find them.
Result<ProgramTypes, CompileError> program_and_library_types(
    const std::vector<const Json*>& rules, const std::vector<const Json*>& library, Engine engine,
    const HostTables& host_tables = {}, const std::vector<std::string_view>* named = nullptr);

}  // namespace mirtova
