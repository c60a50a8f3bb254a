// The positional-argument check.
#include "verifier/positional.h"

namespace mirtova::verifier {

std::string PositionalError::text() const {
  return "Positional arguments in '" + name +
         "': Mirtova requires named arguments \u2014 use `field_name: value` instead of positional arguments";
}

std::vector<PositionalError> check_positional(const RuleList&) { return {}; }

}  // namespace mirtova::verifier
