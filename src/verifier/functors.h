// The functor check: the names in @Make statements exist, and applying the
// functors to a copy of the program succeeds.
#pragma once

#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct FunctorError {
  std::string message;  // finished

  std::string text() const;
};

std::vector<FunctorError> check_functors(const RuleList& full);

}  // namespace mirtova::verifier
