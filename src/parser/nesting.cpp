#include "parser/nesting.h"

#include "parser/depth_guard.h"
#include "parser/traverse.h"

namespace mirtova {

ParseResult<Unit> check_nesting(const SpanString& text) {
  Traverser t(text);
  for (TraverseStep s = t.next(); s.status != TraverseStatus::End; s = t.next())
    if (s.depth > kMaxParseDepth) return ParsingException(kTooDeepMessage, text.slice(s.position, s.position + 1));
  return Unit{};
}

}  // namespace mirtova
