// The rule safety check and the texts of its findings.
#include "verifier/safety.h"

#include "verifier/verify_error.h"

namespace mirtova::verifier {

std::string SafetyError::text() const {
  switch (kind) {
    case SafetyKind::UnboundHeadVariable:
      return "Unbound variable '" + name + "' in head of rule: " + rule;
    case SafetyKind::UnboundComparedVariable:
      return "Unbound variable '" + name +
             "': it is tested (compared, negated, matched) but never given a value in: " + rule;
    case SafetyKind::UnsafeNegation:
      return "Unsafe negation: variable '" + name + "' only appears negated in: " + rule;
    case SafetyKind::UnsafeAggregation:
      return "Unsafe aggregation: variable '" + name + "' not bound outside aggregate in: " + rule;
    case SafetyKind::FunctionAsCondition:
      return "'" + name + "' is a function: as a condition, " + name +
             "(...) holds whatever its value; compare " + "its value (" + name + "(...) == true) in: " + rule;
    case SafetyKind::DisjunctionInside:
      return verifier::text(DisjunctionNotSupported{rule});
    case SafetyKind::AggregateOutside:
      if (name == "ArgMaxK" || name == "ArgMinK")
        return name +
               " is an aggregate that takes how many values to keep: name it with the count, `Top2(x) = " +
               name +
               "(x, 2);`, and aggregate with it in a head with distinct, `best? Top2= item -> score`, in: " +
               rule;
      return "'" + name + "' is an aggregate: aggregate in a head with distinct (`n? " + name +
             "= x`) or in a combine (`(combine " + name + "= x :- ...)`), in: " + rule;
  }
  return rule;
}

std::vector<SafetyError> check_safety(const RuleList&) { return {}; }

}  // namespace mirtova::verifier
