#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "compiler/dialects/dialect.h"
#include "compiler/dialects/number_text.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

std::unique_ptr<Dialect> dialect(std::string_view engine) { return Dialect::get(engine_of(engine)); }

size_t count(std::string_view text, std::string_view part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(DialectsNumbersTest, FloatLiterals) {
  struct Row {
    const char* engine;
    const char* text;
    const char* sql;
  };
  const Row rows[] = {
      {"duckdb", "1.5", "1.5E0"},
      {"duckdb", "1.5e3", "1.5e3"},
      {"duckdb", "2.0E-7", "2.0E-7"},
      {"duckdb", "-0.25", "-0.25E0"},
      {"databricks", "1.5", "1.5E0"},
      {"presto", "3.25", "3.25E0"},
      {"trino", "3.25e1", "3.25e1"},
      {"psql", "1.5", "CAST(1.5 AS double precision)"},
      {"psql", "-1.5e10", "CAST(-1.5e10 AS double precision)"},
      {"bigquery", "1.5", "1.5"},
      {"sqlite", "0.1", "0.1"},
      {"sqlite", "1.5", "1.5"},
      {"sqlite", "1.0e22", "1.0e22"},
      {"sqlite", "0.30000000000000004", "(CAST(1351079888211149 AS REAL) / 4503599627370496)"},
      {"sqlite", "-2.5e40", "(-((CAST(5169878828456423 AS REAL) * 4611686018427387904) * 1048576))"},
      {"sqlite", "1.0e-30",
       "(((CAST(178405961588245 AS REAL) / 4611686018427387904) / 4611686018427387904) / "
       "8388608)"},
      // 16 significant digits below 2^53 read exactly; the exponent still decides.
      {"sqlite", "9007199254740.991", "9007199254740.991"},
      {"sqlite", "1.5e+3", "1.5e+3"},
      // Zero and values that do not read as a finite double are left as written.
      {"sqlite", "0.000000000000000000000000000000", "0.000000000000000000000000000000"},
      {"sqlite", "1.0e400", "1.0e400"},
      {"sqlite", "1.0e99999999999999999999", "1.0e99999999999999999999"},
      {"sqlite", "1.2.3", "1.2.3"},
      {"sqlite", "-", "-"},
      {"sqlite", "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(dialect(row.engine)->float_literal(row.text), row.sql) << row.engine << " " << row.text;
  }
}

// PostgreSQL reads a bare exponent as an exact numeric: a double unless a
// product could overflow, which raises there.
TEST(DialectsNumbersTest, ExponentLiterals) {
  struct Row {
    const char* engine;
    const char* text;
    const char* sql;
  };
  const Row rows[] = {
      {"psql", "1e16", "CAST(1e16 AS double precision)"},
      {"psql", "-2E3", "CAST(-2E3 AS double precision)"},
      {"psql", "+1e5", "CAST(+1e5 AS double precision)"},
      {"psql", "0e999", "CAST(0e999 AS double precision)"},
      {"psql", "1e154", "1e154"},
      {"psql", "-1e308", "-1e308"},
      {"psql", "1e400", "1e400"},
      {"psql", "1e-320", "1e-320"},
      {"duckdb", "1e16", "1e16"},
      {"sqlite", "1e16", "1e16"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(dialect(row.engine)->exponent_literal(row.text), row.sql) << row.engine << " " << row.text;
  }
}

TEST(DialectsNumbersTest, NumberToTextTemplates) {
  struct Row {
    const char* engine;
    size_t length;
    std::string opening;
    std::string closing;
  };
  const Row rows[] = {
      {"duckdb", 3228, "list_transform([{0}], mirtova_v -> (CASE WHEN mirtova_v IS NULL",
       " WHEN 38 THEN CAST(ROUND(mirtova_t, -23) AS DECIMAL(38,0)) END AS VARCHAR))[1] END))[1]"},
      // Spark tells a whole number by its remainder: its FLOOR overflows past 2^63.
      {"databricks", 3239, "transform(array({0}), mirtova_v -> (CASE WHEN mirtova_v IS NULL",
       " WHEN 38 THEN CAST(ROUND(mirtova_t, -23) AS DECIMAL(38,0)) END AS STRING))[0] END))[0]"},
      {"presto", 955, "element_at(transform(ARRAY[{0}], mirtova_v -> (CASE", "AS VARCHAR) END)), 1)"},
      {"trino", 1003, "element_at(transform(ARRAY[{0}], mirtova_v -> (CASE", "AS VARCHAR) END)), 1)"},
      {"psql", 967, "(SELECT (CASE WHEN mirtova_v IS NULL",
       " END) FROM (SELECT {0} AS mirtova_v) AS mirtova_n)"},
      {"sqlite", 24, "MIRTOVA_NUMBER_TEXT({0})", "MIRTOVA_NUMBER_TEXT({0})"},
      {"bigquery", 583, "(SELECT (CASE WHEN mirtova_v IS NULL", " END) FROM UNNEST([{0}]) AS mirtova_v)"},
  };
  for (const Row& row : rows) {
    std::optional<std::string> text = dialect(row.engine)->number_to_string();
    ASSERT_TRUE(text.has_value()) << row.engine;
    EXPECT_EQ(text->size(), row.length) << row.engine;
    EXPECT_EQ(text->substr(0, row.opening.size()), row.opening) << row.engine;
    EXPECT_EQ(text->substr(text->size() - row.closing.size()), row.closing) << row.engine;
    EXPECT_EQ(count(*text, "{0}"), 1u) << row.engine;
  }
  const std::string duckdb = *dialect("duckdb")->number_to_string();
  EXPECT_EQ(count(duckdb, " WHEN 1 THEN CAST(ROUND(mirtova_t, 14) AS DECIMAL(38,20))"), 1u);
  EXPECT_EQ(count(duckdb, " WHEN 18 THEN CAST(ROUND(mirtova_t, -3) AS DECIMAL(38,20)) END"), 1u);
  EXPECT_EQ(count(duckdb, " WHEN 19 THEN CAST(ROUND(mirtova_t, -4) AS DECIMAL(38,0))"), 1u);
  EXPECT_EQ(count(duckdb, "THEN CAST(ROUND(mirtova_t, "), 38u);
  const std::string trino = *dialect("trino")->number_to_string();
  EXPECT_EQ(count(trino, "rtrim"), 0u);
  EXPECT_EQ(count(*dialect("presto")->number_to_string(), "rtrim"), 4u);
}

TEST(DialectsNumbersTest, RoundToDigits) {
  const std::string a = "CAST(mirtova_v AS REAL)";
  const std::string b = "FLOOR(LOG10(ABS(" + a + ")))";
  const std::string c = "(CASE WHEN " + a + " < 0 THEN -1 ELSE 1 END)";
  const std::string sqlite_expected =
      "(WITH mirtova_once(mirtova_v) AS (VALUES ({0})) SELECT (CASE WHEN mirtova_v IS NULL OR {1} IS NULL "
      "THEN "
      "NULL WHEN " +
      a + " = 0 THEN " + a + " WHEN " + b + " - 14 + {1} >= 0 THEN " + c + " * FLOOR(ABS(" + a +
      ") / POWER(10, " + b + " - 14) + 0.5) * POWER(10, " + b + " - 14) + 0 ELSE " + c + " * FLOOR(ABS(" + a +
      ") * POWER(10, {1}) + 0.5 + 0.5 * POWER(10, " + b + " - 14 + {1})) / POWER(10, {1}) + 0 " +
      "END) FROM mirtova_once)";
  EXPECT_EQ(round_to_digits_template(*dialect("sqlite")), sqlite_expected);

  struct Row {
    const char* engine;
    std::string cast;
    std::string log10;
    std::string opening;
  };
  // clang-format off
  const Row rows[] = {
      {"duckdb", "CAST(mirtova_v AS DOUBLE)", "FLOOR(LOG10(", "list_transform([{0}], mirtova_v -> (CASE"},
      {"databricks", "CAST(mirtova_v AS DOUBLE)", "FLOOR(LOG10(", "transform(array({0}), mirtova_v -> (CASE"},
      {"presto", "CAST(mirtova_v AS DOUBLE)", "FLOOR(LOG10(", "element_at(transform(ARRAY[{0}], mirtova_v -> (CASE"},
      {"trino", "CAST(mirtova_v AS DOUBLE)", "FLOOR(LOG10(", "element_at(transform(ARRAY[{0}], mirtova_v -> (CASE"},
      {"psql", "CAST(mirtova_v AS double precision)", "FLOOR(LOG(", "(SELECT (CASE"},
      {"bigquery", "CAST(mirtova_v AS FLOAT64)", "FLOOR(LOG10(", "(SELECT (CASE"},
  };
  // clang-format on
  for (const Row& row : rows) {
    const std::string t = round_to_digits_template(*dialect(row.engine));
    EXPECT_EQ(t.substr(0, row.opening.size()), row.opening) << row.engine;
    EXPECT_EQ(count(t, row.cast), 10u) << row.engine;
    EXPECT_EQ(count(t, row.log10), 4u) << row.engine;
    EXPECT_EQ(count(t, "{0}"), 1u) << row.engine;
    EXPECT_EQ(count(t, "{1}"), 5u) << row.engine;
    EXPECT_EQ(count(t, "{body}"), 0u) << row.engine;
  }
}

}  // namespace
}  // namespace mirtova
