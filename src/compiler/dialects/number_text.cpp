#include "compiler/dialects/number_text.h"

#include <string>

#include "compiler/dialects/quoting.h"

namespace mirtova {

namespace {

// The CASE arms that pick the number of decimals from the count of digits of the
// integer part, so that 15 significant digits are kept: n from `first` to `last`
// rounds to 15 - n decimals at the given DECIMAL scale.
std::string digit_arms(int first, int last, std::string_view scale) {
  std::string out;
  for (int n = first; n <= last; ++n) {
    out += " WHEN " + std::to_string(n) + " THEN CAST(ROUND(mirtova_t, " + std::to_string(15 - n) +
           ") AS DECIMAL(38," + std::string(scale) + "))";
  }
  return out;
}

}  // namespace

// Every template tests, in order: NULL; |v| < 5e-16 gives "0"; a whole |v| < 1e18
// prints as a 64-bit integer; |v| >= 1e38 prints as the engine prints a double;
// below 1 it rounds to 15 decimals; otherwise to 15 significant digits. DuckDB's
// and PostgreSQL's test v against both bounds: ABS of the least integer of its
// type overflows there. DuckDB's bound is an integer: an integer next below 1e18
// would meet the double 1e18 as that double.

std::string duckdb_number_text() {
  return std::string(
             "list_transform([{0}], mirtova_v -> (CASE WHEN mirtova_v IS NULL THEN NULL WHEN "
             "mirtova_v < 0.0000000000000005 AND mirtova_v > -0.0000000000000005 THEN '0' WHEN mirtova_v = "
             "FLOOR(mirtova_v) AND "
             "mirtova_v < 1000000000000000000 AND mirtova_v > -1000000000000000000 THEN CAST(CAST(mirtova_v "
             "AS BIGINT) AS VARCHAR) WHEN "
             "(mirtova_v >= 1e38 OR mirtova_v <= -1e38) THEN CAST(mirtova_v AS VARCHAR) WHEN mirtova_v < 1 "
             "AND mirtova_v > -1 THEN "
             "TRIM(TRAILING '.' FROM TRIM(TRAILING '0' FROM CAST(CAST(ROUND(CAST(CAST(mirtova_v "
             "AS VARCHAR) AS DECIMAL(38,35)), 15) AS DECIMAL(38,35)) AS VARCHAR))) WHEN "
             "mirtova_v < 1000000000000000000 AND mirtova_v > -1000000000000000000 THEN "
             "list_transform([CAST(CAST(mirtova_v AS VARCHAR) AS "
             "DECIMAL(38,20))], mirtova_t -> TRIM(TRAILING '.' FROM TRIM(TRAILING '0' FROM "
             "CAST(CASE LENGTH(CAST(CAST(FLOOR(ABS(mirtova_t)) AS BIGINT) AS VARCHAR))") +
         digit_arms(1, 18, "20") +
         " END AS VARCHAR))))[1] ELSE list_transform([CAST(CAST(mirtova_v AS VARCHAR) AS "
         "DECIMAL(38,0))], mirtova_t -> CAST(CASE LENGTH(CAST(ABS(mirtova_t) AS VARCHAR))" +
         digit_arms(19, 38, "0") + " END AS VARCHAR))[1] END))[1]";
}

// Below 1 the value is rounded as |v| + 1 so that its text always has an integer
// digit, and the text is rebuilt from the sign, that digit less 1 and the rest.
// Spark's FLOOR of a double is a BIGINT, which overflows from 2^63 on: the
// remainder by 1 tells a whole number without it.
std::string databricks_number_text() {
  return std::string(
             "transform(array({0}), mirtova_v -> (CASE WHEN mirtova_v IS NULL THEN NULL WHEN "
             "ABS(mirtova_v) < 0.0000000000000005 THEN '0' WHEN mirtova_v % 1 = 0 AND "
             "ABS(mirtova_v) < 1e18 THEN CAST(CAST(mirtova_v AS BIGINT) AS STRING) WHEN "
             "ABS(mirtova_v) >= 1e38 THEN CAST(mirtova_v AS STRING) WHEN ABS(mirtova_v) < 1 THEN "
             "TRIM(TRAILING '.' FROM TRIM(TRAILING '0' FROM "
             "transform(array(CAST(ROUND(ABS(CAST(CAST(mirtova_v AS STRING) AS DECIMAL(38,35))), "
             "15) AS DECIMAL(37,15)) + CAST(1 AS DECIMAL(37,15))), mirtova_u -> concat(CASE WHEN "
             "mirtova_v < 0 THEN '-' ELSE '' END, CAST(CAST(mirtova_u AS BIGINT) - 1 AS STRING), "
             "substr(CAST(mirtova_u AS STRING), 2)))[0])) WHEN ABS(mirtova_v) < 1e18 THEN "
             "transform(array(CAST(CAST(mirtova_v AS STRING) AS DECIMAL(38,20))), mirtova_t -> "
             "TRIM(TRAILING '.' FROM TRIM(TRAILING '0' FROM CAST(CASE "
             "LENGTH(CAST(CAST(FLOOR(ABS(mirtova_t)) AS BIGINT) AS STRING))") +
         digit_arms(1, 18, "20") +
         " END AS STRING))))[0] ELSE transform(array(CAST(CAST(mirtova_v AS STRING) AS "
         "DECIMAL(38,0))), mirtova_t -> CAST(CASE LENGTH(CAST(ABS(mirtova_t) AS STRING))" +
         digit_arms(19, 38, "0") + " END AS STRING))[0] END))[0]";
}

std::string_view presto_number_text() {
  return "element_at(transform(ARRAY[{0}], mirtova_v -> (CASE WHEN mirtova_v IS NULL THEN "
         "NULL WHEN ABS(mirtova_v) < 0.0000000000000005 THEN '0' WHEN mirtova_v = "
         "FLOOR(mirtova_v) AND ABS(mirtova_v) < 1e18 THEN CAST(CAST(mirtova_v AS BIGINT) AS "
         "VARCHAR) WHEN ABS(mirtova_v) >= 1e38 THEN CAST(mirtova_v AS VARCHAR) WHEN "
         "ABS(mirtova_v) < 1 THEN rtrim(rtrim(CAST(CAST(ROUND(CAST(CAST(mirtova_v AS VARCHAR) "
         "AS DECIMAL(38,35)), 15) AS DECIMAL(38,35)) AS VARCHAR), '0'), '.') WHEN "
         "ABS(mirtova_v) < 1e18 THEN rtrim(rtrim(CAST(CAST(ROUND(CAST(CAST(mirtova_v AS "
         "VARCHAR) AS DECIMAL(38,20)), CAST(15 - "
         "LENGTH(CAST(CAST(FLOOR(ABS(CAST(CAST(mirtova_v AS VARCHAR) AS DECIMAL(38,20)))) AS "
         "BIGINT) AS VARCHAR)) AS INTEGER)) AS DECIMAL(38,20)) AS VARCHAR), '0'), '.') ELSE "
         "CAST(CAST(ROUND(CAST(CAST(mirtova_v AS VARCHAR) AS DECIMAL(38,0)), CAST(15 - "
         "LENGTH(CAST(ABS(CAST(CAST(mirtova_v AS VARCHAR) AS DECIMAL(38,0))) AS VARCHAR)) AS "
         "INTEGER)) AS DECIMAL(38,0)) AS VARCHAR) END)), 1)";
}

std::string_view trino_number_text() {
  return "element_at(transform(ARRAY[{0}], mirtova_v -> (CASE WHEN mirtova_v IS NULL THEN "
         "NULL WHEN ABS(mirtova_v) < 0.0000000000000005 THEN '0' WHEN mirtova_v = "
         "FLOOR(mirtova_v) AND ABS(mirtova_v) < 1e18 THEN CAST(CAST(mirtova_v AS BIGINT) AS "
         "VARCHAR) WHEN ABS(mirtova_v) >= 1e38 THEN CAST(mirtova_v AS VARCHAR) WHEN "
         "ABS(mirtova_v) < 1 THEN TRIM(TRAILING '.' FROM TRIM(TRAILING '0' FROM "
         "CAST(CAST(ROUND(CAST(CAST(mirtova_v AS VARCHAR) AS DECIMAL(38,35)), 15) AS "
         "DECIMAL(38,35)) AS VARCHAR))) WHEN ABS(mirtova_v) < 1e18 THEN TRIM(TRAILING '.' "
         "FROM TRIM(TRAILING '0' FROM CAST(CAST(ROUND(CAST(CAST(mirtova_v AS VARCHAR) AS "
         "DECIMAL(38,20)), CAST(15 - LENGTH(CAST(CAST(FLOOR(ABS(CAST(CAST(mirtova_v AS "
         "VARCHAR) AS DECIMAL(38,20)))) AS BIGINT) AS VARCHAR)) AS INTEGER)) AS "
         "DECIMAL(38,20)) AS VARCHAR))) ELSE CAST(CAST(ROUND(CAST(CAST(mirtova_v AS VARCHAR) "
         "AS DECIMAL(38,0)), CAST(15 - LENGTH(CAST(ABS(CAST(CAST(mirtova_v AS VARCHAR) AS "
         "DECIMAL(38,0))) AS VARCHAR)) AS INTEGER)) AS DECIMAL(38,0)) AS VARCHAR) END)), 1)";
}

std::string_view psql_number_text() {
  return "(SELECT (CASE WHEN mirtova_v IS NULL THEN NULL WHEN mirtova_v < "
         "0.0000000000000005 AND mirtova_v > -0.0000000000000005 THEN '0' WHEN mirtova_v = FLOOR(mirtova_v) "
         "AND mirtova_v < "
         "1e18 AND mirtova_v > -1e18 THEN CAST(CAST(mirtova_v AS BIGINT) AS TEXT) WHEN (mirtova_v >= 1e38 OR "
         "mirtova_v <= -1e38) THEN "
         "CAST(mirtova_v AS TEXT) WHEN mirtova_v < 1 AND mirtova_v > -1 THEN TRIM(TRAILING '.' FROM "
         "TRIM(TRAILING '0' FROM CAST(ROUND(CAST(CAST(mirtova_v AS TEXT) AS numeric), 15) AS "
         "TEXT))) WHEN mirtova_v < 1e18 AND mirtova_v > -1e18 THEN TRIM(TRAILING '.' FROM TRIM(TRAILING '0' "
         "FROM CAST(CAST(ROUND(CAST(CAST(mirtova_v AS TEXT) AS numeric), 15 - "
         "LENGTH(CAST(FLOOR(ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric))) AS TEXT))) AS "
         "DECIMAL(38,20)) AS TEXT))) ELSE CAST(CAST(ROUND(CAST(CAST(mirtova_v AS TEXT) AS "
         "numeric), 15 - LENGTH(CAST(FLOOR(ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric))) AS "
         "TEXT))) AS DECIMAL(38,0)) AS TEXT) END) FROM (SELECT {0} AS mirtova_v) AS mirtova_n)";
}

std::string_view bigquery_number_text() {
  return "(SELECT (CASE WHEN mirtova_v IS NULL THEN NULL WHEN ABS(mirtova_v) < "
         "0.0000000000000005 THEN '0' WHEN mirtova_v = FLOOR(mirtova_v) AND ABS(mirtova_v) < "
         "1e18 THEN CAST(CAST(mirtova_v AS INT64) AS STRING) WHEN ABS(mirtova_v) >= 1e38 THEN "
         "CAST(mirtova_v AS STRING) WHEN ABS(mirtova_v) < 1 THEN "
         "CAST(ROUND(CAST(CAST(mirtova_v AS STRING) AS BIGNUMERIC), 15) AS STRING) ELSE "
         "CAST(ROUND(CAST(CAST(mirtova_v AS STRING) AS BIGNUMERIC), 15 - "
         "LENGTH(CAST(CAST(FLOOR(ABS(CAST(CAST(mirtova_v AS STRING) AS BIGNUMERIC))) AS "
         "BIGNUMERIC) AS STRING))) AS STRING) END) FROM UNNEST([{0}]) AS mirtova_v)";
}

// The host registers MIRTOVA_NUMBER_TEXT in the engine and does the ladder there.
std::string_view sqlite_number_text() { return "MIRTOVA_NUMBER_TEXT({0})"; }

std::string round_to_digits_template(const Dialect& dialect) {
  const std::string a = "CAST(mirtova_v AS " + std::string(dialect.double_type()) + ")";
  const std::string b = "FLOOR(" + std::string(dialect.log10_function()) + "(ABS(" + a + ")))";
  const std::string c = "(CASE WHEN " + a + " < 0 THEN -1 ELSE 1 END)";
  const std::string d = "(CASE WHEN mirtova_v IS NULL OR {1} IS NULL THEN NULL WHEN " + a + " = 0 THEN " + a +
                        " WHEN " + b + " - 14 + {1} >= 0 THEN " + c + " * FLOOR(ABS(" + a + ") / POWER(10, " +
                        b + " - 14) + 0.5) * POWER(10, " + b + " - 14) + 0 ELSE " + c + " * FLOOR(ABS(" + a +
                        ") * POWER(10, {1}) + 0.5 + 0.5 * POWER(10, " + b +
                        " - 14 + {1})) / POWER(10, {1}) + 0 END)";
  return replace_all(dialect.bind_value(), "{body}", d);
}

}  // namespace mirtova
