// The rule safety check: variables and calls that cannot become SQL.
#pragma once

#include <string>
#include <vector>

#include "parser/json.h"
#include "verifier/rule_lists.h"
#include "verifier/shared_text.h"

namespace mirtova::verifier {

enum class SafetyKind {
  UnboundHeadVariable,
  UnboundComparedVariable,
  UnsafeNegation,
  UnsafeAggregation,
  FunctionAsCondition,
  DisjunctionInside,
  AggregateOutside,
  NotGivenValue,  // compile gives it no value: read only in expressions, or in a combine
};

struct SafetyError {
  SafetyKind kind = SafetyKind::UnboundHeadVariable;
  SharedText rule;   // the rule text, shared by the findings of the rule
  std::string name;  // the variable, function or aggregate; empty for DisjunctionInside

  std::string text() const;
};

// The findings of the rules, in four blocks: each rule's variable findings,
// rule after rule; functions used as conditions; disjunctions inside
// negations or combines; aggregates called outside an aggregation.
std::vector<SafetyError> check_safety(const RuleList& plain);

// The variable findings of one rule: unbound head variables, tested variables
// that nothing binds, unsafe negations and aggregations, each kind in byte
// order of the names (none for a rule without a body); then the variables of
// its combines that nothing binds, combine after combine.
std::vector<SafetyError> check_rule_safety(const Json& rule);

// Whether a combine under `node` (a negation's included) holds a disjunction
// among the conjuncts of its body.
bool has_disjunction_in_combine(const Json& node);

}  // namespace mirtova::verifier
