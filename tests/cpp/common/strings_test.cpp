// ASCII case: only A-Z and a-z change; every other byte, UTF-8 included, stays.
#include "common/strings.h"

#include <gtest/gtest.h>

namespace mirtova {
namespace {

TEST(Strings, AsciiCase) {
  struct Row {
    const char* text;
    const char* lower;
  };
  const Row rows[] = {
      {"", ""},
      {"SELECT", "select"},
      {"MiXeD_09", "mixed_09"},
      {"\xC3\x89t\xC3\xA9", "\xC3\x89t\xC3\xA9"},  // É and é keep their bytes
      {"@[`{", "@[`{"},                            // the bytes around A-Z and a-z
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ascii_lower(row.text), row.lower) << row.text;
    EXPECT_TRUE(equals_ascii_lower(row.text, row.lower)) << row.text;
  }
  EXPECT_FALSE(equals_ascii_lower("Desc", "des"));
  EXPECT_FALSE(equals_ascii_lower("DESK", "desc"));
  EXPECT_EQ(ascii_upper('a'), 'A');
  EXPECT_EQ(ascii_upper('{'), '{');
}

}  // namespace
}  // namespace mirtova
