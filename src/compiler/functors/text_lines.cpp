// Filling positional templates and joining lines of generated program text.
#include "compiler/functors/text_lines.h"

namespace mirtova {

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(pattern.size() + 32);
  size_t i = 0;
  while (i < pattern.size()) {
    if (pattern[i] == '{') {
      size_t close = pattern.find('}', i);
      if (close != std::string_view::npos && close > i + 1) {
        size_t index = 0;
        bool digits = true;
        for (size_t k = i + 1; k < close; ++k) {
          if (pattern[k] < '0' || pattern[k] > '9') {
            digits = false;
            break;
          }
          index = index * 10 + size_t(pattern[k] - '0');
        }
        if (digits && index < values.size()) {
          out += values.begin()[index];
          i = close + 1;
          continue;
        }
      }
    }
    out += pattern[i++];
  }
  return out;
}

std::string join_lines(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += '\n';
    out += lines[i];
  }
  return out;
}

}  // namespace mirtova
