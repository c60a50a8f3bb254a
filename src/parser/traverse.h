// The text layer beneath the parser: a byte traversal that knows brackets,
// strings, backquoted names and comments, and the stripping and splitting
// operations built on it. Separators count only at the top level.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/parsing_exception.h"
#include "parser/span.h"

namespace mirtova {

enum class TraverseState : uint8_t {
  Paren,              // (
  Bracket,            // [
  Brace,              // {
  DoubleQuote,        // "..."
  SingleQuote,        // '...'
  SingleQuoteEscape,  // the byte after a backslash inside '...'
  Backquote,          // `...`
  TripleQuote,        // """..."""
  LineComment,        // # to end of line
  BlockComment,       // /* ... */
};

enum class TraverseStatus : uint8_t { Ok, Mismatch, LineBreakInString, End };

// A set of bytes, indexed by the byte as unsigned char.
using ByteSet = std::array<bool, 256>;

// Outside strings, names and comments: the bytes that may change the state
// ('/' only opens a comment before '*', but is a stop either way).
inline constexpr ByteSet kCodeStops = [] {
  ByteSet set{};
  for (unsigned char c : std::string_view("#/\"'`([{)]}")) set[c] = true;
  return set;
}();

struct TraverseStep {
  size_t position = 0;  // offset from the span's start
  size_t depth = 0;     // entries on the stack after the byte
  std::optional<TraverseState> top;
  TraverseStatus status = TraverseStatus::End;
};

namespace traverse_detail {

// The traversal's stack of open states with where each opened. Texts rarely
// nest deeply, so the first levels live inside the traverser and a traversal
// of an ordinary text allocates nothing.
class StateStack {
 public:
  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }
  TraverseState back() const { return at(size_ - 1).state; }
  TraverseState state(size_t i) const { return at(i).state; }
  size_t opened_at(size_t i) const { return at(i).opened_at; }
  void push(TraverseState s, size_t opened_at) {
    if (size_ < kInline)
      inline_[size_] = Entry{s, opened_at};
    else
      more_.push_back(Entry{s, opened_at});
    ++size_;
  }
  void pop() {
    --size_;
    if (size_ >= kInline) more_.pop_back();
  }

 private:
  struct Entry {
    TraverseState state;
    size_t opened_at;
  };
  static constexpr size_t kInline = 16;
  const Entry& at(size_t i) const { return i < kInline ? inline_[i] : more_[i - kInline]; }

  size_t size_ = 0;
  std::array<Entry, kInline> inline_;
  std::vector<Entry> more_;  // the levels past kInline
};

}  // namespace traverse_detail

class Traverser {
 public:
  explicit Traverser(const SpanString& text)
      : text_(text.view()), span_(text.knows_long_brackets() ? &text : nullptr) {}
  explicit Traverser(SpanString&&) = delete;  // the traverser keeps the span's address
  explicit Traverser(std::string_view text) : text_(text) {}
  // The next byte outside comments, with the state after it.
  TraverseStep next();
  // Passes over the bytes that next() would report with status ok and the
  // state unchanged, so that a caller does not pay a step for each. It stops
  // before any byte that may change the state and, at the top level, before
  // any byte of `top_level_stops`, which must hold kCodeStops. Answers how
  // many bytes it passed: each of them stood at depth() under the same top as
  // the last step (or the start) left.
  size_t skip_plain(const ByteSet* top_level_stops = nullptr);
  // skip_plain with one byte, `also`, as the only top-level stop beyond kCodeStops.
  size_t skip_plain_or(char also);
  // Right after a step that opened a bracket: moves on to the byte that closes
  // it, when the text's source knows that byte to lie in this text, so that a
  // caller that reads only the levels outside passes the inside at once (next()
  // then reports the closing byte). Answers whether it moved. Scans of nested
  // text stay linear in its length this way, rather than reading every level's
  // inside again at each level above it.
  bool skip_inside() { return span_ != nullptr && jump_to_close(); }
  // The offset of the next byte to be read.
  size_t position() const { return pos_; }
  size_t depth() const { return stack_.size(); }
  // After the end: where the outermost bracket, string or backquoted name that
  // was never closed opened (comments left open do not count).
  std::optional<size_t> outermost_unclosed() const;

 private:
  TraverseStep step(size_t position, TraverseStatus status = TraverseStatus::Ok) const;
  bool jump_to_close();
  void push(TraverseState s, size_t at) { stack_.push(s, at); }
  void pop() { stack_.pop(); }

  std::string_view text_;
  const SpanString* span_ = nullptr;  // the text, when its source knows long brackets
  size_t pos_ = 0;
  size_t skip_ = 0;
  traverse_detail::StateStack stack_;
};

namespace traverse_detail {

// Per state of the top of the stack, the bytes skip_plain stops before. A
// state whose every byte matters (an escape, a comment, whose bytes are never
// reported) stops at once.
struct StopTables {
  std::array<ByteSet, 10> by_state{};
};

inline constexpr StopTables kStopTables = [] {
  StopTables t;
  auto set = [&](TraverseState s, std::string_view bytes) {
    for (unsigned char c : bytes) t.by_state[static_cast<size_t>(s)][c] = true;
  };
  t.by_state[static_cast<size_t>(TraverseState::Paren)] = kCodeStops;
  t.by_state[static_cast<size_t>(TraverseState::Bracket)] = kCodeStops;
  t.by_state[static_cast<size_t>(TraverseState::Brace)] = kCodeStops;
  set(TraverseState::DoubleQuote, "\"\n");
  set(TraverseState::SingleQuote, "'\\");
  set(TraverseState::Backquote, "`");
  set(TraverseState::TripleQuote, "\"");
  for (TraverseState s :
       {TraverseState::SingleQuoteEscape, TraverseState::LineComment, TraverseState::BlockComment})
    t.by_state[static_cast<size_t>(s)].fill(true);
  return t;
}();

}  // namespace traverse_detail

inline size_t Traverser::skip_plain(const ByteSet* top_level_stops) {
  // The rest of an opening triple quote is read byte by byte by next().
  if (skip_ > 0) return 0;
  const ByteSet& stops = stack_.empty()
                             ? (top_level_stops != nullptr ? *top_level_stops : kCodeStops)
                             : traverse_detail::kStopTables.by_state[static_cast<size_t>(stack_.back())];
  const size_t from = pos_;
  const char* data = text_.data();
  const size_t size = text_.size();
  size_t p = pos_;
  while (p < size && !stops[static_cast<unsigned char>(data[p])]) ++p;
  pos_ = p;
  return p - from;
}

inline size_t Traverser::skip_plain_or(char also) {
  if (skip_ > 0 || !stack_.empty()) return skip_plain();
  const size_t from = pos_;
  const char* data = text_.data();
  const size_t size = text_.size();
  size_t p = pos_;
  while (p < size && !kCodeStops[static_cast<unsigned char>(data[p])] && data[p] != also) ++p;
  pos_ = p;
  return p - from;
}

// ASCII blanks as the parser knows them (no vertical tab).
inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// A span over the whole of `text`, a program's text to be parsed, that knows
// where its long brackets close (see Traverser::skip_inside).
SpanString indexed_source(std::string text);

// Outer blanks off, then enclosing parentheses (with blanks) as long as they match.
SpanString strip(const SpanString& text);
// Outer blanks off only.
SpanString strip_spaces(const SpanString& text);
// The traversal ends at depth 0 with status ok on its last byte.
bool is_whole(const SpanString& text);

// Cuts at every top-level occurrence of `separator`; pieces raw, in order.
ParseResult<std::vector<SpanString>> split_raw(const SpanString& text, std::string_view separator);
// How many cuts split_raw would make (one fewer than its pieces), failing as
// it would; for the many texts that are only tested for a separator.
ParseResult<size_t> count_cuts(const SpanString& text, std::string_view separator);
// Where split_raw would make its last cut, failing as it would; nothing when it
// makes none. One pass that builds no pieces, for chains parsed from the right.
ParseResult<std::optional<size_t>> last_cut(const SpanString& text, std::string_view separator);
// A few separators whose cuts are counted in one traversal of a text, for
// parsers that test one text for several of them in turn. Made once (they
// are kept in static constants), used read-only.
class SeparatorSet {
 public:
  static constexpr size_t kMax = 8;
  using Counts = std::array<size_t, kMax>;
  // At most kMax separators, none empty.
  explicit SeparatorSet(std::initializer_list<std::string_view> separators);
  size_t size() const { return size_; }
  std::string_view operator[](size_t i) const { return separators_[i]; }

 private:
  friend struct SeparatorScan;
  std::array<std::string_view, kMax> separators_{};
  std::array<bool, kMax> word_{}, pipe_{};
  size_t size_ = 0;
  ByteSet stops_{};  // kCodeStops and every separator's first byte
  // Per byte, the separators that start with it, as bits by their place.
  std::array<uint8_t, 256> starting_{};
};
// count_cuts for every separator of the set, in the set's order, from one
// traversal; a text that breaks the traversal fails as count_cuts would.
ParseResult<SeparatorSet::Counts> count_cuts_each(const SpanString& text, const SeparatorSet& set);

// What one traversal tells of a text that does not break it: the cuts of each
// separator of a set, whether is_whole holds, and (when asked for) split_raw's
// pieces at the set's last separator.
struct SeparatorScan {
  SeparatorSet::Counts counts{};
  bool whole = true;
  std::vector<SpanString> last_pieces;
  // Fails as count_cuts would.
  static ParseResult<SeparatorScan> of(const SpanString& text, const SeparatorSet& set, bool with_pieces);
};
// split_raw, every piece stripped; empty pieces remain.
ParseResult<std::vector<SpanString>> split(const SpanString& text, std::string_view separator);
ParseResult<std::pair<SpanString, SpanString>> split_in_two(const SpanString& text,
                                                            std::string_view separator);
// One piece or two.
ParseResult<std::vector<SpanString>> split_in_one_or_two(const SpanString& text, std::string_view separator);
// Nothing when the separator does not occur at the top level; otherwise the
// stripped texts before the first occurrence and after it.
ParseResult<std::optional<std::pair<SpanString, SpanString>>> split_at_first(const SpanString& text,
                                                                             std::string_view separator);
// Nothing unless `separator` occurs exactly once at the top level; otherwise the
// stripped texts before and after it.
ParseResult<std::optional<std::pair<SpanString, SpanString>>> split_at_only(const SpanString& text,
                                                                            std::string_view separator);
// Cuts at top-level spaces, line feeds and tabs; drops empty pieces.
ParseResult<std::vector<SpanString>> split_on_whitespace(const SpanString& text);

// The whole text with every comment taken out.
ParseResult<std::string> remove_comments(const SpanString& text);

}  // namespace mirtova
