#include "compiler/dialects/float_literal.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace mirtova {

std::string exponent_float_literal(std::string_view text) {
  if (text.find_first_of("eE") != std::string_view::npos) return std::string(text);
  return std::string(text) + "E0";
}

namespace {

// A whole text read as a signed 64-bit decimal with an optional "+" or "-";
// 0 when it is empty, malformed or out of range.
int64_t exponent_value(std::string_view text) {
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text[0] == '-') return 0;
  }
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return 0;
  return value;
}

// Whether SQLite reads the mantissa's significant digits exactly: fewer than 16
// of them, or an integer below 2^53.
bool digits_fit(std::string_view significant) {
  if (significant.size() < 16) return true;
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(significant.data(), significant.data() + significant.size(), value);
  if (ec != std::errc() || end != significant.data() + significant.size()) return false;
  return value < (uint64_t{1} << 53);
}

}  // namespace

std::string sqlite_float_literal(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  std::string_view body = negative ? text.substr(1) : text;

  size_t e_at = body.find_first_of("eE");
  std::string_view mantissa = e_at == std::string_view::npos ? body : body.substr(0, e_at);
  int64_t exponent = e_at == std::string_view::npos ? 0 : exponent_value(body.substr(e_at + 1));

  std::string digits;
  for (char c : mantissa) {
    if (c >= '0' && c <= '9') digits += c;
  }
  std::string_view significant = digits;
  while (!significant.empty() && significant[0] == '0') significant.remove_prefix(1);

  int64_t fraction_length = 0;
  size_t dot = mantissa.find('.');
  if (dot != std::string_view::npos) {
    size_t next = mantissa.find('.', dot + 1);
    if (next == std::string_view::npos) next = mantissa.size();
    fraction_length = static_cast<int64_t>(next - dot - 1);
  }

  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::string(text);

  // 128 bits: the exponent may be any 64-bit value.
  __int128 shift = static_cast<__int128>(exponent) - fraction_length;
  if (shift < 0) shift = -shift;
  if (digits_fit(significant) && shift < 23) return std::string(text);

  if (value == 0 || !std::isfinite(value)) return std::string(text);

  const uint64_t bits = std::bit_cast<uint64_t>(std::fabs(value));
  const int64_t biased = static_cast<int64_t>(bits >> 52);
  const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
  uint64_t m = biased > 0 ? fraction + (uint64_t{1} << 52) : fraction;
  int64_t p = biased > 0 ? biased - 1075 : -1074;
  while ((m & 1) == 0) {
    m >>= 1;
    ++p;
  }

  std::string s = "CAST(" + std::to_string(m) + " AS REAL)";
  while (p != 0) {
    const int64_t k = std::min<int64_t>(p > 0 ? p : -p, 62);
    s = "(" + s + (p > 0 ? " * " : " / ") + std::to_string(uint64_t{1} << k) + ")";
    p += p > 0 ? -k : k;
  }
  if (negative) s = "(-" + s + ")";
  return s;
}

}  // namespace mirtova
