// Placeholder until this form is built: answers "nothing" so the other forms are tried.
#include "parser/forms.h"

namespace mirtova {

ParseResult<MaybeNode> parse_variable(const SpanString&) { return MaybeNode(); }

ParseResult<MaybeNode> parse_subscript(const SpanString&) { return MaybeNode(); }

ParseResult<MaybeNode> parse_array_sub(const SpanString&) { return MaybeNode(); }

}  // namespace mirtova
