// Indentation of nested SQL: every non-empty line gains the spaces, empty lines
// and line ends stay as they were.
#include <gtest/gtest.h>

#include "common/indent.h"

namespace mirtova {
namespace {

TEST(Indent, NonEmptyLinesOnly) {
  struct Row {
    const char* text;
    int spaces;
    const char* want;
  };
  const Row rows[] = {
      {"", 2, ""},
      {"a", 2, "  a"},
      {"a\n", 2, "  a\n"},
      {"\n", 2, "\n"},
      {"a\n\nb", 2, "  a\n\n  b"},
      {"SELECT 1\nFROM t\n", 4, "    SELECT 1\n    FROM t\n"},
      {"\n\na", 1, "\n\n a"},
      {" x", 0, " x"},
      // A line that continues a quoted text is part of its value.
      {"SELECT 'x\ny' AS u\nFROM t", 2, "  SELECT 'x\ny' AS u\n  FROM t"},
      {"SELECT \"it''s\n\", 'a''\nb'\nc", 2, "  SELECT \"it''s\n\", 'a''\nb'\n  c"},
      {"SELECT 'a\\'\nb'\nc", 2, "  SELECT 'a\\'\nb'\n  c"},
      {"`a\nb` AS x\ny", 2, "  `a\nb` AS x\n  y"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(indent(row.text, row.spaces), row.want) << row.text;
    std::string out = "keep:";
    append_indented(out, row.text, row.spaces);
    EXPECT_EQ(out, std::string("keep:") + row.want) << row.text;
  }
}

}  // namespace
}  // namespace mirtova
