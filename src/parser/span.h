// SpanString: a range of one shared, never-changed program text. The parser cuts
// statements and operands as spans and copies text only where a node needs it.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace mirtova {

// Where the long brackets of a source close, as (opening, closing) offsets in
// the order of the openings: a bracket listed closes with every byte inside it
// read as ok by a traversal, whatever lies around it.
using LongBrackets = std::vector<std::pair<size_t, size_t>>;

class SpanString {
 public:
  // Holds no source: a span shared by every thread's default-made spans would
  // have them all counting references on one cache line.
  SpanString() = default;
  // Takes the whole text; the span covers all of it.
  explicit SpanString(std::string text)
      : source_(std::make_shared<const Source>(Source{std::move(text), {}})),
        start_(0),
        stop_(source_->text.size()) {}
  // The whole text, with where its long brackets close (see indexed_source in
  // parser/traverse.h).
  SpanString(std::string text, LongBrackets long_brackets)
      : source_(std::make_shared<const Source>(Source{std::move(text), std::move(long_brackets)})),
        start_(0),
        stop_(source_->text.size()) {}
  static SpanString make(std::string text) { return SpanString(std::move(text)); }

  std::string_view view() const { return std::string_view(source()).substr(start_, stop_ - start_); }
  std::string to_string() const { return std::string(view()); }
  size_t start() const { return start_; }
  size_t stop() const { return stop_; }
  size_t size() const { return stop_ - start_; }
  bool empty() const { return start_ == stop_; }
  char operator[](size_t i) const { return source()[start_ + i]; }
  const std::string& source() const { return source_ ? source_->text : empty_source(); }
  bool knows_long_brackets() const { return source_ && !source_->long_brackets.empty(); }
  // For a long bracket of the source opening at `offset` (from this span's
  // start), the offset of the byte that closes it; npos when the source does
  // not know it.
  size_t long_bracket_close(size_t offset) const;

  // A span over the same source from this span's start + from to start + to,
  // clamped to the source and moved onto character boundaries (the stop
  // forward, the start back). The bound is the whole source, not this span.
  SpanString slice(size_t from, size_t to) const;
  // Text before the span, the span, text after it.
  std::tuple<std::string_view, std::string_view, std::string_view> pieces() const;

 private:
  struct Source {
    std::string text;
    LongBrackets long_brackets;
  };
  SpanString(std::shared_ptr<const Source> source, size_t start, size_t stop)
      : source_(std::move(source)), start_(start), stop_(stop) {}
  static const std::string& empty_source();

  std::shared_ptr<const Source> source_;  // null: the empty text
  size_t start_ = 0;
  size_t stop_ = 0;
};

// True when the byte at `offset` of `text` begins a UTF-8 character (or is the end).
inline bool is_char_boundary(std::string_view text, size_t offset) {
  if (offset >= text.size()) return offset == text.size();
  return (static_cast<unsigned char>(text[offset]) & 0xC0) != 0x80;
}

}  // namespace mirtova
