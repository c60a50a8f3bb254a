// The undefined-name check.
#include "verifier/undefined.h"

#include "verifier/verify_error.h"

namespace mirtova::verifier {

std::string UndefinedError::text() const {
  if (is_function) return verifier::text(UndefinedFunction{suggestion, name});
  return "Undefined predicate '" + name + "': not defined and not a built-in" +
         (suggestion ? did_you_mean(*suggestion) : std::string());
}

std::vector<UndefinedError> check_undefined(const RuleList&) { return {}; }

}  // namespace mirtova::verifier
