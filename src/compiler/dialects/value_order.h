// Lists of records or of lists ordered as the language orders values, for
// engines whose own order of such values differs or fails on a null inside.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "compiler/dialects/dialect.h"

namespace mirtova {

// How an engine spells what the comparison needs.
struct ValueOrderSpelling {
  // The element of an array at a 1-based place, null past its end.
  std::string_view element_at;
  // Whether a field is read by its place among the fields sorted by name
  // (rows whose fields some engines leave unnamed) rather than by its name.
  bool fields_by_position;
  // Whether duplicates are dropped by the order itself, where the engine's
  // array_distinct fails on an element holding a null.
  bool distinct_by_order;
};

// A sort of the list ("{0}"), its duplicates dropped first when `unique`,
// whose elements of type `element` order element by element and field by
// field in name order, a shorter list before a longer one it begins, and a
// null after every value at each level. None where the type is not known
// whole (an open record) or nests past what the comparison is written for.
std::optional<std::string> sorted_by_value(const Dialect& dialect, const Type& element, bool unique,
                                           const ValueOrderSpelling& spelling);

}  // namespace mirtova
