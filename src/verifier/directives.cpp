// The directive checks.
#include "verifier/directives.h"

#include "verifier/verify_error.h"

namespace mirtova::verifier {

std::string DirectiveError::text() const { return verifier::text(DirectiveMessage{message}); }

std::vector<DirectiveError> check_directives(const RuleList&) { return {}; }

}  // namespace mirtova::verifier
