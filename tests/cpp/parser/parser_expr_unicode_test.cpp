#include <gtest/gtest.h>

#include "parser/unicode_tables.h"
#include "parser/utf8.h"
#include "support/parser_expr_test_util.h"

namespace mirtova {
namespace {

TEST(UnicodeTablesTest, Properties) {
  struct Case {
    char32_t c;
    bool alphabetic, uppercase, white_space, number_category, numeric_type;
    // clang-format off
  } cases[] = {
      {U'a', true, false, false, false, false},      {U'Z', true, true, false, false, false},
      {U'7', false, false, false, true, true},       {U'_', false, false, false, false, false},
      {U' ', false, false, true, false, false},      {U'\v', false, false, true, false, false},
      {0x85, false, false, true, false, false},      {0xA0, false, false, true, false, false},
      {0x3000, false, false, true, false, false},    {0x200B, false, false, false, false, false},
      {0xE9, true, false, false, false, false},      {0xC9, true, true, false, false, false},
      {0x2160, true, true, false, true, true},       // Roman numeral one: Nl, also Alphabetic and Uppercase
      {0x00BD, false, false, false, true, true},     // one half: No
      {0x0663, false, false, false, true, true},     // Arabic-Indic three: Nd
      {0x4E09, true, false, false, false, true},     // an ideograph with a numeric value, category Lo
      {0x1D400, true, true, false, false, false},    // mathematical bold capital A
      {0x10FFFF, false, false, false, false, false}, {0x110000, false, false, false, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(is_alphabetic(c.c), c.alphabetic) << std::hex << static_cast<uint32_t>(c.c);
    EXPECT_EQ(is_uppercase(c.c), c.uppercase) << std::hex << static_cast<uint32_t>(c.c);
    EXPECT_EQ(is_white_space(c.c), c.white_space) << std::hex << static_cast<uint32_t>(c.c);
    EXPECT_EQ(is_number_category(c.c), c.number_category) << std::hex << static_cast<uint32_t>(c.c);
    EXPECT_EQ(has_numeric_type(c.c), c.numeric_type) << std::hex << static_cast<uint32_t>(c.c);
  }
}
// clang-format on

TEST(Utf8Test, LossyRepairReplacesMaximalInvalidSubsequences) {
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"abc", "abc"},
      {"\xC3\xA9", "\u00e9"},
      {"\xFF", "\uFFFD"},
      {"\xC3", "\uFFFD"},
      {"\xE2\x82", "\uFFFD"},                // truncated three-byte sequence: one replacement
      {"\xE2\x82" "A", "\uFFFD" "A"},
      {"\xF0\x9F\x98\x80", "\U0001F600"},
      {"\xF0\x9F\x98", "\uFFFD"},
      {"\xC0\xAF", "\uFFFD\uFFFD"},          // overlong lead opens nothing
      {"\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
      {"\xF4\x90\x80\x80", "\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\x80\x80", "\uFFFD\uFFFD"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(to_valid_utf8(c.in), c.out) << c.in;
}

TEST(Utf8Test, TrimUnicodeWhiteSpace) {
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"  a b  ", "a b"},
      {"\u00A0\u3000a\u2028", "a"},
      {"\v a \v", "a"},
      {"\u200Ba", "\u200Ba"},  // zero width space is no White_Space
      {"\u00A0", ""},
      {"a\xFF", "a\xFF"},
      {"\xA0", "\xA0"},  // a lone continuation byte is kept, not read as U+00A0
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(trim_unicode_white_space(c.in), c.out) << c.in;
}

TEST(Utf8Test, FieldNameAcceptanceIgnoresUnicodeWhiteSpace) {
  auto r = parse_record_internals(expr_test::text_of("\u00A0a: 1"), false, false);
  ASSERT_TRUE(r.ok()) << r.error().message;
  EXPECT_EQ(r.value().at("field_value").as_array().at(0).at("field").as_str(), "\u00A0a");
}

}  // namespace
}  // namespace mirtova
