// The engines' library programs as parsed rules, parsed once per thread and engine and then shared.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "common/compile_error.h"
#include "common/engines.h"
#include "common/result.h"
#include "compiler/dialects/dialect.h"
#include "parser/json.h"

namespace mirtova {

// The rules of one library program, in text order. Shared and never changed:
// a program that appends them to its own rules copies them.
using LibraryRules = std::shared_ptr<const std::vector<Json>>;

// The parsed rules of the dialect's library program, from this thread's cache
// (kept per engine) or parsed and cached on the first request.
Result<LibraryRules, CompileError> library_rules(const Dialect& dialect);

// The same by engine.
Result<LibraryRules, CompileError> library_rules(Engine engine);

// Parses a library text, bypassing the cache: the "rule" array of the program,
// or "Failed to parse the library program of {0}: {1}" ({0} the engine's name,
// {1} the parse error's display text) with an empty rule text.
Result<LibraryRules, CompileError> parse_library_program(Engine engine, std::string_view text);

}  // namespace mirtova
