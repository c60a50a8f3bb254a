// The arity check: heads and calls of one predicate agree on its fields.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

enum class ArityKind { InconsistentArity, ArityMismatch, DuplicateColumn, UnknownColumn };

struct ArityError {
  ArityKind kind = ArityKind::InconsistentArity;
  std::string predicate;
  std::string column;   // DuplicateColumn, UnknownColumn
  size_t expected = 0;  // InconsistentArity: the first arity; ArityMismatch: the expected count
  size_t got = 0;       // InconsistentArity: the other arity; ArityMismatch: the count given

  std::string text() const;
};

std::vector<ArityError> check_arity(const RuleList& plain);

}  // namespace mirtova::verifier
