// The one way every body, conjunction, disjunction and negation turns its
// pieces into propositions.
#pragma once

#include <vector>

#include "parser/json.h"
#include "parser/parsing_exception.h"
#include "parser/span.h"

namespace mirtova {

// Parses each piece as a proposition, in order; the first failure is the result.
ParseResult<Json> parse_proposition_list(const std::vector<SpanString>& pieces);

// The pieces of `text` at its top-level commas, as {"conjunct": [...]}.
ParseResult<Json> parse_conjunct_object(const SpanString& text);

}  // namespace mirtova
