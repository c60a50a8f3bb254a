// Placeholder until this form is built: answers "nothing" so the other forms are tried.
#include "parser/forms.h"

namespace mirtova {

ParseResult<MaybeNode> parse_combine(const SpanString&) { return MaybeNode(); }

ParseResult<MaybeNode> parse_concise_combine(const SpanString&) { return MaybeNode(); }

ParseResult<MaybeNode> parse_ultra_concise_combine(const SpanString&) { return MaybeNode(); }

Json build_tree_for_combine(Json value, const SpanString&, const Json*, const SpanString&) { return value; }

}  // namespace mirtova
