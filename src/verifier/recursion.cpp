// The recursion checks and the texts of their findings.
#include "verifier/recursion.h"

namespace mirtova::verifier {

std::string RecursionError::text() const {
  switch (kind) {
    case RecursionKind::NoBaseCase:
      return "Recursive predicate '" + predicate + "' has no base case";
    case RecursionKind::TrivialInfiniteLoop:
      return "Trivial infinite loop: '" + predicate + "' calls itself with same arguments";
    case RecursionKind::MissingRecursiveAnnotation:
      return "Recursive predicate '" + predicate + "' missing @Recursive annotation";
  }
  return predicate;
}

std::vector<RecursionError> check_recursion(const RuleList&) { return {}; }

std::vector<RecursionError> check_unbounded_recursion(const RuleList&, const RuleList&) { return {}; }

}  // namespace mirtova::verifier
