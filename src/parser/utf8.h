// UTF-8 helpers for the parser: decoding one character, encoding a code
// point, lossy repair of byte strings, and trimming Unicode white space.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mirtova {

struct DecodedChar {
  char32_t code_point;
  size_t length;  // bytes taken from the text
};

// The character at `at`, or nothing when the bytes there are no well-formed
// UTF-8 sequence.
std::optional<DecodedChar> decode_utf8(std::string_view text, size_t at);

// Appends the UTF-8 encoding of `code_point`; surrogates and values above
// U+10FFFF append nothing.
void append_utf8(std::string& out, char32_t code_point);

// `bytes` with each maximal invalid subsequence replaced by U+FFFD.
std::string to_valid_utf8(std::string_view bytes);

// The characters of `text`, each maximal invalid subsequence read as U+FFFD
// (as to_valid_utf8 replaces it).
std::u32string to_code_points(std::string_view text);

// `text` without the characters of the Unicode White_Space property at both
// ends. Bytes that are no valid UTF-8 are kept.
std::string_view trim_unicode_white_space(std::string_view text);

}  // namespace mirtova
