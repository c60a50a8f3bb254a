// Number functions of the catalogue in the own SQL of Databricks, DuckDB, PostgreSQL, SQLite, Trino and
// Presto.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows databricks_number_rows() {
  // clang-format off
  return {
      // isnan takes a missing number for one that is not NaN.
      {"IsNan", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE isnan({0}) END))t"},
      {"IsInf", R"t((abs(CAST({0} AS DOUBLE)) = CAST('Infinity' AS DOUBLE)))t"},
      // Spark in ANSI mode fails a division by zero, of doubles too: the IEEE
      // results are written out. A divisor's sign is read from its text, so -0 counts.
      {"IeeeDivide", R"t((CASE WHEN CAST({1} AS DOUBLE) = 0 THEN (CASE WHEN CAST({0} AS DOUBLE) = 0 OR isnan(CAST({0} AS DOUBLE)) THEN CAST('NaN' AS DOUBLE) WHEN (CAST({0} AS DOUBLE) > 0) = (CAST(CAST({1} AS DOUBLE) AS STRING) NOT LIKE '-%') THEN CAST('Infinity' AS DOUBLE) ELSE CAST('-Infinity' AS DOUBLE) END) ELSE CAST({0} AS DOUBLE) / CAST({1} AS DOUBLE) END))t"},
      // The engine's own overflow check on integers (try_ gives NULL), in 64 bits
      // (a literal would be a 32-bit integer); a float result that overflows comes
      // out infinite and is NULL as well. Each argument is bound once by a lambda:
      // the check reads it three times, and nested calls would grow as a power.
      {"SafeAdd", R"t(zip_with(array({0}), array({1}), (mirtova_a0, mirtova_a1) -> (CASE WHEN abs(CAST(try_add(CAST(0 AS BIGINT) + (mirtova_a0), mirtova_a1) AS DOUBLE)) = CAST('Infinity' AS DOUBLE) AND abs(CAST(mirtova_a0 AS DOUBLE)) != CAST('Infinity' AS DOUBLE) AND abs(CAST(mirtova_a1 AS DOUBLE)) != CAST('Infinity' AS DOUBLE) THEN NULL ELSE try_add(CAST(0 AS BIGINT) + (mirtova_a0), mirtova_a1) END))[0])t"},
      {"SafeSubtract", R"t(zip_with(array({0}), array({1}), (mirtova_a0, mirtova_a1) -> (CASE WHEN abs(CAST(try_subtract(CAST(0 AS BIGINT) + (mirtova_a0), mirtova_a1) AS DOUBLE)) = CAST('Infinity' AS DOUBLE) AND abs(CAST(mirtova_a0 AS DOUBLE)) != CAST('Infinity' AS DOUBLE) AND abs(CAST(mirtova_a1 AS DOUBLE)) != CAST('Infinity' AS DOUBLE) THEN NULL ELSE try_subtract(CAST(0 AS BIGINT) + (mirtova_a0), mirtova_a1) END))[0])t"},
      {"SafeMultiply", R"t(zip_with(array({0}), array({1}), (mirtova_a0, mirtova_a1) -> (CASE WHEN abs(CAST(try_multiply(CAST(0 AS BIGINT) + (mirtova_a0), mirtova_a1) AS DOUBLE)) = CAST('Infinity' AS DOUBLE) AND abs(CAST(mirtova_a0 AS DOUBLE)) != CAST('Infinity' AS DOUBLE) AND abs(CAST(mirtova_a1 AS DOUBLE)) != CAST('Infinity' AS DOUBLE) THEN NULL ELSE try_multiply(CAST(0 AS BIGINT) + (mirtova_a0), mirtova_a1) END))[0])t"},
      {"SafeNegate", R"t(try_multiply(CAST(-1 AS BIGINT), {0}))t"},
      {"SafeDivide", R"t((CASE WHEN abs(try_divide(CAST({0} AS DOUBLE), CAST({1} AS DOUBLE))) = CAST('Infinity' AS DOUBLE) AND abs(CAST({0} AS DOUBLE)) != CAST('Infinity' AS DOUBLE) THEN NULL ELSE try_divide(CAST({0} AS DOUBLE), CAST({1} AS DOUBLE)) END))t"},
      // The count of boundaries at or below the point: its bucket in a sorted array.
      {"RangeBucket", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE array_size(filter({1}, mirtova_e -> mirtova_e <= {0})) END))t"},
      // A literal is a 32-bit integer to Spark: counted as 64 bits, as everywhere.
      {"BitCount", R"t(bit_count(CAST({0} AS BIGINT)))t"},
      // The low 32 bits, read as signed.
      {"BitCastToInt32", R"t((CASE WHEN (CAST({0} AS BIGINT) & 4294967295) >= 2147483648 THEN (CAST({0} AS BIGINT) & 4294967295) - 4294967296 ELSE CAST({0} AS BIGINT) & 4294967295 END))t"},
      {"BitCastToUint32", R"t((CAST({0} AS BIGINT) & 4294967295))t"},
      {"BitCastToInt64", R"t(CAST((CASE WHEN CAST({0} AS DECIMAL(20, 0)) >= 9223372036854775808 THEN CAST({0} AS DECIMAL(20, 0)) - 18446744073709551616 ELSE CAST({0} AS DECIMAL(20, 0)) END) AS BIGINT))t"},
      {"BitCastToUint64", R"t(CAST((CASE WHEN {0} < 0 THEN CAST({0} AS DECIMAL(21, 0)) + 18446744073709551616 ELSE CAST({0} AS DECIMAL(21, 0)) END) AS DECIMAL(20, 0)))t"},
  };
  // clang-format on
}

TemplateRows duckdb_number_rows() {
  // clang-format off
  return {
      {"IsNan", R"t(isnan({0}))t"},
      {"IsInf", R"t(isinf({0}))t"},
      {"IeeeDivide", R"t((CAST({0} AS DOUBLE) / CAST({1} AS DOUBLE)))t"},
      // A literal is a 32-bit integer to DuckDB: counted as 64 bits, as everywhere.
      {"BitCount", R"t(bit_count(CAST({0} AS BIGINT)))t"},
      // The engine's own overflow check on integers (try gives NULL), in 64 bits
      // (a literal would be a 32-bit integer); a float sum that overflows comes
      // out infinite and is NULL as well. Each argument is bound once by a lambda:
      // the check reads it three times, and nested calls would grow as a power.
      {"SafeAdd", R"t(list_transform([{0}], mirtova_a0 -> list_transform([{1}], mirtova_a1 -> (CASE WHEN isinf(CAST(try((CAST(0 AS BIGINT) + (mirtova_a0)) + (mirtova_a1)) AS DOUBLE)) AND NOT isinf(CAST(mirtova_a0 AS DOUBLE)) AND NOT isinf(CAST(mirtova_a1 AS DOUBLE)) THEN NULL ELSE try((CAST(0 AS BIGINT) + (mirtova_a0)) + (mirtova_a1)) END))[1])[1])t"},
      {"SafeSubtract", R"t(list_transform([{0}], mirtova_a0 -> list_transform([{1}], mirtova_a1 -> (CASE WHEN isinf(CAST(try((CAST(0 AS BIGINT) + (mirtova_a0)) - (mirtova_a1)) AS DOUBLE)) AND NOT isinf(CAST(mirtova_a0 AS DOUBLE)) AND NOT isinf(CAST(mirtova_a1 AS DOUBLE)) THEN NULL ELSE try((CAST(0 AS BIGINT) + (mirtova_a0)) - (mirtova_a1)) END))[1])[1])t"},
      {"SafeMultiply", R"t(list_transform([{0}], mirtova_a0 -> list_transform([{1}], mirtova_a1 -> (CASE WHEN isinf(CAST(try((CAST(0 AS BIGINT) + (mirtova_a0)) * (mirtova_a1)) AS DOUBLE)) AND NOT isinf(CAST(mirtova_a0 AS DOUBLE)) AND NOT isinf(CAST(mirtova_a1 AS DOUBLE)) THEN NULL ELSE try((CAST(0 AS BIGINT) + (mirtova_a0)) * (mirtova_a1)) END))[1])[1])t"},
      {"SafeNegate", R"t(try(- (CAST(0 AS BIGINT) + ({0}))))t"},
      {"SafeDivide", R"t((CASE WHEN isinf(CAST({0} AS DOUBLE) / NULLIF(CAST({1} AS DOUBLE), 0)) AND NOT isinf(CAST({0} AS DOUBLE)) THEN NULL ELSE CAST({0} AS DOUBLE) / NULLIF(CAST({1} AS DOUBLE), 0) END))t"},
      // The count of boundaries at or below the point: its bucket in a sorted array.
      {"RangeBucket", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE len(list_filter({1}, mirtova_e -> mirtova_e <= {0})) END))t"},
      // The low 32 bits, read as signed.
      {"BitCastToInt32", R"t((CASE WHEN (({0}) & 4294967295) >= 2147483648 THEN (({0}) & 4294967295) - 4294967296 ELSE ({0}) & 4294967295 END))t"},
      {"BitCastToUint32", R"t((({0}) & 4294967295))t"},
      {"BitCastToInt64", R"t(CAST((CASE WHEN ({0}) >= 9223372036854775808 THEN CAST({0} AS HUGEINT) - 18446744073709551616 ELSE CAST({0} AS HUGEINT) END) AS BIGINT))t"},
      {"BitCastToUint64", R"t(CAST((CASE WHEN ({0}) < 0 THEN CAST({0} AS HUGEINT) + 18446744073709551616 ELSE CAST({0} AS HUGEINT) END) AS UBIGINT))t"},
  };
  // clang-format on
}

TemplateRows presto_trino_number_rows() {
  // clang-format off
  return {
      {"IsNan", R"t(is_nan(CAST({0} AS DOUBLE)))t"},
      {"IsInf", R"t(is_infinite(CAST({0} AS DOUBLE)))t"},
      {"IeeeDivide", R"t((CAST({0} AS DOUBLE) / CAST({1} AS DOUBLE)))t"},
      {"BitCount", R"t(bit_count(CAST({0} AS BIGINT), 64))t"},
      // The engine's own overflow check on integers (try gives NULL), in 64 bits
      // (a literal would be a 32-bit integer); a float sum that overflows comes
      // out infinite and is NULL as well. Each argument is bound once by a lambda:
      // the check reads it three times, and nested calls would grow as a power.
      {"SafeAdd", R"t(element_at(zip_with(ARRAY[{0}], ARRAY[{1}], (mirtova_a0, mirtova_a1) -> (CASE WHEN is_infinite(CAST(try((CAST(0 AS BIGINT) + (mirtova_a0)) + (mirtova_a1)) AS DOUBLE)) AND NOT is_infinite(CAST(mirtova_a0 AS DOUBLE)) AND NOT is_infinite(CAST(mirtova_a1 AS DOUBLE)) THEN NULL ELSE try((CAST(0 AS BIGINT) + (mirtova_a0)) + (mirtova_a1)) END)), 1))t"},
      {"SafeSubtract", R"t(element_at(zip_with(ARRAY[{0}], ARRAY[{1}], (mirtova_a0, mirtova_a1) -> (CASE WHEN is_infinite(CAST(try((CAST(0 AS BIGINT) + (mirtova_a0)) - (mirtova_a1)) AS DOUBLE)) AND NOT is_infinite(CAST(mirtova_a0 AS DOUBLE)) AND NOT is_infinite(CAST(mirtova_a1 AS DOUBLE)) THEN NULL ELSE try((CAST(0 AS BIGINT) + (mirtova_a0)) - (mirtova_a1)) END)), 1))t"},
      {"SafeMultiply", R"t(element_at(zip_with(ARRAY[{0}], ARRAY[{1}], (mirtova_a0, mirtova_a1) -> (CASE WHEN is_infinite(CAST(try((CAST(0 AS BIGINT) + (mirtova_a0)) * (mirtova_a1)) AS DOUBLE)) AND NOT is_infinite(CAST(mirtova_a0 AS DOUBLE)) AND NOT is_infinite(CAST(mirtova_a1 AS DOUBLE)) THEN NULL ELSE try((CAST(0 AS BIGINT) + (mirtova_a0)) * (mirtova_a1)) END)), 1))t"},
      {"SafeNegate", R"t(try(- (CAST(0 AS BIGINT) + ({0}))))t"},
      {"SafeDivide", R"t((CASE WHEN is_infinite(CAST({0} AS DOUBLE) / NULLIF(CAST({1} AS DOUBLE), 0)) AND NOT is_infinite(CAST({0} AS DOUBLE)) THEN NULL ELSE CAST({0} AS DOUBLE) / NULLIF(CAST({1} AS DOUBLE), 0) END))t"},
      // The count of boundaries at or below the point: its bucket in a sorted array.
      {"RangeBucket", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE cardinality(filter({1}, mirtova_e -> mirtova_e <= {0})) END))t"},
      // The low 32 bits, read as signed.
      {"BitCastToInt32", R"t((CASE WHEN bitwise_and({0}, 4294967295) >= 2147483648 THEN bitwise_and({0}, 4294967295) - 4294967296 ELSE bitwise_and({0}, 4294967295) END))t"},
      {"BitCastToUint32", R"t(bitwise_and({0}, 4294967295))t"},
      {"BitCastToInt64", R"t(CAST((CASE WHEN CAST({0} AS DECIMAL(20, 0)) >= DECIMAL '9223372036854775808' THEN CAST({0} AS DECIMAL(20, 0)) - DECIMAL '18446744073709551616' ELSE CAST({0} AS DECIMAL(20, 0)) END) AS BIGINT))t"},
      {"BitCastToUint64", R"t(CAST((CASE WHEN CAST({0} AS DECIMAL(20, 0)) < 0 THEN CAST({0} AS DECIMAL(20, 0)) + DECIMAL '18446744073709551616' ELSE CAST({0} AS DECIMAL(20, 0)) END) AS DECIMAL(20, 0)))t"},
      // Neither engine has the inverse hyperbolic functions.
      {"Acosh", R"t(ln(CAST({0} AS DOUBLE) + sqrt(CAST({0} AS DOUBLE) * CAST({0} AS DOUBLE) - 1)))t"},
      {"Asinh", R"t((CASE WHEN CAST({0} AS DOUBLE) < 0 THEN -ln(-CAST({0} AS DOUBLE) + sqrt(CAST({0} AS DOUBLE) * CAST({0} AS DOUBLE) + 1)) ELSE ln(CAST({0} AS DOUBLE) + sqrt(CAST({0} AS DOUBLE) * CAST({0} AS DOUBLE) + 1)) END))t"},
      {"Atanh", R"t((0.5E0 * ln((1 + CAST({0} AS DOUBLE)) / (1 - CAST({0} AS DOUBLE)))))t"},
  };
  // clang-format on
}

TemplateRows psql_number_rows() {
  // clang-format off
  return {
      {"IsNan", R"t((CAST({0} AS double precision) = 'NaN'))t"},
      {"IsInf", R"t((ABS(CAST({0} AS double precision)) = 'Infinity'))t"},
      // Integers are added as numeric and kept only inside 64 bits; other numbers
      // are added as doubles, NULL where the sum overflows. The result is numeric.
      // A sub-query binds each argument once: the checks read it many times. OFFSET 0
      // keeps the planner from pulling it up, which would write each argument out again.
      {"SafeAdd", R"t((SELECT (CASE WHEN pg_typeof(mirtova_a0) IN ('bigint'::regtype, 'integer'::regtype, 'smallint'::regtype) AND pg_typeof(mirtova_a1) IN ('bigint'::regtype, 'integer'::regtype, 'smallint'::regtype) THEN (CASE WHEN CAST(mirtova_a0 AS numeric) + CAST(mirtova_a1 AS numeric) BETWEEN -9223372036854775808 AND 9223372036854775807 THEN CAST(mirtova_a0 AS numeric) + CAST(mirtova_a1 AS numeric) END) WHEN CAST(mirtova_a0 AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 OR CAST(mirtova_a1 AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 OR ABS(CAST(mirtova_a0 AS numeric) + CAST(mirtova_a1 AS numeric)) <= 1.7976931348623157e308 THEN CAST(CAST(CAST(mirtova_a0 AS double precision) + CAST(mirtova_a1 AS double precision) AS text) AS numeric) END) FROM (SELECT {0} AS mirtova_a0, {1} AS mirtova_a1 OFFSET 0) AS mirtova_n))t"},
      {"SafeSubtract", R"t((SELECT (CASE WHEN pg_typeof(mirtova_a0) IN ('bigint'::regtype, 'integer'::regtype, 'smallint'::regtype) AND pg_typeof(mirtova_a1) IN ('bigint'::regtype, 'integer'::regtype, 'smallint'::regtype) THEN (CASE WHEN CAST(mirtova_a0 AS numeric) - CAST(mirtova_a1 AS numeric) BETWEEN -9223372036854775808 AND 9223372036854775807 THEN CAST(mirtova_a0 AS numeric) - CAST(mirtova_a1 AS numeric) END) WHEN CAST(mirtova_a0 AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 OR CAST(mirtova_a1 AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 OR ABS(CAST(mirtova_a0 AS numeric) - CAST(mirtova_a1 AS numeric)) <= 1.7976931348623157e308 THEN CAST(CAST(CAST(mirtova_a0 AS double precision) - CAST(mirtova_a1 AS double precision) AS text) AS numeric) END) FROM (SELECT {0} AS mirtova_a0, {1} AS mirtova_a1 OFFSET 0) AS mirtova_n))t"},
      {"SafeMultiply", R"t((SELECT (CASE WHEN pg_typeof(mirtova_a0) IN ('bigint'::regtype, 'integer'::regtype, 'smallint'::regtype) AND pg_typeof(mirtova_a1) IN ('bigint'::regtype, 'integer'::regtype, 'smallint'::regtype) THEN (CASE WHEN CAST(mirtova_a0 AS numeric) * CAST(mirtova_a1 AS numeric) BETWEEN -9223372036854775808 AND 9223372036854775807 THEN CAST(mirtova_a0 AS numeric) * CAST(mirtova_a1 AS numeric) END) WHEN CAST(mirtova_a0 AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 OR CAST(mirtova_a1 AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 OR ABS(CAST(mirtova_a0 AS numeric) * CAST(mirtova_a1 AS numeric)) <= 1.7976931348623157e308 THEN CAST(CAST(CAST(mirtova_a0 AS double precision) * CAST(mirtova_a1 AS double precision) AS text) AS numeric) END) FROM (SELECT {0} AS mirtova_a0, {1} AS mirtova_a1 OFFSET 0) AS mirtova_n))t"},
      {"SafeNegate", R"t((SELECT (CASE WHEN pg_typeof(mirtova_a0) IN ('bigint'::regtype, 'integer'::regtype, 'smallint'::regtype) THEN (CASE WHEN (- CAST(mirtova_a0 AS numeric)) BETWEEN -9223372036854775808 AND 9223372036854775807 THEN (- CAST(mirtova_a0 AS numeric)) END) WHEN CAST(mirtova_a0 AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 OR ABS((- CAST(mirtova_a0 AS numeric))) <= 1.7976931348623157e308 THEN CAST(CAST((- CAST(mirtova_a0 AS double precision)) AS text) AS numeric) END) FROM (SELECT {0} AS mirtova_a0 OFFSET 0) AS mirtova_n))t"},
      // Checked as numeric before dividing: PostgreSQL raises on a double that
      // overflows or underflows.
      {"SafeDivide", R"t((CASE WHEN CAST({1} AS double precision) = 0 THEN NULL WHEN CAST({0} AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 OR CAST({1} AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 THEN CAST({0} AS double precision) / CAST({1} AS double precision) WHEN ABS(CAST({0} AS numeric)) > ABS(CAST({1} AS numeric)) * 1.7976931348623157e308 THEN NULL WHEN ABS(CAST({0} AS numeric)) < ABS(CAST({1} AS numeric)) * 2.4703282292062328e-324 THEN CAST(0 AS double precision) ELSE CAST({0} AS double precision) / CAST({1} AS double precision) END))t"},
      // PostgreSQL raises where IEEE division gives infinity, NaN or zero: those
      // results are written out. A divisor's sign is read from its text, so -0 counts.
      {"IeeeDivide", R"t((CASE WHEN CAST({1} AS double precision) = 0 THEN CAST((CASE WHEN CAST({0} AS double precision) = 0 OR CAST({0} AS double precision) = 'NaN' THEN 'NaN' WHEN (CAST({0} AS double precision) > 0) = (CAST(CAST({1} AS double precision) AS text) NOT LIKE '-%') THEN 'Infinity' ELSE '-Infinity' END) AS double precision) WHEN CAST({0} AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 OR CAST({1} AS double precision) NOT BETWEEN -1.7976931348623157e308 AND 1.7976931348623157e308 THEN CAST({0} AS double precision) / CAST({1} AS double precision) WHEN ABS(CAST({0} AS numeric)) > ABS(CAST({1} AS numeric)) * 1.7976931348623157e308 THEN CAST((CASE WHEN (CAST({0} AS double precision) > 0) = (CAST({1} AS double precision) > 0) THEN 'Infinity' ELSE '-Infinity' END) AS double precision) WHEN ABS(CAST({0} AS numeric)) < ABS(CAST({1} AS numeric)) * 2.4703282292062328e-324 THEN CAST((CASE WHEN (CAST({0} AS double precision) > 0) = (CAST({1} AS double precision) > 0) THEN '0' ELSE '-0' END) AS double precision) ELSE CAST({0} AS double precision) / CAST({1} AS double precision) END))t"},
      // A count over no list would be 0, as over the empty one.
      {"RangeBucket", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE (SELECT COUNT(*) FROM UNNEST({1}) AS mirtova_e WHERE mirtova_e <= {0}) END))t"},
      {"BitCount", R"t(bit_count(CAST(CAST({0} AS bigint) AS bit(64))))t"},
      // The low 32 bits, read as signed.
      {"BitCastToInt32", R"t((CASE WHEN (CAST({0} AS bigint) & 4294967295) >= 2147483648 THEN (CAST({0} AS bigint) & 4294967295) - 4294967296 ELSE CAST({0} AS bigint) & 4294967295 END))t"},
      {"BitCastToUint32", R"t((CAST({0} AS bigint) & 4294967295))t"},
      {"BitCastToInt64", R"t(CAST((CASE WHEN CAST({0} AS numeric) >= 9223372036854775808 THEN CAST({0} AS numeric) - 18446744073709551616 ELSE CAST({0} AS numeric) END) AS bigint))t"},
      {"BitCastToUint64", R"t(CAST((CASE WHEN CAST({0} AS numeric) < 0 THEN CAST({0} AS numeric) + 18446744073709551616 ELSE CAST({0} AS numeric) END) AS NUMERIC(20, 0)))t"},
  };
  // clang-format on
}

TemplateRows sqlite_number_rows() {
  // clang-format off
  return {
      // SQLite holds no NaN (it stores NULL instead): only NaN differs from itself.
      {"IsNan", R"t((({0}) != ({0})))t"},
      {"IsInf", R"t((ABS({0}) = 9e999))t"},
      // SQLite's MOD works in doubles and loses the low digits of large integers;
      // by -1 the remainder is the fraction of the dividend, as for "%".
      {"Mod", R"t((CASE WHEN ({1}) = -1 THEN ({0}) - CAST(({0}) AS INTEGER) ELSE ({0}) - ({1}) * CAST(({0}) / NULLIF({1}, 0) AS INTEGER) END))t"},
      // SQLite turns an integer result that overflows into a real: that is the
      // overflow. A real result past the largest double is one too.
      {"SafeAdd", R"t((CASE WHEN typeof({0}) = 'integer' AND typeof({1}) = 'integer' THEN (CASE WHEN typeof((({0}) + ({1}))) = 'integer' THEN (({0}) + ({1})) END) WHEN ABS({0}) = 9e999 OR ABS({1}) = 9e999 OR ABS((({0}) + ({1}))) <= 1.7976931348623157e308 THEN (({0}) + ({1})) END))t"},
      {"SafeSubtract", R"t((CASE WHEN typeof({0}) = 'integer' AND typeof({1}) = 'integer' THEN (CASE WHEN typeof((({0}) - ({1}))) = 'integer' THEN (({0}) - ({1})) END) WHEN ABS({0}) = 9e999 OR ABS({1}) = 9e999 OR ABS((({0}) - ({1}))) <= 1.7976931348623157e308 THEN (({0}) - ({1})) END))t"},
      {"SafeMultiply", R"t((CASE WHEN typeof({0}) = 'integer' AND typeof({1}) = 'integer' THEN (CASE WHEN typeof((({0}) * ({1}))) = 'integer' THEN (({0}) * ({1})) END) WHEN ABS({0}) = 9e999 OR ABS({1}) = 9e999 OR ABS((({0}) * ({1}))) <= 1.7976931348623157e308 THEN (({0}) * ({1})) END))t"},
      {"SafeNegate", R"t((CASE WHEN typeof({0}) = 'integer' THEN (CASE WHEN typeof((- ({0}))) = 'integer' THEN (- ({0})) END) WHEN ABS({0}) = 9e999 OR ABS((- ({0}))) <= 1.7976931348623157e308 THEN (- ({0})) END))t"},
      {"SafeDivide", R"t((CASE WHEN ABS(CAST({0} AS REAL) / {1}) > 1.7976931348623157e308 AND ABS({0}) < 9e999 THEN NULL ELSE CAST({0} AS REAL) / {1} END))t"},
      // A count over no list would be 0, as over the empty one.
      {"RangeBucket", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE (SELECT COUNT(*) FROM JSON_EACH({1}) WHERE value <= {0}) END))t"},
      // Bit by bit over the 64 bits of the two's complement.
      {"BitCount", R"t((WITH RECURSIVE mirtova_r(mirtova_n) AS (SELECT 0 UNION ALL SELECT mirtova_n + 1 FROM mirtova_r WHERE mirtova_n < 63) SELECT SUM((({0}) >> mirtova_n) & 1) FROM mirtova_r))t"},
      // The low 32 bits, read as signed.
      {"BitCastToInt32", R"t((CASE WHEN (({0}) & 4294967295) >= 2147483648 THEN (({0}) & 4294967295) - 4294967296 ELSE ({0}) & 4294967295 END))t"},
      {"BitCastToUint32", R"t((({0}) & 4294967295))t"},
      // SQLite's integers are 64-bit already; unsigned ones it cannot hold.
      {"BitCastToInt64", R"t(CAST({0} AS INTEGER))t"},
  };
  // clang-format on
}

}  // namespace mirtova
