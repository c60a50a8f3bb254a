// Line indentation.
#include "common/indent.h"

namespace mirtova {

void append_indented(std::string& out, std::string_view text, int spaces) {
  // Whole lines at a time: the text of a large program runs to megabytes.
  size_t lines = 1;
  for (char c : text) lines += c == '\n';
  out.reserve(out.size() + text.size() + lines * static_cast<size_t>(spaces));
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    // An empty line stays empty.
    if (end > start) out.append(static_cast<size_t>(spaces), ' ');
    out.append(text.data() + start, end - start);
    if (end == text.size()) break;
    out += '\n';
    start = end + 1;
  }
}

std::string indent(std::string_view text, int spaces) {
  std::string out;
  append_indented(out, text, spaces);
  return out;
}

}  // namespace mirtova
