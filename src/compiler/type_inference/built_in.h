// What is known about the columns of built-in functions and operators before any inference.
#pragma once

#include <optional>
#include <string_view>

#include "compiler/type_inference/types.h"

namespace mirtova {

// The type a column of a built-in starts with ("+" left → number, "Length"
// value → number, ...), or none. Names compare exactly; user predicates and
// every column not listed yield none.
std::optional<Type> built_in_restrictions(std::string_view predicate, std::string_view column);

}  // namespace mirtova
