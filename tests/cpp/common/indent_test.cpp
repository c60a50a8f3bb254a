// Indentation of nested SQL: every non-empty line gains the spaces, empty lines
// and line ends stay as they were, and no line that starts inside a literal, a
// quoted name or a block comment gains anything.
#include <gtest/gtest.h>

#include "common/indent.h"

namespace mirtova {
namespace {

struct Row {
  const char* text;
  int spaces;
  const char* want;
};

void expect_rows(const SqlLexicon& lexicon, std::initializer_list<Row> rows) {
  for (const Row& row : rows) {
    EXPECT_EQ(indent(row.text, row.spaces, lexicon), row.want) << row.text;
    std::string out = "keep:";
    append_indented(out, row.text, row.spaces, lexicon);
    EXPECT_EQ(out, std::string("keep:") + row.want) << row.text;
    // What a caller reserves for the text is never too little.
    EXPECT_GE(indented_size(row.text, row.spaces), std::string_view(row.want).size()) << row.text;
  }
}

TEST(Indent, NonEmptyLinesOnly) {
  expect_rows(SqlLexicon{}, {
                                {"", 2, ""},
                                {"a", 2, "  a"},
                                {"a\n", 2, "  a\n"},
                                {"\n", 2, "\n"},
                                {"a\n\nb", 2, "  a\n\n  b"},
                                {"SELECT 1\nFROM t\n", 4, "    SELECT 1\n    FROM t\n"},
                                {"\n\na", 1, "\n\n a"},
                                {" x", 0, " x"},
                            });
}

// The forms every engine shares.
TEST(Indent, EnclosedLinesKeptAsWritten) {
  expect_rows(SqlLexicon{}, {
                                {"SELECT 'a\nb'\nFROM t", 2, "  SELECT 'a\nb'\n  FROM t"},
                                {"'it''s\nx' AS c\n,1", 1, " 'it''s\nx' AS c\n ,1"},
                                {"'a\\'\nb", 1, " 'a\\'\n b"},  // a backslash is no escape here
                                {"SELECT 1 AS \"x\ny\"\nFROM t", 2, "  SELECT 1 AS \"x\ny\"\n  FROM t"},
                                {"`a\nb`\nc", 2, "  `a\nb`\n  c"},
                                {"/* a\n'b */ 'c\nd'\ne", 2, "  /* a\n'b */ 'c\nd'\n  e"},
                                {"-- don't\nSELECT 'a\nb'", 2, "  -- don't\n  SELECT 'a\nb'"},
                                {"/* a /* b */\nc", 2, "  /* a /* b */\n  c"},
                                {"E'a\\'\nb'", 2, "  E'a\\'\n  b'"},
                                {"$$a\nb$$", 2, "  $$a\n  b$$"},
                                {"SELECT 'a\n\nb'", 2, "  SELECT 'a\n\nb'"},
                            });
}

TEST(Indent, EngineForms) {
  const SqlLexicon postgres{.escape_strings = true, .dollar_quotes = true, .nested_comments = true};
  expect_rows(postgres, {
                            {"E'a\\'\nb'\nc", 2, "  E'a\\'\nb'\n  c"},
                            {"e'\\\\'\nx", 2, "  e'\\\\'\n  x"},
                            {"NAME'a\\'\nb", 2, "  NAME'a\\'\n  b"},
                            {"$$a'\nb$$\nc", 2, "  $$a'\nb$$\n  c"},
                            {"$t$a$$\nb$t$\nc", 2, "  $t$a$$\nb$t$\n  c"},
                            {"$1\n'a'", 2, "  $1\n  'a'"},
                            {"x$y$\nz", 2, "  x$y$\n  z"},
                            {"/* a /* b */\nc */\nd", 2, "  /* a /* b */\nc */\n  d"},
                        });
  const SqlLexicon bigquery{.backslash_escapes = true,
                            .backslash_in_backquotes = true,
                            .triple_quotes = true,
                            .hash_comments = true};
  expect_rows(bigquery, {
                            {"\"a\\\"\nb\"\nc", 2, "  \"a\\\"\nb\"\n  c"},
                            {"'a\\'\nb'\nc", 2, "  'a\\'\nb'\n  c"},
                            {"`a\\`\nb`\nc", 2, "  `a\\`\nb`\n  c"},
                            {"'''a'\nb'''\nc", 2, "  '''a'\nb'''\n  c"},
                            {"# it's\n'a\nb'", 2, "  # it's\n  'a\nb'"},
                        });
  const SqlLexicon databricks{.backslash_escapes = true, .nested_comments = true};
  expect_rows(databricks, {
                              {"`a\\`\nb", 2, "  `a\\`\n  b"},
                              {"'a\\'\nb'\nc", 2, "  'a\\'\nb'\n  c"},
                          });
}

// Runs of bytes that open nothing, shorter and longer than any stride the
// scan takes, before and inside what encloses: every enclosure is still found.
TEST(Indent, LongPlainRuns) {
  const SqlLexicon lexicon{};
  for (size_t n : {1, 15, 16, 17, 31, 32, 33, 47}) {
    const std::string run(n, 'x');
    EXPECT_EQ(indent(run + "'a\nb'\n" + run, 2, lexicon), "  " + run + "'a\nb'\n  " + run) << n;
    EXPECT_EQ(indent("'" + run + "\n" + run + "'\n" + run, 2, lexicon),
              "  '" + run + "\n" + run + "'\n  " + run)
        << n;
    EXPECT_EQ(indent(run + "-- '\n" + run, 2, lexicon), "  " + run + "-- '\n  " + run) << n;
    EXPECT_EQ(indent(run + "/*" + run + "\n" + run + "*/\n" + run, 2, lexicon),
              "  " + run + "/*" + run + "\n" + run + "*/\n  " + run)
        << n;
    EXPECT_EQ(indent(run + "\n" + run + "\"" + run + "\n\"", 1, lexicon),
              " " + run + "\n " + run + "\"" + run + "\n\"")
        << n;
  }
}

}  // namespace
}  // namespace mirtova
