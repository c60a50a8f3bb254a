// The verifier's step over the @Assert statements: a report per assertion and
// the errors of those that are malformed, invalid or stated twice.
#pragma once

#include <vector>

#include "assertion/assertion_report.h"
#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct AssertionFindings {
  std::vector<assertion::AssertionReport> reports;  // in source order
  std::vector<assertion::AssertionError> errors;
};

AssertionFindings check_assertions(const RuleList& full);

}  // namespace mirtova::verifier
