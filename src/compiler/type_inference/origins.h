// The sources (host table columns) of values of undetermined type, as types carry them.
#pragma once

#include <cstddef>
#include <memory>

#include "compiler/type_inference/types.h"

namespace mirtova {

// The most columns a met source names; past it, a value is of several sources.
inline constexpr size_t kMostSourceColumns = 64;

// The source of a value met from values of sources `a` and `b` (either may be
// null, for no known source): the one source they agree on, a value of no
// known source taking the other's, both sources' columns, or a `several`
// origin where either is one or where they name more than kMostSourceColumns.
std::shared_ptr<const ColumnOrigin> met_origin(const std::shared_ptr<const ColumnOrigin>& a,
                                               const std::shared_ptr<const ColumnOrigin>& b);

// Whether two types name the same sources for their values of undetermined
// type, wherever both have such a value at one place.
bool same_origins(const Type& a, const Type& b);

// Wherever `into` and `from` both hold a value of undetermined type at one
// place and `from` knows its source: `into` takes the met source (merge) or
// `from`'s own (adopt). Whether `into` changed.
bool merge_origins(Type& into, const Type& from);
bool adopt_origins(Type& into, const Type& from);

}  // namespace mirtova
