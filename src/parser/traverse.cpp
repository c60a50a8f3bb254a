#include "parser/traverse.h"

#include <algorithm>
#include <bit>

#include "common/internal_fault.h"

namespace mirtova {

namespace {

bool is_bracket(TraverseState s) {
  return s == TraverseState::Paren || s == TraverseState::Bracket || s == TraverseState::Brace;
}

bool is_word_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool is_alnum_word(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

SpanString one_char(const SpanString& text, size_t position) { return text.slice(position, position + 1); }

const char* kParenthesisMessage = "Parenthesis matches nothing.";

}  // namespace

TraverseStep Traverser::step(size_t position, TraverseStatus status) const {
  TraverseStep s;
  s.position = position;
  s.status = status;
  if (status == TraverseStatus::Ok) {
    s.depth = stack_.size();
    if (!stack_.empty()) s.top = stack_.back();
  }
  return s;
}

TraverseStep Traverser::next() {
  while (pos_ < text_.size()) {
    const size_t at = pos_;
    const char c = text_[at];
    ++pos_;
    if (skip_ > 0) {
      // The rest of an opening triple quote: part of the string, never a closer.
      --skip_;
      return step(at);
    }
    const std::optional<TraverseState> top =
        stack_.empty() ? std::nullopt : std::optional<TraverseState>(stack_.back());
    if (!top || is_bracket(*top)) {
      if (c == '#') {
        push(TraverseState::LineComment, at);
        continue;
      }
      if (c == '/' && at + 1 < text_.size() && text_[at + 1] == '*') {
        push(TraverseState::BlockComment, at);
        ++pos_;
        continue;
      }
      if (c == '"' && text_.substr(at, 3) == "\"\"\"") {
        push(TraverseState::TripleQuote, at);
        skip_ = 2;
        return step(at);
      }
      switch (c) {
        case '"':
          push(TraverseState::DoubleQuote, at);
          return step(at);
        case '\'':
          push(TraverseState::SingleQuote, at);
          return step(at);
        case '`':
          push(TraverseState::Backquote, at);
          return step(at);
        case '(':
          push(TraverseState::Paren, at);
          return step(at);
        case '[':
          push(TraverseState::Bracket, at);
          return step(at);
        case '{':
          push(TraverseState::Brace, at);
          return step(at);
        case ')':
        case ']':
        case '}': {
          const TraverseState want =
              c == ')' ? TraverseState::Paren : (c == ']' ? TraverseState::Bracket : TraverseState::Brace);
          if (!top || *top != want) return step(at, TraverseStatus::Mismatch);
          pop();
          return step(at);
        }
        default:
          return step(at);
      }
    }
    switch (*top) {
      case TraverseState::DoubleQuote:
        if (c == '"')
          pop();
        else if (c == '\n')
          return step(at, TraverseStatus::LineBreakInString);
        return step(at);
      case TraverseState::SingleQuote:
        if (c == '\'')
          pop();
        else if (c == '\\')
          push(TraverseState::SingleQuoteEscape, at);
        return step(at);
      case TraverseState::SingleQuoteEscape:
        pop();
        return step(at);
      case TraverseState::Backquote:
        if (c == '`') pop();
        return step(at);
      case TraverseState::TripleQuote:
        // Only the first byte of a closing triple quote closes the string; the
        // other two then read as an empty double-quoted string.
        if (c == '"' && text_.substr(at, 3) == "\"\"\"") pop();
        return step(at);
      case TraverseState::LineComment:
        if (c == '\n') {
          pop();
          return step(at);
        }
        continue;
      case TraverseState::BlockComment:
        if (c == '*' && at + 1 < text_.size() && text_[at + 1] == '/') {
          pop();
          ++pos_;
        }
        continue;
      default:
        break;
    }
    throw InternalFault("traversal in an unknown state");
  }
  return step(pos_, TraverseStatus::End);
}

bool Traverser::jump_to_close() {
  if (stack_.empty() || pos_ == 0 || !is_bracket(stack_.back())) return false;
  const size_t open = pos_ - 1;
  if (stack_.opened_at(stack_.size() - 1) != open) return false;
  const size_t close = span_->long_bracket_close(open);
  if (close == std::string::npos || close >= text_.size()) return false;
  pos_ = close;
  return true;
}

std::optional<size_t> Traverser::outermost_unclosed() const {
  for (size_t i = 0; i < stack_.size(); ++i) {
    if (stack_.state(i) == TraverseState::LineComment || stack_.state(i) == TraverseState::BlockComment)
      break;
    return stack_.opened_at(i);
  }
  return std::nullopt;
}

SpanString indexed_source(std::string text) {
  // Shorter insides cost a scan little more than a jump would, and are left out
  // so that the list stays short.
  constexpr size_t kLongInside = 64;
  std::vector<size_t> open;  // where each level the traversal is in opened
  // The levels below this one hold a byte the traversal breaks on, as would
  // that of any text holding them.
  size_t broken_below = 0;
  LongBrackets long_brackets;
  Traverser t{std::string_view(text)};
  while (true) {
    t.skip_plain();
    const TraverseStep s = t.next();
    if (s.status == TraverseStatus::End) break;
    if (s.status != TraverseStatus::Ok) {
      broken_below = open.size();
      continue;
    }
    while (open.size() > s.depth) {
      const size_t at = open.back();
      open.pop_back();
      const char c = text[at];
      if (open.size() >= broken_below && (c == '(' || c == '[' || c == '{') && s.position - at > kLongInside)
        long_brackets.emplace_back(at, s.position);
      broken_below = std::min(broken_below, open.size());
    }
    while (open.size() < s.depth) open.push_back(s.position);
  }
  std::sort(long_brackets.begin(), long_brackets.end());
  return SpanString(std::move(text), std::move(long_brackets));
}

SpanString strip_spaces(const SpanString& text) {
  std::string_view v = text.view();
  size_t from = 0, to = v.size();
  while (from < to && is_blank(v[from])) ++from;
  while (to > from && is_blank(v[to - 1])) --to;
  return text.slice(from, to);
}

bool is_whole(const SpanString& text) {
  Traverser t(text);
  // Only the last reported byte counts: a plain byte leaves the status ok and
  // the depth as the step before it (or the start) left it.
  bool any = false, last_ok = true;
  size_t last_depth = 0;
  while (true) {
    if (t.skip_plain() > 0) {
      any = true;
      last_ok = true;
      last_depth = t.depth();
    }
    const TraverseStep s = t.next();
    if (s.status == TraverseStatus::End) break;
    any = true;
    last_ok = s.status == TraverseStatus::Ok;
    last_depth = s.depth;
    if (last_ok && last_depth == 1) t.skip_inside();
  }
  return !any || (last_ok && last_depth == 0);
}

namespace {

// One traversal of `text`: for every byte that opens a bracket, string or name,
// where it closes (npos when it never does); and whether any byte mismatched.
struct Closings {
  std::vector<size_t> close_of;
  bool clean = true;
};

Closings closings(std::string_view text) {
  Closings c;
  c.close_of.assign(text.size(), std::string_view::npos);
  std::vector<size_t> open;
  Traverser t(text);
  size_t expected = 0;  // a byte skipped here lay in a comment
  while (true) {
    // Plain bytes change no depth and are reported one after another.
    if (t.skip_plain() > 0) expected = t.position();
    const TraverseStep s = t.next();
    if (s.status == TraverseStatus::End) break;
    // A comment can hide a closing bracket from the text but not from its
    // inside, so texts with comments take the direct test too.
    if (s.position != expected) c.clean = false;
    expected = s.position + 1;
    if (s.status != TraverseStatus::Ok) {
      c.clean = false;
      continue;
    }
    while (open.size() > s.depth) {
      c.close_of[open.back()] = s.position;
      open.pop_back();
    }
    while (open.size() < s.depth) open.push_back(s.position);
  }
  if (expected != text.size()) c.clean = false;
  return c;
}

}  // namespace

SpanString strip(const SpanString& text) {
  SpanString current = strip_spaces(text);
  if (current.size() < 2 || current[0] != '(') return current;
  // Matching the brackets once keeps this linear however deep the parentheses
  // go; a text with a mismatch takes the direct (slower) test level by level.
  const std::string_view all = current.view();
  const Closings c = closings(all);
  size_t from = 0, to = all.size();
  while (to - from >= 2 && all[from] == '(' && all[to - 1] == ')') {
    bool peel;
    if (c.clean) {
      peel = c.close_of[from] == to - 1;
    } else {
      SpanString inner = current.slice(from + 1, to - 1);
      peel = inner.empty() || is_whole(inner);
    }
    if (!peel) break;
    ++from;
    --to;
    while (from < to && is_blank(all[from])) ++from;
    while (to > from && is_blank(all[to - 1])) --to;
  }
  return current.slice(from, to);
}

namespace {

// Whether a top-level occurrence of `separator` at `p` cuts: a word cuts only
// between non-word bytes, "|" never inside "||".
bool cuts_at(std::string_view v, size_t p, std::string_view separator, bool word, bool pipe) {
  if (v.substr(p, separator.size()) != separator) return false;
  const size_t end = p + separator.size();
  if (word && ((p > 0 && is_word_byte(v[p - 1])) || (end < v.size() && is_word_byte(v[end])))) return false;
  if (pipe && ((p > 0 && v[p - 1] == '|') || (end < v.size() && v[end] == '|'))) return false;
  return true;
}

// Calls on_cut(at) for every top-level occurrence of a non-empty `separator`,
// left to right; answers the position of the first byte that breaks the
// traversal, if any (the cuts before it have been made by then).
template <class OnCut>
std::optional<size_t> for_each_cut(const SpanString& text, std::string_view separator, OnCut&& on_cut) {
  const std::string_view v = text.view();
  const bool word = is_alnum_word(separator);
  const bool pipe = separator == "|";
  Traverser t(text);
  size_t resume = 0;  // occurrences never overlap
  while (true) {
    // Top-level bytes other than the separator's first are passed over.
    t.skip_plain_or(separator[0]);
    const TraverseStep s = t.next();
    if (s.status == TraverseStatus::End) return std::nullopt;
    if (s.status != TraverseStatus::Ok) return s.position;
    const size_t p = s.position;
    if (s.depth == 1) t.skip_inside();
    if (s.depth != 0 || p < resume || v[p] != separator[0]) continue;
    if (!cuts_at(v, p, separator, word, pipe)) continue;
    on_cut(p);
    resume = p + separator.size();
  }
}

}  // namespace

ParseResult<std::vector<SpanString>> split_raw(const SpanString& text, std::string_view separator) {
  std::vector<SpanString> pieces;
  if (separator.empty()) {
    pieces.push_back(text);
    return pieces;
  }
  // Room for the usual handful of pieces at once.
  pieces.reserve(4);
  size_t piece_start = 0;
  const std::optional<size_t> fault = for_each_cut(text, separator, [&](size_t at) {
    pieces.push_back(text.slice(piece_start, at));
    piece_start = at + separator.size();
  });
  if (fault) return ParsingException(kParenthesisMessage, one_char(text, *fault));
  pieces.push_back(text.slice(piece_start, text.size()));
  return pieces;
}

SeparatorSet::SeparatorSet(std::initializer_list<std::string_view> separators) {
  if (separators.size() > kMax) throw InternalFault("too many separators in a set");
  stops_ = kCodeStops;
  for (std::string_view separator : separators) {
    if (separator.empty()) throw InternalFault("empty separator in a set");
    separators_[size_] = separator;
    word_[size_] = is_alnum_word(separator);
    pipe_[size_] = separator == "|";
    stops_[static_cast<unsigned char>(separator[0])] = true;
    starting_[static_cast<unsigned char>(separator[0])] |= static_cast<uint8_t>(1u << size_);
    ++size_;
  }
}

ParseResult<SeparatorScan> SeparatorScan::of(const SpanString& text, const SeparatorSet& set,
                                             bool with_pieces) {
  SeparatorScan scan;
  std::array<size_t, SeparatorSet::kMax> resume{};  // each separator's occurrences never overlap
  const size_t last = set.size_ - 1;
  size_t piece_start = 0;
  // As is_whole reads it: the depth after the last reported byte (with no
  // fault, every status is ok).
  bool any = false;
  size_t last_depth = 0;
  const std::string_view v = text.view();
  Traverser t(text);
  while (true) {
    if (t.skip_plain(&set.stops_) > 0) {
      any = true;
      last_depth = t.depth();
    }
    const TraverseStep s = t.next();
    if (s.status == TraverseStatus::End) break;
    if (s.status != TraverseStatus::Ok)
      return ParsingException(kParenthesisMessage, one_char(text, s.position));
    any = true;
    last_depth = s.depth;
    const size_t p = s.position;
    if (s.depth != 0) {
      if (s.depth == 1) t.skip_inside();
      continue;
    }
    // Only the separators that start with this byte are tried, in order.
    for (unsigned starting = set.starting_[static_cast<unsigned char>(v[p])]; starting != 0;
         starting &= starting - 1) {
      const auto i = static_cast<size_t>(std::countr_zero(starting));
      const std::string_view separator = set.separators_[i];
      if (p < resume[i] || !cuts_at(v, p, separator, set.word_[i], set.pipe_[i])) continue;
      ++scan.counts[i];
      resume[i] = p + separator.size();
      if (i != last || !with_pieces) continue;
      if (scan.last_pieces.empty()) scan.last_pieces.reserve(4);
      scan.last_pieces.push_back(text.slice(piece_start, p));
      piece_start = p + separator.size();
    }
  }
  scan.whole = !any || last_depth == 0;
  if (with_pieces) scan.last_pieces.push_back(text.slice(piece_start, v.size()));
  return scan;
}

ParseResult<SeparatorSet::Counts> count_cuts_each(const SpanString& text, const SeparatorSet& set) {
  TRY(SeparatorScan scan, SeparatorScan::of(text, set, false));
  return scan.counts;
}

ParseResult<size_t> count_cuts(const SpanString& text, std::string_view separator) {
  if (separator.empty()) return size_t{0};
  size_t cuts = 0;
  const std::optional<size_t> fault = for_each_cut(text, separator, [&](size_t) { ++cuts; });
  if (fault) return ParsingException(kParenthesisMessage, one_char(text, *fault));
  return cuts;
}

ParseResult<std::optional<size_t>> last_cut(const SpanString& text, std::string_view separator) {
  std::optional<size_t> last;
  if (separator.empty()) return last;
  const std::optional<size_t> fault = for_each_cut(text, separator, [&](size_t at) { last = at; });
  if (fault) return ParsingException(kParenthesisMessage, one_char(text, *fault));
  return last;
}

ParseResult<std::optional<std::pair<SpanString, SpanString>>> split_at_only(const SpanString& text,
                                                                            std::string_view separator) {
  // Counted first: most texts tried do not hold the separator, and a count
  // builds no pieces.
  TRY(size_t cuts, count_cuts(text, separator));
  if (cuts != 1) return std::optional<std::pair<SpanString, SpanString>>();
  TRY(auto pieces, split(text, separator));
  return std::optional<std::pair<SpanString, SpanString>>(
      std::pair(std::move(pieces[0]), std::move(pieces[1])));
}

ParseResult<std::vector<SpanString>> split(const SpanString& text, std::string_view separator) {
  TRY(auto pieces, split_raw(text, separator));
  for (auto& piece : pieces) piece = strip(piece);
  return pieces;
}

ParseResult<std::pair<SpanString, SpanString>> split_in_two(const SpanString& text,
                                                            std::string_view separator) {
  TRY(auto pieces, split(text, separator));
  if (pieces.size() != 2)
    return ParsingException("I expected string to be split by " + std::string(separator) + " in two.", text);
  return std::pair<SpanString, SpanString>(pieces[0], pieces[1]);
}

ParseResult<std::vector<SpanString>> split_in_one_or_two(const SpanString& text, std::string_view separator) {
  TRY(auto pieces, split(text, separator));
  if (pieces.size() != 1 && pieces.size() != 2)
    return ParsingException(
        "String should have been split by " + std::string(separator) + " in 1 or 2 pieces.", text);
  return pieces;
}

ParseResult<std::optional<std::pair<SpanString, SpanString>>> split_at_first(const SpanString& text,
                                                                             std::string_view separator) {
  TRY(auto pieces, split_raw(text, separator));
  using Pair = std::pair<SpanString, SpanString>;
  if (pieces.size() < 2) return std::optional<Pair>();
  const SpanString& first = pieces[0];
  // The rest runs from just after the first separator to the end of the text.
  const size_t rest_from = first.stop() - text.start() + separator.size();
  SpanString rest = text.slice(rest_from, text.size());
  return std::optional<Pair>(Pair(strip(first), strip(rest)));
}

namespace {

// split, with the common case of no cut (the text alone, stripped) made
// without a list of its own.
template <class Each>
ParseResult<Unit> for_each_piece(const SpanString& text, std::string_view separator, Each&& each) {
  TRY(size_t cuts, count_cuts(text, separator));
  if (cuts == 0) return each(strip(text));
  TRY(auto pieces, split(text, separator));
  for (const SpanString& piece : pieces) TRY_VOID(each(piece));
  return Unit{};
}

}  // namespace

ParseResult<std::vector<SpanString>> split_on_whitespace(const SpanString& text) {
  std::vector<SpanString> result;
  TRY_VOID(for_each_piece(text, " ", [&](const SpanString& a) {
    return for_each_piece(a, "\n", [&](const SpanString& b) {
      return for_each_piece(b, "\t", [&](const SpanString& c) -> ParseResult<Unit> {
        if (!c.empty()) result.push_back(c);
        return Unit{};
      });
    });
  }));
  return result;
}

ParseResult<std::string> remove_comments(const SpanString& text) {
  const std::string_view v = text.view();
  std::string out;
  out.reserve(v.size());
  Traverser t(text);
  while (true) {
    const size_t from = t.position();
    if (const size_t plain = t.skip_plain()) out.append(v, from, plain);
    const TraverseStep s = t.next();
    if (s.status == TraverseStatus::End) break;
    if (s.status == TraverseStatus::Mismatch)
      return ParsingException(kParenthesisMessage, one_char(text, s.position));
    if (s.status == TraverseStatus::LineBreakInString)
      return ParsingException("End of line in string.", text.slice(s.position, s.position));
    out += v[s.position];
  }
  // A text that ends inside a bracket, string or backquoted name would lose
  // every statement after the opening; refuse it at the opening instead.
  if (auto open = t.outermost_unclosed()) return ParsingException(kParenthesisMessage, one_char(text, *open));
  return out;
}

}  // namespace mirtova
