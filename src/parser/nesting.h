// A one-pass refusal of text nested deeper than the parser may recurse, so that
// such text is refused in linear time instead of level by level.
#pragma once

#include "common/result.h"
#include "parser/parsing_exception.h"
#include "parser/span.h"

namespace mirtova {

// "Program is nested too deeply." at the first bracket, string or name opened
// past the bound.
ParseResult<Unit> check_nesting(const SpanString& text);

}  // namespace mirtova
