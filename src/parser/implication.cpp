// Placeholder until this form is built: answers "nothing" so the other forms are tried.
#include "parser/forms.h"

namespace mirtova {

ParseResult<MaybeNode> parse_implication(const SpanString&) { return MaybeNode(); }

}  // namespace mirtova
