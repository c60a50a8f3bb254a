// The contradiction check: rules whose conditions can never all hold, as warnings.
#pragma once

#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

// Warning texts, in rule order.
std::vector<std::string> check_contradictions(const RuleList& plain);

}  // namespace mirtova::verifier
