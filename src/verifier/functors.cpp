// The functor check.
#include "verifier/functors.h"

#include "verifier/verify_error.h"

namespace mirtova::verifier {

std::string FunctorError::text() const { return verifier::text(FunctorMessage{message}); }

std::vector<FunctorError> check_functors(const RuleList&) { return {}; }

}  // namespace mirtova::verifier
