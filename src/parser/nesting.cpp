#include "parser/nesting.h"

#include "parser/depth_guard.h"
#include "parser/traverse.h"

namespace mirtova {

ParseResult<Unit> check_nesting(const SpanString& text) {
  const size_t limit = DepthGuard::limit();
  Traverser t(text);
  // A plain byte stands at the depth of the step before it, already checked.
  while (true) {
    t.skip_plain();
    const TraverseStep s = t.next();
    if (s.status == TraverseStatus::End) break;
    if (s.depth > limit) return ParsingException(kTooDeepMessage, text.slice(s.position, s.position + 1));
  }
  return Unit{};
}

}  // namespace mirtova
