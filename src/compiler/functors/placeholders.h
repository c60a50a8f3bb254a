// Pass-through stand-in for functor application, until that pass is built.
#pragma once

#include <string_view>
#include <vector>

#include "common/result.h"
#include "compiler/compile_error.h"
#include "parser/json.h"

namespace mirtova {

// Placeholder: returns the rules unchanged.
Result<std::vector<Json>, CompileError> run_makes_with_deps_passthrough(std::vector<Json> rules);

}  // namespace mirtova
