#include "parser/parsing_exception.h"

namespace mirtova {

namespace {

constexpr size_t kExcerptBytes = 300;

// The last 300 bytes of `text`, starting on a character boundary.
std::string_view tail(std::string_view text) {
  if (text.size() <= kExcerptBytes) return text;
  size_t from = text.size() - kExcerptBytes;
  while (from < text.size() && !is_char_boundary(text, from)) ++from;
  return text.substr(from);
}

// The first 300 bytes of `text`, ending on a character boundary.
std::string_view head(std::string_view text) {
  if (text.size() <= kExcerptBytes) return text;
  size_t to = kExcerptBytes;
  while (to > 0 && !is_char_boundary(text, to)) --to;
  return text.substr(0, to);
}

}  // namespace

std::string ParsingException::show_message() const {
  auto [before, inside, after] = span.pieces();
  std::string out = "Parsing:\n";
  out += tail(before);
  out += inside.empty() ? std::string_view("<EMPTY>") : inside;
  out += head(after);
  out += "\n\n[ Error ] ";
  out += message;
  out += "\n";
  return out;
}

}  // namespace mirtova
