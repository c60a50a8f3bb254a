// Line indentation.
#include "common/indent.h"

namespace mirtova {

namespace {

// The quote that is open at the end of `line`, given the one open at its start
// (0 for none). A doubled quote closes and opens again; a backslash keeps the
// next character inside, as the engines that escape with one read it.
char open_quote_after(std::string_view line, char open) {
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (open == 0) {
      if (c == '\'' || c == '"' || c == '`') open = c;
    } else if (c == '\\') {
      ++i;
    } else if (c == open) {
      open = 0;
    }
  }
  return open;
}

}  // namespace

void append_indented(std::string& out, std::string_view text, int spaces) {
  // Whole lines at a time: the text of a large program runs to megabytes.
  size_t lines = 1;
  for (char c : text) lines += c == '\n';
  out.reserve(out.size() + text.size() + lines * static_cast<size_t>(spaces));
  size_t start = 0;
  // A line that starts inside a quoted text continues that text: spaces put
  // before it would become part of the value.
  char open = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    // An empty line stays empty.
    if (end > start && open == 0) out.append(static_cast<size_t>(spaces), ' ');
    std::string_view line = text.substr(start, end - start);
    out.append(line);
    open = open_quote_after(line, open);
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
