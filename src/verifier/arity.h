// The arity check: heads and calls of one predicate agree on its fields.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

enum class ArityKind {
  InconsistentArity,
  ArityMismatch,
  DuplicateColumn,
  UnknownColumn,
  DifferentColumns,
  NoNumberedColumn,
  ArgumentNotGiven
};

struct ArityError {
  ArityKind kind = ArityKind::InconsistentArity;
  std::string predicate;
  // DuplicateColumn, UnknownColumn, NoNumberedColumn, ArgumentNotGiven; DifferentColumns: the first rule's,
  // joined
  std::string column;
  size_t expected = 0;  // InconsistentArity: the first arity; ArityMismatch: the expected count
  size_t got = 0;       // InconsistentArity: the other arity; ArityMismatch: the count given
  std::string other;    // DifferentColumns: the other rule's columns, joined

  std::string text() const;
};

// `full` gives the @Make statements: a predicate a functor makes has the
// columns of the functor's predicate.
std::vector<ArityError> check_arity(const RuleList& plain, const RuleList& full = {});

// Rules of one predicate with as many fields as its first rule but other
// columns, which the compiler cannot put under one another.
std::vector<ArityError> check_head_columns(const RuleList& plain);

}  // namespace mirtova::verifier
