#include "parser/span.h"

#include <algorithm>

namespace mirtova {

const std::string& SpanString::empty_source() {
  static const std::string empty;  // immutable
  return empty;
}

SpanString SpanString::slice(size_t from, size_t to) const {
  const std::string& text = source();
  const size_t len = text.size();
  size_t new_stop = std::min(len, start_ + std::min(to, len));
  while (new_stop < len && !is_char_boundary(text, new_stop)) ++new_stop;
  size_t new_start = std::min(new_stop, start_ + std::min(from, len));
  while (new_start > 0 && !is_char_boundary(text, new_start)) --new_start;
  return SpanString(source_, new_start, new_stop);
}

size_t SpanString::long_bracket_close(size_t offset) const {
  if (!source_ || source_->long_brackets.empty()) return std::string::npos;
  const LongBrackets& brackets = source_->long_brackets;
  const size_t open = start_ + offset;
  auto it = std::lower_bound(brackets.begin(), brackets.end(), open,
                             [](const std::pair<size_t, size_t>& b, size_t at) { return b.first < at; });
  if (it == brackets.end() || it->first != open) return std::string::npos;
  return it->second - start_;
}

std::tuple<std::string_view, std::string_view, std::string_view> SpanString::pieces() const {
  std::string_view all(source());
  return {all.substr(0, start_), all.substr(start_, stop_ - start_), all.substr(stop_)};
}

}  // namespace mirtova
