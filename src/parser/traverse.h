// The text layer beneath the parser: a byte traversal that knows brackets,
// strings, backquoted names and comments, and the stripping and splitting
// operations built on it. Separators count only at the top level.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/parsing_exception.h"
#include "parser/span.h"

namespace mirtova {

enum class TraverseState : uint8_t {
  Paren,             // (
  Bracket,           // [
  Brace,             // {
  DoubleQuote,       // "..."
  SingleQuote,       // '...'
  SingleQuoteEscape, // the byte after a backslash inside '...'
  Backquote,         // `...`
  TripleQuote,       // """..."""
  LineComment,       // # to end of line
  BlockComment,      // /* ... */
};

enum class TraverseStatus : uint8_t { Ok, Mismatch, LineBreakInString, End };

struct TraverseStep {
  size_t position = 0;  // offset from the span's start
  size_t depth = 0;     // entries on the stack after the byte
  std::optional<TraverseState> top;
  TraverseStatus status = TraverseStatus::End;
};

class Traverser {
 public:
  explicit Traverser(const SpanString& text) : text_(text.view()) {}
  explicit Traverser(std::string_view text) : text_(text) {}
  // The next byte outside comments, with the state after it.
  TraverseStep next();
  // After the end: where the outermost bracket, string or backquoted name that
  // was never closed opened (comments left open do not count).
  std::optional<size_t> outermost_unclosed() const;

 private:
  TraverseStep step(size_t position, TraverseStatus status = TraverseStatus::Ok) const;
  void push(TraverseState s, size_t at) {
    stack_.push_back(s);
    opened_at_.push_back(at);
  }
  void pop() {
    stack_.pop_back();
    opened_at_.pop_back();
  }

  std::string_view text_;
  size_t pos_ = 0;
  size_t skip_ = 0;
  std::vector<TraverseState> stack_;
  std::vector<size_t> opened_at_;
};

// ASCII blanks as the parser knows them (no vertical tab).
inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// Outer blanks off, then enclosing parentheses (with blanks) as long as they match.
SpanString strip(const SpanString& text);
// Outer blanks off only.
SpanString strip_spaces(const SpanString& text);
// The traversal ends at depth 0 with status ok on its last byte.
bool is_whole(const SpanString& text);

// Cuts at every top-level occurrence of `separator`; pieces raw, in order.
ParseResult<std::vector<SpanString>> split_raw(const SpanString& text, std::string_view separator);
// split_raw, every piece stripped; empty pieces remain.
ParseResult<std::vector<SpanString>> split(const SpanString& text, std::string_view separator);
ParseResult<std::pair<SpanString, SpanString>> split_in_two(const SpanString& text, std::string_view separator);
// One piece or two.
ParseResult<std::vector<SpanString>> split_in_one_or_two(const SpanString& text, std::string_view separator);
// Nothing when the separator does not occur at the top level; otherwise the
// stripped texts before the first occurrence and after it.
ParseResult<std::optional<std::pair<SpanString, SpanString>>> split_at_first(const SpanString& text,
                                                                             std::string_view separator);
// Cuts at top-level spaces, line feeds and tabs; drops empty pieces.
ParseResult<std::vector<SpanString>> split_on_whitespace(const SpanString& text);

// The whole text with every comment taken out.
ParseResult<std::string> remove_comments(const SpanString& text);

}  // namespace mirtova
