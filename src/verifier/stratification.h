// The stratification check: no predicate may depend on itself through a negation.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct StratificationError {
  std::vector<std::string> cycle;  // the members of one negative cycle

  std::string text() const;
};

// At most one error, whatever the number of negative cycles.
std::optional<StratificationError> check_stratification(const RuleList& plain);

}  // namespace mirtova::verifier
