// The rule safety check: variables and calls that cannot become SQL.
#pragma once

#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

enum class SafetyKind {
  UnboundHeadVariable,
  UnboundComparedVariable,
  UnsafeNegation,
  UnsafeAggregation,
  FunctionAsCondition,
  DisjunctionInside,
  AggregateOutside,
};

struct SafetyError {
  SafetyKind kind = SafetyKind::UnboundHeadVariable;
  std::string rule;  // the rule text
  std::string name;  // the variable, function or aggregate; empty for DisjunctionInside

  std::string text() const;
};

std::vector<SafetyError> check_safety(const RuleList& plain);

}  // namespace mirtova::verifier
