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
  ArgumentNotGiven,
  RestFieldNotARow
};

struct ArityError {
  ArityKind kind = ArityKind::InconsistentArity;
  std::string predicate;
  // DuplicateColumn, UnknownColumn, NoNumberedColumn, ArgumentNotGiven; DifferentColumns: the first rule's,
  // joined; RestFieldNotARow: the rest field's variable
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

// Rest fields ("..r") that pass on no whole row of one call: one after other
// fields of its call, one whose variable an earlier call (or one of the rule
// around a combine) already took a row into, and one in a head whose variable
// the body binds otherwise.
std::vector<ArityError> check_rest_fields(const RuleList& plain);

}  // namespace mirtova::verifier
