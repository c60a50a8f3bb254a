// The reserved-name check.
#include "verifier/reserved.h"

#include "verifier/verify_error.h"

namespace mirtova::verifier {

std::string ReservedError::text() const { return verifier::text(ReservedPredicateName{name, is_function}); }

std::vector<ReservedError> check_reserved(const RuleList&) { return {}; }

}  // namespace mirtova::verifier
