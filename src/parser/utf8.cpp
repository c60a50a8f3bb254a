#include "parser/utf8.h"

#include "parser/unicode_tables.h"

namespace mirtova {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";

bool in(unsigned char b, unsigned char low, unsigned char high) { return b >= low && b <= high; }

// The bytes a sequence opened by `lead` takes, and the range its second byte
// must fall in (the well-formed table of the Unicode standard); 0 for a byte
// that opens no sequence.
size_t sequence_length(unsigned char lead, unsigned char& low, unsigned char& high) {
  low = 0x80;
  high = 0xBF;
  if (lead < 0x80) return 1;
  if (in(lead, 0xC2, 0xDF)) return 2;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (in(lead, 0xE0, 0xEF)) return 3;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (in(lead, 0xF0, 0xF4)) return 4;
  return 0;
}

// The length of the well-formed prefix at `at` (the whole sequence when it is
// complete), and whether the sequence is complete.
size_t valid_prefix(std::string_view text, size_t at, bool& complete) {
  unsigned char low, high;
  const size_t length = sequence_length(static_cast<unsigned char>(text[at]), low, high);
  complete = false;
  if (length == 0) return 0;
  size_t i = 1;
  for (; i < length; ++i) {
    if (at + i >= text.size()) return i;
    const auto b = static_cast<unsigned char>(text[at + i]);
    if (i == 1 ? !in(b, low, high) : !in(b, 0x80, 0xBF)) return i;
  }
  complete = true;
  return length;
}

}  // namespace

std::optional<DecodedChar> decode_utf8(std::string_view text, size_t at) {
  if (at >= text.size()) return std::nullopt;
  bool complete = false;
  const size_t length = valid_prefix(text, at, complete);
  if (!complete) return std::nullopt;
  const auto lead = static_cast<unsigned char>(text[at]);
  char32_t cp = length == 1   ? lead
                : length == 2 ? (lead & 0x1F)
                : length == 3 ? (lead & 0x0F)
                              : (lead & 0x07);
  for (size_t i = 1; i < length; ++i) cp = (cp << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
  return DecodedChar{cp, length};
}

void append_utf8(std::string& out, char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string to_valid_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  size_t at = 0;
  while (at < bytes.size()) {
    bool complete = false;
    const size_t length = valid_prefix(bytes, at, complete);
    if (complete) {
      out.append(bytes.substr(at, length));
      at += length;
    } else {
      // A byte that opens nothing is one invalid subsequence; a truncated
      // sequence is replaced as a whole.
      out.append(kReplacement);
      at += length == 0 ? 1 : length;
    }
  }
  return out;
}

std::u32string to_code_points(std::string_view text) {
  const std::string valid = to_valid_utf8(text);
  std::u32string chars;
  chars.reserve(valid.size());
  for (size_t at = 0; at < valid.size();) {
    const DecodedChar c = *decode_utf8(valid, at);
    chars.push_back(c.code_point);
    at += c.length;
  }
  return chars;
}

std::string_view trim_unicode_white_space(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size()) {
    const std::optional<DecodedChar> c = decode_utf8(text, begin);
    if (!c || !is_white_space(c->code_point)) break;
    begin += c->length;
  }
  size_t end = text.size();
  while (end > begin) {
    // Step back to the start of the last character.
    size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80 && end - start < 4)
      --start;
    const std::optional<DecodedChar> c = decode_utf8(text, start);
    if (!c || start + c->length != end || !is_white_space(c->code_point)) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

}  // namespace mirtova
