#include <gtest/gtest.h>

#include <string>

#include "assertion/report.h"

namespace mirtova::assertion {
namespace {

// The host's tests hold the cases a Python string can carry; these are the
// ones only the core sees: bytes that are no UTF-8 and the quote parameter.
TEST(ReportQuotingTest, EscapeHandlesAnyBytesAndAnyQuote) {
  struct Case {
    std::string text;
    std::optional<char> quote;
    std::string escaped;
  } cases[] = {
      {"a'b\"c", '\'', "a\\'b\"c"},
      {"a'b\"c", std::nullopt, "a'b\"c"},
      {"\\\t\n\r\x01\x7f", std::nullopt, "\\\\\\t\\n\\r\\u{0001}\\u{007f}"},
      {"\xFF"
       "a\xE2\x82",
       '"',
       "\uFFFD"
       "a\uFFFD"},
      {"\u200B\uFEFF\uFFFB\uFFFC\U0010FFFF", std::nullopt, "\\u{200b}\\u{feff}\\u{fffb}\uFFFC\U0010FFFF"},
  };
  for (const Case& c : cases) {
    std::string out = ">";
    escape(c.text, c.quote, out);
    EXPECT_EQ(out, ">" + c.escaped) << c.text;
  }
  EXPECT_EQ(quote_value(std::string(199, 'a') + "\xFF\xFF"),
            "\"" + std::string(199, 'a') + "\uFFFD\"\u2026 (1 more characters)");
  EXPECT_EQ(statement_text("\xFF  \xFF"), "\uFFFD \uFFFD");
}

}  // namespace
}  // namespace mirtova::assertion
