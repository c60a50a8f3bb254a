#include "assertion/report.h"

#include <algorithm>
#include <cstdint>

#include "parser/unicode_tables.h"
#include "parser/utf8.h"

namespace mirtova::assertion {

namespace {

constexpr size_t kShownCharacters = 200;

// Characters that would hide or reorder text, or break a report's layout.
bool is_escaped(char32_t c) {
  return c <= 0x1F || (c >= 0x7F && c <= 0x9F) || (c >= 0x200B && c <= 0x200F) || c == 0x2028 ||
         c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF ||
         (c >= 0xFFF9 && c <= 0xFFFB);
}

void append_code(std::string& out, char32_t c) {
  static constexpr char kHex[] = "0123456789abcdef";
  char digits[8];
  size_t n = 0;
  for (uint32_t v = c; v != 0 || n < 4; v >>= 4) digits[n++] = kHex[v & 0xF];
  out += "\\u{";
  while (n > 0) out.push_back(digits[--n]);
  out += "}";
}

void escape_characters(const char32_t* begin, const char32_t* end, std::optional<char> quote,
                       std::string& out) {
  for (const char32_t* p = begin; p != end; ++p) {
    const char32_t c = *p;
    if (c == U'\t')
      out += "\\t";
    else if (c == U'\n')
      out += "\\n";
    else if (c == U'\r')
      out += "\\r";
    else if (c == U'\\')
      out += "\\\\";
    else if (quote && c == static_cast<unsigned char>(*quote))
      (out += '\\') += *quote;
    else if (is_escaped(c))
      append_code(out, c);
    else
      append_utf8(out, c);
  }
}

}  // namespace

void escape(std::string_view text, std::optional<char> quote, std::string& out) {
  const std::u32string chars = to_code_points(text);
  escape_characters(chars.data(), chars.data() + chars.size(), quote, out);
}

std::string quote_value(std::string_view text) {
  const std::u32string chars = to_code_points(text);
  const size_t shown = std::min(chars.size(), kShownCharacters);
  std::string out = "\"";
  escape_characters(chars.data(), chars.data() + shown, '"', out);
  out += '"';
  if (chars.size() > kShownCharacters) {
    out += "\u2026 (";
    out += std::to_string(chars.size() - kShownCharacters);
    out += " more characters)";
  }
  return out;
}

std::string statement_text(std::string_view text) {
  const std::u32string chars = to_code_points(text);
  std::u32string line;
  line.reserve(chars.size());
  bool blank_pending = false;
  for (char32_t c : chars) {
    if (is_white_space(c)) {
      blank_pending = !line.empty();
      continue;
    }
    if (blank_pending) line.push_back(U' ');
    blank_pending = false;
    line.push_back(c);
  }
  std::string out;
  escape_characters(line.data(), line.data() + line.size(), std::nullopt, out);
  return out;
}

}  // namespace mirtova::assertion
