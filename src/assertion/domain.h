// domain_of: a predicate column whose values a variable can range over, found
// in a literal. The rule writer seeds a variable that no positive atom binds
// with such a column; a variable a sub-formula's rule shares with its
// enclosing rule is never seeded so, as a column read further in would not
// hold every value the enclosing rule gives it.
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
// then its right, and a NotExists body depth first; quantifier and sum bodies
// are searched unless they bind a variable of the same name. A column is
// found where a known predicate with k columns is applied to k - 1 arguments
// (standing for its last column's value) and one argument is exactly the
// variable.
std::optional<ColumnRef> domain_of(const Lit& lit, std::string_view var, const Schema& schema);

// The column of a predicate value in a comparison that reads the variable as
// one of its arguments, outside sums and quantifiers: written, that value
// binds the variable to the column's values.
std::optional<ColumnRef> comparison_binding(const Lit& lit, std::string_view var, const Schema& schema);

}  // namespace mirtova::assertion
