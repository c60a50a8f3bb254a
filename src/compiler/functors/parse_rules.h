// parse_rules: the road back from program text that the compiler wrote.
#pragma once

#include <string>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "parser/json.h"

namespace mirtova {

// The statements of a generated program text, in text order, or
// "Failed to parse generated program: {0}" with the parser's excerpt.
Result<std::vector<Json>, CompileError> parse_rules(const std::string& text);

}  // namespace mirtova
