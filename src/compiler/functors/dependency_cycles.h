// Whether any predicate of a rule list depends on itself, found in linear time
// so that programs without recursion skip the recursion analysis.
#pragma once

#include <vector>

#include "parser/json.h"

namespace mirtova {

// True when some predicate heading a rule reaches itself through the names
// that the bodies and head records of the rules mention.
bool has_dependency_cycle(const std::vector<Json>& rules);

}  // namespace mirtova
