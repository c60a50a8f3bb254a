// Placeholder until this form is built: answers "nothing" so the other forms are tried.
#include "parser/forms.h"

namespace mirtova {

Json negation_tree(const SpanString&, const Json& body) { return body; }

ParseResult<MaybeNode> parse_negation(const SpanString&) { return MaybeNode(); }

ParseResult<MaybeNode> parse_negation_expression(const SpanString&) { return MaybeNode(); }

ParseResult<MaybeNode> parse_propositional_implication(const SpanString&) { return MaybeNode(); }

}  // namespace mirtova
