// The contradiction check.
#include "verifier/contradiction.h"

namespace mirtova::verifier {

std::vector<std::string> check_contradictions(const RuleList&) { return {}; }

}  // namespace mirtova::verifier
