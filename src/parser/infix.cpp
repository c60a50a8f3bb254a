// Placeholder until this form is built: answers "nothing" so the other forms are tried.
#include "parser/forms.h"

namespace mirtova {

ParseResult<MaybeNode> parse_infix(const SpanString&, const std::vector<std::string_view>*, const std::set<std::string_view>*) { return MaybeNode(); }

}  // namespace mirtova
