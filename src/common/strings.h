// Small text helpers shared across the compiler.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mirtova {

// ASCII case only: names and SQL words are compared this way, whatever bytes
// beyond ASCII they hold.
inline char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

// Whether `text` lower-cased is `lower_word`, without building the lower-cased text.
inline bool equals_ascii_lower(std::string_view text, std::string_view lower_word) {
  if (text.size() != lower_word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (ascii_lower(text[i]) != lower_word[i]) return false;
  return true;
}

inline std::string join(const std::vector<std::string>& parts, std::string_view separator) {
  size_t bytes = parts.empty() ? 0 : separator.size() * (parts.size() - 1);
  for (const std::string& part : parts) bytes += part.size();
  std::string out;
  out.reserve(bytes);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

}  // namespace mirtova
