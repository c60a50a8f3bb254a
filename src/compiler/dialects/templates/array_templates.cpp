// Array functions of the catalogue in the own SQL of Databricks, DuckDB, PostgreSQL, SQLite, Trino and
// Presto.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows databricks_array_rows() {
  // clang-format off
  return {
      {"ArrayLength", R"t(array_size({0}))t"},
      {"ArrayReverse", R"t(reverse({0}))t"},
      // NULL elements are left out, or written as the third argument.
      {"ArrayToString", R"t(array_join({0}, {1}))t"},
      {"ArrayToString/3", R"t(array_join({0}, {1}, {2}))t"},
      // Spark's SEQUENCE counts down to an end below the start; BigQuery gives
      // no elements then (an empty slice keeps the element type).
      {"GenerateArray", R"t((CASE WHEN {0} > {1} THEN slice(array({0}), 1, 0) ELSE sequence({0}, {1}) END))t"},
      {"GenerateArray/3", R"t((CASE WHEN ({2} > 0 AND {0} > {1}) OR ({2} < 0 AND {0} < {1}) THEN slice(array({0}), 1, 0) ELSE sequence({0}, {1}, {2}) END))t"},
      // NULL elements last, as on the other engines. ARRAY_SORT hides a lambda,
      // which cannot hold a sub-query; SORT_ARRAY puts NULL first, so the
      // NULLs are dropped and put back at the end.
      {"Sort", R"t(concat(array_compact(sort_array({0})), array_repeat(NULL, size({0}) - size(array_compact({0})))))t"},
      {"Unique", R"t(concat(array_compact(sort_array(array_distinct({0}))), array_repeat(NULL, least(1, size({0}) - size(array_compact({0}))))))t"},
  };
  // clang-format on
}

TemplateRows duckdb_array_rows() {
  // clang-format off
  return {
      // NULL elements are left out, or written as the third argument; a missing
      // separator is taken for the empty one, and nulls alone give null, where
      // their text is the empty one.
      {"ArrayToString", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE COALESCE(array_to_string({0}, {1}), '') END))t"},
      {"ArrayToString/3", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE array_to_string(list_transform({0}, mirtova_e -> COALESCE(mirtova_e, {2})), {1}) END))t"},
  };
  // clang-format on
}

TemplateRows presto_trino_array_rows() {
  // clang-format off
  // A sequence holds at most 10,000 elements: longer ones are made of sequences
  // of that many.
  return {
      {"ArrayLength", R"t(cardinality({0}))t"},
      {"ArrayReverse", R"t(reverse({0}))t"},
      // NULL elements are left out, or written as the third argument.
      {"ArrayToString", R"t(array_join({0}, {1}))t"},
      {"ArrayToString/3", R"t(array_join({0}, {1}, {2}))t"},
      // From the start by the step while not past the end; NULL when any argument is.
      {"GenerateArray", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL WHEN {0} > {1} THEN CAST(ARRAY[] AS ARRAY(BIGINT)) ELSE transform(flatten(transform(sequence(0, ({1} - {0}) / 10000), mirtova_b -> sequence(mirtova_b * 10000, least(({1} - {0}), mirtova_b * 10000 + 9999)))), mirtova_k -> {0} + mirtova_k) END))t"},
      {"GenerateArray/3", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL OR {2} IS NULL THEN NULL WHEN {2} = 0 THEN fail('The step of GenerateArray is 0') WHEN ({2} > 0 AND {0} > {1}) OR ({2} < 0 AND {0} < {1}) THEN CAST(ARRAY[] AS ARRAY(BIGINT)) ELSE transform(flatten(transform(sequence(0, CAST(floor(({1} - {0}) / {2}) AS BIGINT) / 10000), mirtova_b -> sequence(mirtova_b * 10000, least(CAST(floor(({1} - {0}) / {2}) AS BIGINT), mirtova_b * 10000 + 9999)))), mirtova_k -> {0} + mirtova_k * {2}) END))t"},
  };
  // clang-format on
}

TemplateRows psql_array_rows() {
  // clang-format off
  return {
      {"ArrayLength", R"t(CARDINALITY({0}))t"},
      // By subscript, which serves elements of every type (UNNEST would spread a
      // record into its fields); an empty array stays itself.
      {"ArrayReverse", R"t(COALESCE((SELECT ARRAY_AGG(({0})[mirtova_i] ORDER BY mirtova_i DESC) FROM generate_subscripts({0}, 1) AS mirtova_i), {0}))t"},
  };
  // clang-format on
}

TemplateRows sqlite_array_rows() {
  // clang-format off
  return {
      {"ArrayLength", R"t(JSON_ARRAY_LENGTH({0}))t"},
      // Lists, records and booleans keep their JSON kind when gathered again.
      {"ArrayReverse", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE (SELECT json_group_array((CASE type WHEN 'array' THEN json(value) WHEN 'object' THEN json(value) WHEN 'true' THEN json('true') WHEN 'false' THEN json('false') ELSE value END)) FROM (SELECT type, value FROM json_each({0}) ORDER BY key DESC)) END))t"},
      {"ArrayToString", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE COALESCE((SELECT GROUP_CONCAT(value, {1}) FROM (SELECT value FROM JSON_EACH({0}) WHERE value IS NOT NULL ORDER BY key)), '') END))t"},
      // NULL elements are written as the third argument.
      {"ArrayToString/3", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE COALESCE((SELECT GROUP_CONCAT(COALESCE(value, {2}), {1}) FROM (SELECT value FROM JSON_EACH({0}) ORDER BY key)), '') END))t"},
      // From the start by the step while not past the end; NULL when any argument is.
      {"GenerateArray", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL OR 1 IS NULL THEN NULL ELSE (WITH RECURSIVE mirtova_r(mirtova_n) AS (SELECT {0} UNION ALL SELECT mirtova_n + (1) FROM mirtova_r WHERE (((1) > 0 AND mirtova_n + (1) <= ({1})) OR ((1) < 0 AND mirtova_n + (1) >= ({1})))) SELECT json_group_array(mirtova_n) FROM mirtova_r WHERE ((1) > 0 AND mirtova_n <= ({1})) OR ((1) < 0 AND mirtova_n >= ({1}))) END))t"},
      {"GenerateArray/3", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL OR {2} IS NULL THEN NULL ELSE (WITH RECURSIVE mirtova_r(mirtova_n) AS (SELECT {0} UNION ALL SELECT mirtova_n + ({2}) FROM mirtova_r WHERE ((({2}) > 0 AND mirtova_n + ({2}) <= ({1})) OR (({2}) < 0 AND mirtova_n + ({2}) >= ({1})))) SELECT json_group_array(mirtova_n) FROM mirtova_r WHERE (({2}) > 0 AND mirtova_n <= ({1})) OR (({2}) < 0 AND mirtova_n >= ({1}))) END))t"},
  };
  // clang-format on
}

}  // namespace mirtova
