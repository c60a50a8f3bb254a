// Line indentation.
#include "compiler/universe_indent.h"

namespace mirtova {

std::string indent(std::string_view text, int spaces) {
  std::string out;
  bool line_start = true;
  for (char c : text) {
    if (line_start && c != '\n') out.append(static_cast<size_t>(spaces), ' ');
    out += c;
    line_start = c == '\n';
  }
  return out;
}

}  // namespace mirtova
