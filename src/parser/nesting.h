// A bound on bracket nesting, checked once on the outermost text of a parse.
#pragma once

#include "parser/span.h"

namespace mirtova {

// True when `text` nests brackets so deeply that parsing it must pass the
// depth bound. The content of every bracket is parsed at least one level
// deeper than the text around it, except that parentheses directly inside
// parentheses may be stripped together, so those count once. Refusing such a
// text up front spares the descent, which rescans the text at every level.
bool nests_beyond_parse_depth(const SpanString& text);

}  // namespace mirtova
