// The verifier's one entry: every check over a parsed program, in a fixed order.
#pragma once

#include "parser/json.h"
#include "verifier/check_result.h"

namespace mirtova::verifier {

// Reads the program tree in place and changes nothing; every finding is an
// entry of the result. No check is skipped for what an earlier one found.
CheckResult validate(const Json& program);

}  // namespace mirtova::verifier
