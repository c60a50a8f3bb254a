#include "assertion/variable_names.h"

#include <cstdint>

#include "common/strings.h"
#include "parser/utf8.h"

namespace mirtova::assertion {

namespace {

bool is_ascii_alnum(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9');
}

void append_hex(std::string& out, uint32_t value) {
  char digits[8];
  size_t n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (n > 0) out.push_back(digits[--n]);
}

// Appends `text` character by character: ASCII letters, digits and "_" as
// they are, an apostrophe as "_p" when asked, any other character as "_u" and
// its code point in lower-case hex.
void spell(std::string_view text, bool apostrophe_as_p, std::string& out) {
  for (size_t at = 0; at < text.size();) {
    const std::optional<DecodedChar> c = decode_utf8(text, at);
    // Statement names come from the lexer, whose text is valid UTF-8.
    const char32_t cp = c ? c->code_point : char32_t{0xFFFD};
    at += c ? c->length : 1;
    if (cp == U'\'' && apostrophe_as_p) {
      out += "_p";
    } else if (cp == U'_' || is_ascii_alnum(cp)) {
      out.push_back(static_cast<char>(cp));
    } else {
      out += "_u";
      append_hex(out, static_cast<uint32_t>(cp));
    }
  }
}

}  // namespace

void append_plain_name(std::string_view text, std::string& out) { spell(text, false, out); }

std::string variable_name(std::string_view name) {
  std::string out;
  spell(name, true, out);
  const bool lower_start = !out.empty() && out[0] >= 'a' && out[0] <= 'z';
  if (lower_start && !out.starts_with("x_")) return out;
  return "v_" + out;
}

std::string program_variable_name(std::string_view name) {
  // Literals and the one form the rule language reads from a bare lower-case word.
  static constexpr std::string_view kWords[] = {"true", "false",    "null", "nil",
                                                "inf",  "infinity", "nan",  "if"};
  std::string out;
  for (char c : variable_name(name)) {
    if (c >= 'A' && c <= 'Z') {
      out += '_';
      out += ascii_lower(c);
    } else {
      out += c;
    }
  }
  bool word = out.starts_with("x_");
  for (std::string_view w : kWords) word = word || out == w;
  return word ? "v_" + out : out;
}

std::string_view display(std::string_view program_name) {
  const size_t last = program_name.rfind("__");
  return last == std::string_view::npos ? program_name : program_name.substr(last + 2);
}

bool is_generated_shape(std::string_view program_name) {
  if (program_name.starts_with("s__")) return true;
  if (!program_name.starts_with("q")) return false;
  size_t at = 1;
  while (at < program_name.size() && program_name[at] >= '0' && program_name[at] <= '9') ++at;
  return at > 1 && program_name.substr(at).starts_with("__");
}

}  // namespace mirtova::assertion
