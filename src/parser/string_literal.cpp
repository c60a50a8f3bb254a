// String literals: double quotes keep their bytes, single quotes decode
// escapes, triple double quotes keep everything up to the closing run.
#include "parser/string_literal.h"

#include "parser/utf8.h"

namespace mirtova {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of `count` hex digits at `at`, or -1 when they do not all fit
// before the end or one is no hex digit.
int64_t hex_number(std::string_view text, size_t at, size_t count) {
  if (at + count > text.size()) return -1;
  int64_t value = 0;
  for (size_t i = at; i < at + count; ++i) {
    const int digit = hex_value(text[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

bool has_unescaped_quote(std::string_view contents) {
  for (size_t i = 0; i < contents.size(); ++i) {
    if (contents[i] == '\\')
      ++i;
    else if (contents[i] == '\'')
      return true;
  }
  return false;
}

}  // namespace

std::string decode_single_quoted(std::string_view contents) {
  std::string bytes;
  size_t i = 0;
  while (i < contents.size()) {
    const char c = contents[i];
    if (c != '\\' || i + 1 == contents.size()) {
      bytes.push_back(c);
      ++i;
      continue;
    }
    const char escaped = contents[i + 1];
    size_t digits = 0;
    switch (escaped) {
      case 'n':
        bytes.push_back('\n');
        break;
      case 't':
        bytes.push_back('\t');
        break;
      case 'r':
        bytes.push_back('\r');
        break;
      case 'x':
        digits = 2;
        break;
      case 'u':
        digits = 4;
        break;
      case 'U':
        digits = 8;
        break;
      default:
        bytes.push_back(escaped);
        break;  // also \\, \' and \"
    }
    i += 2;
    if (digits == 0) continue;
    const int64_t value = hex_number(contents, i, digits);
    // Without its digits the escape drops out and what followed is plain text.
    if (value < 0) continue;
    i += digits;
    if (escaped == 'x')
      bytes.push_back(static_cast<char>(value));
    else
      append_utf8(bytes, static_cast<char32_t>(value));
  }
  return to_valid_utf8(bytes);
}

std::optional<std::string> read_string_literal(std::string_view text) {
  const size_t size = text.size();
  if (size < 2) return std::nullopt;
  if (text.front() == '"' && text.back() == '"' &&
      text.substr(1, size - 2).find('"') == std::string_view::npos)
    return std::string(text.substr(1, size - 2));
  if (text.front() == '\'' && text.back() == '\'' && !has_unescaped_quote(text.substr(1, size - 2)))
    return decode_single_quoted(text.substr(1, size - 2));
  if (size >= 6 && text.substr(0, 3) == "\"\"\"" && text.substr(size - 3) == "\"\"\"" &&
      text.substr(3, size - 6).find("\"\"\"") == std::string_view::npos)
    return std::string(text.substr(3, size - 6));
  return std::nullopt;
}

}  // namespace mirtova
