// Line indentation that steps over what SQL encloses.
#include "common/indent.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mirtova {

namespace {

// The bytes that may open something outside: a comment, a quote or a dollar tag.
constexpr std::string_view kOpeners = "-#/'\"`$";

constexpr std::array<bool, 256> kMayOpen = [] {
  std::array<bool, 256> may{};
  for (const unsigned char c : kOpeners) may[c] = true;
  return may;
}();

// The first byte of data[at, end) that may open something; `end` when none
// does. Sixteen bytes at a time where the machine compares them so: a script
// runs to megabytes, nearly all of it bytes that open nothing.
size_t next_opener(const char* data, size_t at, size_t end) {
#if defined(__SSE2__)
  while (end - at >= 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    __m128i hits = _mm_setzero_si128();
    for (const char c : kOpeners) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(c)));
    if (const int mask = _mm_movemask_epi8(hits); mask != 0)
      return at + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(mask)));
    at += 16;
  }
#endif
  while (at < end && !kMayOpen[static_cast<unsigned char>(data[at])]) ++at;
  return at;
}

bool is_name_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}

// Reads SQL text from the front, one token boundary at a time, and tells after
// each line break whether the next line starts inside a literal, a quoted name
// or a block comment.
class EnclosureScanner {
 public:
  EnclosureScanner(std::string_view text, const SqlLexicon& lexicon) : text_(text), lexicon_(lexicon) {}

  // Reads up to and including the byte at `line_break`; whether that leaves
  // the scan inside something enclosed.
  bool enclosed_after(size_t line_break) {
    while (at_ <= line_break) {
      skip_plain(line_break + 1);
      if (at_ <= line_break) step();
    }
    return state_ != State::Outside && state_ != State::LineComment;
  }

  // Where what opens at `at` ends; `at` where nothing opens there.
  size_t enclosure_end(size_t at) {
    at_ = at;
    step();
    if (state_ == State::Outside) return at;
    while (state_ != State::Outside && at_ < text_.size()) {
      skip_plain(text_.size());
      if (at_ < text_.size()) step();
    }
    return std::min(at_, text_.size());
  }

 private:
  enum class State { Outside, Quoted, Dollar, LineComment, BlockComment };

  bool starts(std::string_view token) const { return text_.substr(at_, token.size()) == token; }
  char byte(size_t offset) const { return at_ + offset < text_.size() ? text_[at_ + offset] : '\0'; }

  // Moves, short of `end`, over the bytes that step() would only move over:
  // most bytes of a script open and close nothing.
  void skip_plain(size_t end) {
    const char* const data = text_.data();
    switch (state_) {
      case State::Outside:
        at_ = next_opener(data, at_, end);
        return;
      case State::Quoted:
        while (at_ < end && data[at_] != quote_ && data[at_] != '\\') ++at_;
        return;
      case State::Dollar:
        while (at_ < end && data[at_] != '$') ++at_;
        return;
      case State::LineComment:
        while (at_ < end && data[at_] != '\n') ++at_;
        return;
      case State::BlockComment:
        while (at_ < end && data[at_] != '*' && data[at_] != '/') ++at_;
        return;
    }
  }

  void step() {
    const char c = text_[at_];
    switch (state_) {
      case State::Outside:
        return step_outside(c);
      case State::Quoted:
        if (backslash_ && c == '\\') {
          at_ += 2;
        } else if (c != quote_) {
          ++at_;
        } else if (triple_) {
          if (byte(1) == c && byte(2) == c) {
            state_ = State::Outside;
            at_ += 3;
          } else {
            ++at_;
          }
        } else if (byte(1) == c) {
          at_ += 2;  // a doubled quote stands for itself
        } else {
          state_ = State::Outside;
          ++at_;
        }
        return;
      case State::Dollar:
        if (c == '$' && starts(dollar_tag_)) {
          state_ = State::Outside;
          at_ += dollar_tag_.size();
        } else {
          ++at_;
        }
        return;
      case State::LineComment:
        if (c == '\n') state_ = State::Outside;
        ++at_;
        return;
      case State::BlockComment:
        if (c == '*' && byte(1) == '/') {
          if (--comment_depth_ == 0) state_ = State::Outside;
          at_ += 2;
        } else if (c == '/' && byte(1) == '*' && lexicon_.nested_comments) {
          ++comment_depth_;
          at_ += 2;
        } else {
          ++at_;
        }
        return;
    }
  }

  void step_outside(char c) {
    if ((c == '-' && byte(1) == '-') || (c == '#' && lexicon_.hash_comments)) {
      state_ = State::LineComment;
      ++at_;
    } else if (c == '/' && byte(1) == '*') {
      state_ = State::BlockComment;
      comment_depth_ = 1;
      at_ += 2;
    } else if (c == '\'' || c == '"' || c == '`') {
      state_ = State::Quoted;
      quote_ = c;
      triple_ = lexicon_.triple_quotes && c != '`' && byte(1) == c && byte(2) == c;
      backslash_ =
          c == '`' ? lexicon_.backslash_in_backquotes
                   : lexicon_.backslash_escapes || (c == '\'' && lexicon_.escape_strings && after_e_prefix());
      at_ += triple_ ? 3 : 1;
    } else if (c == '$' && lexicon_.dollar_quotes && (at_ == 0 || !is_name_byte(text_[at_ - 1]))) {
      // A tag is a name that does not start with a digit ($1 is a parameter).
      size_t end = at_ + 1;
      while (end < text_.size() && is_name_byte(text_[end]) &&
             !(end == at_ + 1 && text_[end] >= '0' && text_[end] <= '9'))
        ++end;
      if (end < text_.size() && text_[end] == '$') {
        state_ = State::Dollar;
        dollar_tag_ = text_.substr(at_, end + 1 - at_);
        at_ = end + 1;
      } else {
        ++at_;
      }
    } else {
      ++at_;
    }
  }

  // An E or e standing alone before the quote at at_.
  bool after_e_prefix() const {
    if (at_ == 0 || (text_[at_ - 1] != 'E' && text_[at_ - 1] != 'e')) return false;
    return at_ == 1 || !is_name_byte(text_[at_ - 2]);
  }

  std::string_view text_;
  const SqlLexicon& lexicon_;
  size_t at_ = 0;
  State state_ = State::Outside;
  char quote_ = '\0';
  bool triple_ = false;
  bool backslash_ = false;
  std::string_view dollar_tag_;
  size_t comment_depth_ = 0;
};

}  // namespace

void append_indented(std::string& out, std::string_view text, int spaces, const SqlLexicon& lexicon) {
  // Whole lines at a time: the text of a large program runs to megabytes.
  out.reserve(out.size() + indented_size(text, spaces));
  EnclosureScanner scanner(text, lexicon);
  bool enclosed = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    // An empty line stays empty.
    if (end > start && !enclosed) out.append(static_cast<size_t>(spaces), ' ');
    out.append(text.data() + start, end - start);
    if (end == text.size()) break;
    out += '\n';
    enclosed = scanner.enclosed_after(end);
    start = end + 1;
  }
}

size_t enclosure_end(std::string_view text, size_t at, const SqlLexicon& lexicon) {
  return EnclosureScanner(text, lexicon).enclosure_end(at);
}

size_t closing_bracket(std::string_view text, size_t at, const SqlLexicon& lexicon) {
  int depth = 0;
  for (size_t i = at; i < text.size(); ++i) {
    const char c = text[i];
    if (const size_t end = enclosure_end(text, i, lexicon); end != i) {
      i = end - 1;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return i;
    }
  }
  return text.size();
}

std::vector<size_t> top_level_places(std::string_view text, std::string_view token,
                                     const SqlLexicon& lexicon) {
  std::vector<size_t> places;
  for (size_t i = 0; i < text.size(); ++i) {
    if (const size_t end = enclosure_end(text, i, lexicon); end != i) {
      i = end - 1;
    } else if (text[i] == '(') {
      i = closing_bracket(text, i, lexicon);
    } else if (text.substr(i, token.size()) == token) {
      places.push_back(i);
    }
  }
  return places;
}

size_t indented_size(std::string_view text, int spaces) {
  size_t lines = 1;
  for (const char *at = text.data(), *end = at + text.size();
       (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)))) != nullptr; ++at)
    ++lines;
  return text.size() + lines * static_cast<size_t>(spaces);
}

std::string indent(std::string_view text, int spaces, const SqlLexicon& lexicon) {
  std::string out;
  append_indented(out, text, spaces, lexicon);
  return out;
}

}  // namespace mirtova
