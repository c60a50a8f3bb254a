// Placeholder until this form is built: answers "nothing" so the other forms are tried.
#include "parser/forms.h"

namespace mirtova {

ParseResult<std::optional<GenericCall>> parse_generic_call(const SpanString&, char, char) { return std::optional<GenericCall>(); }

ParseResult<MaybeNode> parse_call(const SpanString&, bool) { return MaybeNode(); }

ParseResult<HeadCall> parse_head_call(const SpanString& head, bool) { return ParsingException("Found no call in rule head.", head); }

}  // namespace mirtova
