// The order of a plan's steps once some were written out of turn: each after
// every step it reads, the written order kept wherever it allows.
#pragma once

#include <cstddef>
#include <vector>

#include "common/result.h"

namespace mirtova {

// Steps come in units (a table's statement; a loop's statements), which read
// one another's tables: step i belongs to unit_of_step[i], and every step of
// the units in needs[u] must come before any of unit u's. The result is a
// permutation of the step indices: always the smallest step whose needs are
// met next, so the written order when it already meets them all. When the
// needs go round in a circle, no order does: the error is a unit on it.
Result<std::vector<size_t>, size_t> order_steps(const std::vector<size_t>& unit_of_step,
                                                const std::vector<std::vector<size_t>>& needs);

}  // namespace mirtova
