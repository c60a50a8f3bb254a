#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "compiler/dialects/dialect.h"
#include "compiler/dialects/quoting.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

std::unique_ptr<Dialect> dialect(std::string_view engine) { return Dialect::get(engine_of(engine)); }

// Tricky texts and their string literals. The "standard" column is the literal of
// duckdb, presto, trino and sqlite; tests/python/test_dialect_literals.py runs the
// same rows on real duckdb and sqlite and reads the original text back.
struct LiteralRow {
  std::string text;
  std::string standard;
  std::string psql;
  std::string bigquery;
  std::string databricks;
};

// clang-format off
const LiteralRow kLiteralRows[] = {
    {"", "''", "''", R"("")", R"("")"},
    {"plain", "'plain'", "'plain'", R"("plain")", R"("plain")"},
    {"it's", "'it''s'", "'it''s'", R"("it's")", R"("it's")"},
    {"''", "''''''", "''''''", R"("''")", R"("''")"},
    {R"(say "hi")", R"('say "hi"')", R"('say "hi"')", R"("say \u0022hi\u0022")",
     R"("say \u0022hi\u0022")"},
    {R"(back\slash)", R"('back\slash')", R"(E'back\\slash')", R"("back\\slash")",
     R"("back\\slash")"},
    {R"(\')", R"('\''')", R"(E'\\''')", R"("\\'")", R"("\\'")"},
    {R"(\")", R"('\"')", R"(E'\\"')", R"("\\\u0022")", R"("\\\u0022")"},
    {R"(\u0022)", R"('\u0022')", R"(E'\\u0022')", R"("\\u0022")", R"("\\u0022")"},
    {R"(trailing\)", R"('trailing\')", R"(E'trailing\\')", R"("trailing\\")",
     R"("trailing\\")"},
    {"line\nbreak\ttab", "'line\nbreak\ttab'", "'line\nbreak\ttab'", R"("line\nbreak)" "\t" R"(tab")",
     "\"line\nbreak\ttab\""},
    {"cr\r\nlf", "'cr\r\nlf'", "'cr\r\nlf'", R"("cr\r\nlf")", "\"cr\r\nlf\""},
    {"h\xC3\xA9llo \xE2\x98\x83 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
     "'h\xC3\xA9llo \xE2\x98\x83 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80'",
     "'h\xC3\xA9llo \xE2\x98\x83 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80'",
     "\"h\xC3\xA9llo \xE2\x98\x83 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\"",
     "\"h\xC3\xA9llo \xE2\x98\x83 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80\""},
    {"$1 ${x}", "'$1 ${x}'", "'$1 ${x}'", R"("$1 ${x}")", R"("\u00241 \u0024{x}")"},
    {"-- no comment /* */ ;", "'-- no comment /* */ ;'", "'-- no comment /* */ ;'",
     R"("-- no comment /* */ ;")", R"("-- no comment /* */ ;")"},
    {"%s {0} {body}", "'%s {0} {body}'", "'%s {0} {body}'", R"("%s {0} {body}")",
     R"("%s {0} {body}")"},
    {R"(' OR '1'='1)", R"(''' OR ''1''=''1')", R"(''' OR ''1''=''1')", R"("' OR '1'='1")",
     R"("' OR '1'='1")"},
};
// clang-format on

TEST(DialectsQuotingTest, StringLiteralsPerEngine) {
  const char* const standard_engines[] = {"duckdb", "presto", "trino", "sqlite"};
  auto psql = dialect("psql");
  auto bigquery = dialect("bigquery");
  auto databricks = dialect("databricks");
  for (const LiteralRow& row : kLiteralRows) {
    for (const char* engine : standard_engines) {
      EXPECT_EQ(dialect(engine)->str_literal(row.text), row.standard) << engine << " " << row.text;
    }
    EXPECT_EQ(psql->str_literal(row.text), row.psql) << row.text;
    EXPECT_EQ(bigquery->str_literal(row.text), row.bigquery) << row.text;
    EXPECT_EQ(databricks->str_literal(row.text), row.databricks) << row.text;
    // BigQuery's literal is the shared one but for the line breaks it escapes.
    if (row.text.find_first_of("\n\r") == std::string::npos) {
      EXPECT_EQ(backslash_escaped_literal(row.text), row.bigquery) << row.text;
    }
  }
}

TEST(DialectsQuotingTest, SqlColumn) {
  struct Row {
    std::string name;
    std::string duckdb;      // also presto, trino, psql, sqlite
    std::string backquoted;  // databricks
    std::string bigquery;
  };
  // clang-format off
  const Row rows[] = {
      {"col0", "col0", "col0", "col0"},
      {"quoril_value", "quoril_value", "quoril_value", "quoril_value"},
      {"_", "_", "_", "_"},
      {"Limit_1", "Limit_1", "Limit_1", "Limit_1"},
      {"orders", "orders", "orders", "orders"},
      {"", R"("")", "``", "``"},
      {"1a", R"("1a")", "`1a`", "`1a`"},
      {"a-b", R"("a-b")", "`a-b`", "`a-b`"},
      {"a.b", R"("a.b")", "`a.b`", "`a.b`"},
      {"a b", R"("a b")", "`a b`", "`a b`"},
      {"caf\xC3\xA9", "\"caf\xC3\xA9\"", "`caf\xC3\xA9`", "`caf\xC3\xA9`"},
      {"\xC3\xA9t\xC3\xA9", "\"\xC3\xA9t\xC3\xA9\"", "`\xC3\xA9t\xC3\xA9`", "`\xC3\xA9t\xC3\xA9`"},
      {"order", R"("order")", "`order`", "`order`"},
      {"Order", R"("Order")", "`Order`", "`Order`"},
      {"ORDER", R"("ORDER")", "`ORDER`", "`ORDER`"},
      {"current_timestamp", R"("current_timestamp")", "`current_timestamp`",
       "`current_timestamp`"},
      {"Variadic", R"("Variadic")", "`Variadic`", "`Variadic`"},
      {"json_table", R"("json_table")", "`json_table`", "`json_table`"},
      {R"(a"b)", R"("a""b")", R"(`a"b`)", R"(`a"b`)"},
      {"a`b", R"("a`b")", "`a``b`", R"(`a\`b`)"},
      {R"(a\b)", R"("a\b")", R"(`a\b`)", R"(`a\\b`)"},
      {R"(\`)", R"("\`")", R"(`\```)", R"(`\\\``)"},
  };
  // clang-format on
  const char* const double_quoting[] = {"duckdb", "presto", "trino", "psql", "sqlite"};
  auto databricks = dialect("databricks");
  auto bigquery = dialect("bigquery");
  for (const Row& row : rows) {
    for (const char* engine : double_quoting) {
      EXPECT_EQ(sql_column(row.name, *dialect(engine)), row.duckdb) << engine << " " << row.name;
    }
    EXPECT_EQ(sql_column(row.name, *databricks), row.backquoted) << row.name;
    EXPECT_EQ(sql_column(row.name, *bigquery), row.bigquery) << row.name;
  }
}

TEST(DialectsQuotingTest, ReservedWords) {
  const auto& words = sql_reserved_words();
  EXPECT_EQ(std::set<std::string_view>(words.begin(), words.end()).size(), 129u);
  EXPECT_EQ(words.front(), "ALL");
  EXPECT_EQ(words.back(), "VARIADIC");
  for (std::string_view word : words) {
    std::string lower(word);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(is_sql_reserved_word(word)) << word;
    EXPECT_TRUE(is_sql_reserved_word(lower)) << lower;
  }
  struct Row {
    std::string word;
    bool reserved;
  };
  // clang-format off
  const Row rows[] = {
      {"sElEcT", true},  {"Current_Date", true}, {"selects", false}, {"selec", false},
      {"", false},       {"select ", false},     {" AS", false},     {"a", false},
      // Only ASCII letters fold: a dotless capital I is another byte sequence.
      {"L\xC4\xB0MIT", false}, {std::string("LIMIT\0", 6), false},
  };
  // clang-format on
  for (const Row& row : rows) EXPECT_EQ(is_sql_reserved_word(row.word), row.reserved) << row.word;
}

TEST(DialectsQuotingTest, QuoteIdentifierAndRegexCondition) {
  struct Row {
    const char* engine;
    std::string name;
    std::string identifier;
    std::string pattern;
    std::string condition;  // of the expression x and the pattern
  };
  const Row rows[] = {
      {"duckdb", "a\"b", R"("a""b")", "it's", R"(regexp_matches(x, 'it''s'))"},
      {"presto", "t", R"("t")", "a|b", R"(REGEXP_LIKE(x, 'a|b'))"},
      {"trino", "", R"("")", "", R"(REGEXP_LIKE(x, ''))"},
      {"psql", R"(a\b)", R"("a\b")", R"(\d+)", R"(x ~ E'\\d+')"},
      {"psql", "plain", R"("plain")", "^a.*'", R"(x ~ '^a.*''')"},
      {"sqlite", "x\"\"", R"("x""""")", R"(\w)", R"(x REGEXP '\w')"},
      {"databricks", "a`b", "`a``b`", "$x\"", R"(REGEXP_LIKE(x, "\u0024x\u0022"))"},
      {"bigquery", R"(a\`b)", R"(`a\\\`b`)", R"(\d")", R"(REGEXP_CONTAINS(x, "\\d\u0022"))"},
  };
  for (const Row& row : rows) {
    auto d = dialect(row.engine);
    EXPECT_EQ(d->quote_identifier(row.name), row.identifier) << row.engine << " " << row.name;
    EXPECT_EQ(d->regex_match_condition("x", row.pattern), row.condition) << row.engine << " " << row.pattern;
  }
}

}  // namespace
}  // namespace mirtova
