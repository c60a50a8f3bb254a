// The bounds that more than one layer keeps to: what one call may return, and
// how deep a program's text may nest.
#pragma once

#include <cstddef>

namespace mirtova {

// The largest script, or the largest set of findings, that one call returns;
// past it the caller is pointed to plan(), whose steps can be run one by one,
// or to checking a program a few rules at a time.
inline constexpr size_t kMaxScriptBytes = 64 * 1024 * 1024;

// Nesting levels of expressions and propositions that one parse may open.
// Every later stage walks the tree recursively too, so the bound keeps all of
// them within the stack of a Python thread.
inline constexpr size_t kMaxParseDepth = 250;

}  // namespace mirtova
