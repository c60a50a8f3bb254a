#include "parser/nesting.h"

#include "parser/depth_guard.h"
#include "parser/traverse.h"

namespace mirtova {

namespace {

// The bytes at which a traversal opens a level: every level opens at a byte of
// its own (a triple quote at its first), so a text holds at least as many of
// them as its deepest depth.
constexpr ByteSet kOpeners = [] {
  ByteSet set{};
  for (unsigned char c : std::string_view("#/\"'`([{\\")) set[c] = true;
  return set;
}();

}  // namespace

ParseResult<Unit> check_nesting(const SpanString& text) {
  const size_t limit = DepthGuard::limit();
  // Most texts have fewer such bytes than the limit: counted, not traversed.
  size_t openers = 0;
  for (char c : text.view()) openers += kOpeners[static_cast<unsigned char>(c)] ? 1 : 0;
  if (openers <= limit) return Unit{};
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
