// The positional-argument check: predicates are defined and called with named fields.
#pragma once

#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct PositionalError {
  std::string name;  // the predicate written with numbered fields

  std::string text() const;
};

std::vector<PositionalError> check_positional(const RuleList& plain);

}  // namespace mirtova::verifier
