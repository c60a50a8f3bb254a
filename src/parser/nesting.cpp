#include "parser/nesting.h"

#include <vector>

#include "parser/depth_guard.h"
#include "parser/traverse.h"

namespace mirtova {

bool nests_beyond_parse_depth(const SpanString& text) {
  const std::string_view v = text.view();
  std::vector<bool> counted;  // per open bracket: whether it adds a level
  size_t levels = 0;
  size_t depth = 0;
  char previous = '\0';  // the last non-blank byte returned
  Traverser t(text);
  for (TraverseStep s = t.next(); s.status != TraverseStatus::End; s = t.next()) {
    // A malformed text is reported by the parse itself.
    if (s.status != TraverseStatus::Ok) return false;
    const char c = v[s.position];
    if (s.depth > depth && (c == '(' || c == '[' || c == '{')) {
      const bool adds_level = !(c == '(' && previous == '(');
      counted.push_back(adds_level);
      if (adds_level && ++levels > kMaxParseDepth + 2) return true;
    } else if (s.depth < depth && (c == ')' || c == ']' || c == '}') && !counted.empty()) {
      if (counted.back()) --levels;
      counted.pop_back();
    }
    depth = s.depth;
    if (!is_blank(c)) previous = c;
  }
  return false;
}

}  // namespace mirtova
