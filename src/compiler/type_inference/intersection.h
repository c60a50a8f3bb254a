// The meet of two types and the conflict value that ends type inference.
#pragma once

#include <cstdint>
#include <string>

#include "common/result.h"
#include "compiler/type_inference/origins.h"
#include "compiler/type_inference/types.h"

namespace mirtova {

// Two types that do not meet, and the position numbers of the place that tried.
struct TypeInferenceError {
  Type first;
  Type second;
  int64_t start = 0;
  int64_t stop = 0;

  // "Type mismatch: cannot match {0} with {1} at ({2}, {3})"
  std::string to_string() const;
};

using TypeResult = Result<Type, TypeInferenceError>;

// The most specific type that satisfies both a and b, or the conflict. The pair
// is oriented by a rank of its own (any, bool, number, string, atomic, list,
// open record, closed record), so a conflict names the lower-ranked type first.
TypeResult intersect(Type a, Type b, int64_t start, int64_t stop);

// Field-wise meet of two records whose field names are already known to fit
// together. Fields of `second` are visited in name order; fields only `first`
// has are kept only when the result is open. The maps are taken by value so
// that nested records are met without copying them at every level.
TypeResult intersect_friendly_records(Type::Fields first, Type::Fields second, bool open, int64_t start,
                                      int64_t stop);

}  // namespace mirtova
