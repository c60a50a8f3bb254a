// domain_of: a predicate column whose values a variable can range over, found
// in a literal. The rule writer seeds a variable that no positive atom binds
// with such a column, so the column must hold every value for which the
// literal holds: only a row the literal itself reads qualifies.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "assertion/normal_form.h"
#include "assertion/schema.h"

namespace mirtova::assertion {

struct ColumnRef {
  std::string predicate, column;

  friend bool operator==(const ColumnRef&, const ColumnRef&) = default;
};

// The first column found, searching an atom's arguments in order (not the
// atom's own positions, which bind directly), a comparison's left side and
// then its right; never inside a sum or a NotExists body. A column is found
// where a known predicate with k columns is applied to k - 1 arguments
// (standing for its last column's value) and one argument is exactly the
// variable.
std::optional<ColumnRef> domain_of(const Lit& lit, std::string_view var, const Schema& schema);

}  // namespace mirtova::assertion
