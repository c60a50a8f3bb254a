// The recursion checks: recursions without a base case, trivial infinite loops,
// and recursive predicates that no @Recursive annotation names.
#pragma once

#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

enum class RecursionKind { NoBaseCase, TrivialInfiniteLoop, MissingRecursiveAnnotation };

struct RecursionError {
  RecursionKind kind = RecursionKind::NoBaseCase;
  std::string predicate;

  std::string text() const;
};

// No base case, trivial infinite loops.
std::vector<RecursionError> check_recursion(const RuleList& plain);
// Recursive predicates without @Recursive.
std::vector<RecursionError> check_unbounded_recursion(const RuleList& full, const RuleList& plain);

}  // namespace mirtova::verifier
