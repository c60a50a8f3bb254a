#include "parser/span.h"

#include <gtest/gtest.h>

#include "parser/parsing_exception.h"

namespace mirtova {
namespace {

TEST(SpanTest, EmptyText) {
  SpanString s{std::string()};
  EXPECT_EQ(s.start(), 0u);
  EXPECT_EQ(s.stop(), 0u);
  auto [a, b, c] = s.pieces();
  EXPECT_TRUE(a.empty() && b.empty() && c.empty());
  // A default-made span, which holds no source, reads as an empty text too.
  const SpanString none;
  EXPECT_TRUE(none.view().empty() && none.source().empty());
  auto [d, e, f] = none.slice(1, 5).pieces();
  EXPECT_TRUE(d.empty() && e.empty() && f.empty());
}

TEST(SpanTest, SliceMovesOntoCharacterBoundaries) {
  SpanString s{
      std::string("ab\xc3\xa9"
                  "c")};
  SpanString end_after = s.slice(0, 3);
  EXPECT_EQ(end_after.stop(), 4u);
  SpanString start_before = s.slice(3, 5);
  EXPECT_EQ(start_before.start(), 2u);
  EXPECT_EQ(s.slice(1, 100).stop(), 5u);
}

TEST(SpanTest, SliceOfSliceCountsFromItsStart) {
  SpanString s{std::string(40, 'x')};
  SpanString inner = s.slice(10, 20);
  SpanString sub = inner.slice(2, 5);
  EXPECT_EQ(sub.start(), 12u);
  EXPECT_EQ(sub.stop(), 15u);
  EXPECT_EQ(inner.slice(5, 2).start(), 12u);  // from beyond to: empty at the stop
}

TEST(SpanTest, PiecesJoinToTheSource) {
  SpanString s{std::string("hello world")};
  auto mid = s.slice(3, 7);
  auto [a, b, c] = mid.pieces();
  EXPECT_EQ(std::string(a) + std::string(b) + std::string(c), "hello world");
  EXPECT_EQ(b, "lo w");
}

TEST(ParsingExceptionTest, ShowsExcerptAroundSpan) {
  SpanString s{std::string("abc def ghi")};
  ParsingException e("Bad.", s.slice(4, 7));
  EXPECT_EQ(e.show_message(), "Parsing:\nabc def ghi\n\n[ Error ] Bad.\n");
  ParsingException empty("Empty.", s.slice(4, 4));
  EXPECT_EQ(empty.show_message(), "Parsing:\nabc <EMPTY>def ghi\n\n[ Error ] Empty.\n");
}

TEST(ParsingExceptionTest, CutsEachSideTo300BytesOnCharacterBoundaries) {
  std::string before;
  for (int i = 0; i < 200; ++i) before += "\xc3\xa9";  // 400 bytes
  std::string text = before + "X" + std::string(500, 'y');
  SpanString s{text};
  ParsingException e("M", s.slice(before.size(), before.size() + 1));
  std::string shown = e.show_message();
  std::string expected =
      "Parsing:\n" + before.substr(100) + "X" + std::string(300, 'y') + "\n\n[ Error ] M\n";
  EXPECT_EQ(shown, expected);
}

}  // namespace
}  // namespace mirtova
