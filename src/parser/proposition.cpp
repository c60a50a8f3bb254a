// Placeholder until this form is built: answers "nothing" so the other forms are tried.
#include "parser/forms.h"

namespace mirtova {

ParseResult<Json> parse_proposition(const SpanString& text) { return ParsingException("Could not parse proposition.", text); }

ParseResult<MaybeNode> parse_unification(const SpanString&) { return MaybeNode(); }

ParseResult<MaybeNode> parse_inclusion(const SpanString&) { return MaybeNode(); }

}  // namespace mirtova
