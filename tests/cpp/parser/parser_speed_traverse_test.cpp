// The text layer passes over plain bytes in bulk; these tests hold it to a
// byte-by-byte reading of the same traversal on texts full of the bytes that
// change state, where a wrong stop table or a missed state shows at once.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "parser/nesting.h"
#include "parser/traverse.h"

namespace mirtova {
namespace {

SpanString S(std::string text) { return SpanString(std::move(text)); }

// ---- byte-by-byte references: every byte through Traverser::next ----

bool is_word_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool is_alnum_word(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

// The cut positions, or the position of the first faulty byte as {-1 - p}.
std::vector<long> reference_cuts(std::string_view v, std::string_view separator) {
  std::vector<long> cuts;
  const bool word = is_alnum_word(separator);
  const bool pipe = separator == "|";
  Traverser t(v);
  size_t resume = 0;
  for (TraverseStep s = t.next(); s.status != TraverseStatus::End; s = t.next()) {
    if (s.status != TraverseStatus::Ok) return {-1 - static_cast<long>(s.position)};
    const size_t p = s.position;
    if (s.depth != 0 || p < resume || v.substr(p, separator.size()) != separator) continue;
    const size_t end = p + separator.size();
    if (word && ((p > 0 && is_word_byte(v[p - 1])) || (end < v.size() && is_word_byte(v[end])))) continue;
    if (pipe && ((p > 0 && v[p - 1] == '|') || (end < v.size() && v[end] == '|'))) continue;
    cuts.push_back(static_cast<long>(p));
    resume = end;
  }
  return cuts;
}

// As reference_cuts, from the span's start.
std::vector<long> cuts_in(const SpanString& text, std::string_view separator) {
  const long start = static_cast<long>(text.start());
  auto pieces = split_raw(text, separator);
  if (!pieces.ok()) return {-1 - (static_cast<long>(pieces.error().span.start()) - start)};
  std::vector<long> cuts;
  const auto& got = pieces.value();
  for (size_t i = 0; i + 1 < got.size(); ++i) cuts.push_back(static_cast<long>(got[i].stop()) - start);
  return cuts;
}

std::vector<long> cuts_of(const std::string& text, std::string_view separator) {
  return cuts_in(S(text), separator);
}

bool reference_is_whole(std::string_view v) {
  Traverser t(v);
  TraverseStep last;
  bool any = false;
  for (TraverseStep s = t.next(); s.status != TraverseStatus::End; s = t.next()) {
    last = s;
    any = true;
  }
  return !any || (last.status == TraverseStatus::Ok && last.depth == 0);
}

// Deepest depth any byte reaches, the first byte past `limit`, the bytes kept
// outside comments and the first fault: one reading gives them all.
struct Reading {
  size_t first_past_limit = std::string::npos;
  std::string kept;
  long fault = 0;  // 0, or -1 - position of the first faulty byte
};

Reading reference_reading(std::string_view v, size_t limit) {
  Reading r;
  Traverser t(v);
  for (TraverseStep s = t.next(); s.status != TraverseStatus::End; s = t.next()) {
    if (s.depth > limit && r.first_past_limit == std::string::npos) r.first_past_limit = s.position;
    if (s.status != TraverseStatus::Ok && r.fault == 0) r.fault = -1 - static_cast<long>(s.position);
    if (r.fault == 0) r.kept += v[s.position];
  }
  if (r.fault == 0)
    if (auto open = t.outermost_unclosed()) r.fault = -1 - static_cast<long>(*open);
  return r;
}

// Texts made mostly of bytes that open, close, quote, escape or comment.
std::vector<std::string> random_texts(size_t count, size_t max_length, unsigned seed) {
  static const std::string alphabet = "()[]{}\"'`\\#/*\n ab,|:-=~;e";
  std::mt19937 rng(seed);
  std::vector<std::string> out;
  for (size_t i = 0; i < count; ++i) {
    const size_t length = rng() % (max_length + 1);
    std::string text;
    for (size_t k = 0; k < length; ++k) text += alphabet[rng() % alphabet.size()];
    out.push_back(text);
  }
  return out;
}

// Hand-picked texts where each state ends or starts right at a stop.
const std::vector<std::string>& edge_texts() {
  // clang-format off
  static const std::vector<std::string> texts = {
      "", "a", "(", ")", "\"\"\"", "\"\"\"a\"\"\"b,c", "\"\"\"a\"\"b\"\"\",c", "'\\'',x", "'\\", "`(`,(`)`)",
      "a/*,*/b,c", "a/*,", "a/,b", "a#,\n,b", "a#,", "\"a\nb\",c", "[\"]\",']'],x", "{a,(b,[c,{d}])},e",
      "((((((((((((((((((((a,b))))))))))))))))))),c",  // deeper than the inline stack
      "x else y elsewhere else_z", "a || b | c", "a:-b:-c", "a---b", "a=>b", "f(x) = y",
  };
  // clang-format on
  return texts;
}

TEST(ParserSpeedTraverseTest, SplitsCutWhereTheByteByByteReadingDoes) {
  const std::vector<std::string> separators = {",",    "|",       ":-", "=>", "=", "-->",
                                               "else", "else if", ";",  "~",  "\n"};
  std::vector<std::string> texts = random_texts(4000, 40, 7);
  for (const std::string& t : edge_texts()) texts.push_back(t);
  for (const std::string& text : texts)
    for (const std::string& separator : separators)
      ASSERT_EQ(cuts_of(text, separator), reference_cuts(text, separator))
          << "[" << text << "] by [" << separator << "]";
}

TEST(ParserSpeedTraverseTest, WholenessNestingAndCommentsMatchTheByteByByteReading) {
  std::vector<std::string> texts = random_texts(4000, 40, 11);
  for (const std::string& t : edge_texts()) texts.push_back(t);
  for (const std::string& text : texts) {
    EXPECT_EQ(is_whole(S(text)), reference_is_whole(text)) << text;

    const Reading want = reference_reading(text, 250);
    auto kept = remove_comments(S(text));
    if (want.fault != 0) {
      ASSERT_FALSE(kept.ok()) << text;
      EXPECT_EQ(-1 - static_cast<long>(kept.error().span.start()), want.fault) << text;
    } else {
      ASSERT_TRUE(kept.ok()) << text;
      EXPECT_EQ(kept.value(), want.kept) << text;
    }
  }
}

// A statement's long brackets are passed over at once; every span of it reads
// as its bytes alone do, wherever it starts (inside a string, past an opening)
// and whatever breaks inside the brackets.
TEST(ParserSpeedTraverseTest, SpansOfAnIndexedStatementReadAsTheirBytesAlone) {
  const std::string pad(70, ' ');
  const std::vector<std::string> pieces = random_texts(600, 12, 13);
  std::vector<std::string> texts;
  for (size_t i = 0; i + 2 < pieces.size(); i += 3)
    texts.push_back(pieces[i] + "{a, (" + pieces[i + 1] + pad + "), [" + pad + "]}" + pieces[i + 2] + "(" +
                    pad + ")");
  for (const std::string& t : edge_texts()) texts.push_back("(" + t + pad + ")," + t);
  for (const std::string& text : texts) {
    const SpanString indexed = indexed_source(text);
    for (size_t from = 0; from < text.size(); from += 3)
      for (size_t to : {text.size(), text.size() - 1, from + 80}) {
        if (to > text.size() || to < from) continue;
        const SpanString span = indexed.slice(from, to);
        const std::string alone = span.to_string();
        ASSERT_EQ(is_whole(span), reference_is_whole(alone)) << "[" << alone << "]";
        for (std::string_view separator : {",", ":-", "|"})
          ASSERT_EQ(cuts_in(span, separator), reference_cuts(alone, separator)) << "[" << alone << "]";
      }
  }
}

TEST(ParserSpeedTraverseTest, NestingFaultsAtTheFirstByteTooDeep) {
  struct Case {
    std::string text;
    size_t fault;  // npos when the text is not too deep
  } cases[] = {
      {std::string(250, '(') + "a", std::string::npos},
      {std::string(251, '('), 250},
      {"ab" + std::string(250, '[') + "cd(", 254},
      {"\"" + std::string(300, '(') + "\"", std::string::npos},
      {"#" + std::string(300, '(') + "\n" + std::string(251, '{'), 302 + 250},
  };
  for (const Case& c : cases) {
    auto result = check_nesting(S(c.text));
    EXPECT_EQ(result.ok(), c.fault == std::string::npos) << c.text.size();
    if (!result.ok()) {
      EXPECT_EQ(result.error().span.start(), c.fault) << c.text.size();
    }
    EXPECT_EQ(reference_reading(c.text, 250).first_past_limit, c.fault) << c.text.size();
  }
}

TEST(ParserSpeedTraverseTest, SeparatorSetsCountAsEachSeparatorAlone) {
  const SeparatorSet sets[] = {
      SeparatorSet({"|", ",", "=>", "==", " in ", "=", "~"}),
      SeparatorSet({":", "?"}),
      SeparatorSet({"else", "e", "else if", "\n", "-", "--", "-->", ";"}),
  };
  std::vector<std::string> texts = random_texts(3000, 40, 17);
  for (const std::string& t : edge_texts()) texts.push_back(t);
  for (const char* t : {"a ==== b", "x in y in z", "a => b => c", "elseelse else", "a|||b"})
    texts.push_back(t);
  for (const SeparatorSet& set : sets) {
    for (const std::string& text : texts) {
      auto together = count_cuts_each(S(text), set);
      for (size_t i = 0; i < set.size(); ++i) {
        auto alone = count_cuts(S(text), set[i]);
        ASSERT_EQ(together.ok(), alone.ok()) << text;
        if (!alone.ok()) {
          EXPECT_EQ(together.error().span.start(), alone.error().span.start()) << text;
          EXPECT_EQ(together.error().message, alone.error().message) << text;
          continue;
        }
        EXPECT_EQ(together.value()[i], alone.value()) << "[" << text << "] by [" << set[i] << "]";
        EXPECT_EQ(alone.value() + 1, split_raw(S(text), set[i]).value().size()) << text;
      }
      // The same traversal tells wholeness and the pieces at the last separator.
      auto scan = SeparatorScan::of(S(text), set, true);
      ASSERT_EQ(scan.ok(), together.ok()) << text;
      if (!scan.ok()) continue;
      EXPECT_EQ(scan.value().whole, is_whole(S(text))) << text;
      std::vector<std::pair<size_t, size_t>> got, want;
      for (const SpanString& p : scan.value().last_pieces) got.emplace_back(p.start(), p.stop());
      const auto pieces = split_raw(S(text), set[set.size() - 1]);
      for (const SpanString& p : pieces.value()) want.emplace_back(p.start(), p.stop());
      EXPECT_EQ(got, want) << text;
    }
  }
}

// Cut at top-level blanks level by level, every level through split.
ParseResult<std::vector<std::string>> reference_words(const SpanString& text) {
  std::vector<std::string> out;
  TRY(auto by_space, split(text, " "));
  for (const auto& a : by_space) {
    TRY(auto by_line, split(a, "\n"));
    for (const auto& b : by_line) {
      TRY(auto by_tab, split(b, "\t"));
      for (const auto& c : by_tab)
        if (!c.empty()) out.push_back(c.to_string());
    }
  }
  return out;
}

TEST(ParserSpeedTraverseTest, WordsMatchLevelByLevelSplits) {
  std::vector<std::string> texts = random_texts(3000, 30, 13);
  for (const char* t : {"a  b\n\"c d\"\tf(e g)", "(a\nb) c", " ( a ) ", "x\t(y z)\n(w", "a ! = b"})
    texts.push_back(t);
  for (std::string& text : texts)
    for (char& c : text)
      if (c == 'e') c = '\t';  // tabs too
  for (const std::string& text : texts) {
    auto got = split_on_whitespace(S(text));
    auto want = reference_words(S(text));
    ASSERT_EQ(got.ok(), want.ok()) << text;
    if (!got.ok()) {
      EXPECT_EQ(got.error().span.start(), want.error().span.start()) << text;
      continue;
    }
    std::vector<std::string> words;
    for (const SpanString& w : got.value()) words.push_back(w.to_string());
    EXPECT_EQ(words, want.value()) << text;
  }
}

}  // namespace
}  // namespace mirtova
