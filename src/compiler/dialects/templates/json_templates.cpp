// JSON functions of the catalogue in the own SQL of Databricks, DuckDB, PostgreSQL, SQLite, Trino and Presto.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows databricks_json_rows() {
  // clang-format off
  return {
      // Read as a VARIANT, which keeps a value's JSON kind (GET_JSON_OBJECT gives a
      // string without its quotes); JSON null is SQL NULL, as in BigQuery. A path
      // that folds to NULL only once planned fails the optimizer inside
      // variant_get, so a missing path is answered before it is read.
      {"JsonExtract", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE NULLIF(to_json(variant_get(parse_json({0}), {1})), 'null') END))t"},
      {"JsonQuery", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE NULLIF(to_json(variant_get(parse_json({0}), {1})), 'null') END))t"},
      // A scalar's text without quotes; NULL for an object or array.
      {"JsonExtractScalar", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE transform(array(variant_get(parse_json({0}), {1})), mirtova_v -> (CASE WHEN schema_of_variant(mirtova_v) LIKE 'OBJECT%' OR schema_of_variant(mirtova_v) LIKE 'ARRAY%' THEN NULL ELSE variant_get(mirtova_v, '$', 'string') END))[0] END))t"},
      {"JsonExtractScalar/1", R"t(transform(array(parse_json({0})), mirtova_v -> (CASE WHEN schema_of_variant(mirtova_v) LIKE 'OBJECT%' OR schema_of_variant(mirtova_v) LIKE 'ARRAY%' THEN NULL ELSE variant_get(mirtova_v, '$', 'string') END))[0])t"},
      {"JsonValue", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE transform(array(variant_get(parse_json({0}), {1})), mirtova_v -> (CASE WHEN schema_of_variant(mirtova_v) LIKE 'OBJECT%' OR schema_of_variant(mirtova_v) LIKE 'ARRAY%' THEN NULL ELSE variant_get(mirtova_v, '$', 'string') END))[0] END))t"},
      {"JsonValue/1", R"t(transform(array(parse_json({0})), mirtova_v -> (CASE WHEN schema_of_variant(mirtova_v) LIKE 'OBJECT%' OR schema_of_variant(mirtova_v) LIKE 'ARRAY%' THEN NULL ELSE variant_get(mirtova_v, '$', 'string') END))[0])t"},
      // The JSON of a NULL is the text null; a record keeps its NULL fields.
      {"ToJsonString", R"t(COALESCE(to_json(CAST({0} AS VARIANT)), 'null'))t"},
      {"ToJsonString@list", R"t(COALESCE(to_json({0}, map('ignoreNullFields', 'false')), 'null'))t"},
      {"ToJsonString@record", R"t(COALESCE(to_json({0}, map('ignoreNullFields', 'false')), 'null'))t"},
  };
  // clang-format on
}

TemplateRows duckdb_json_rows() {
  // clang-format off
  return {
      // The value at the path as JSON text; JSON null is SQL NULL, as in BigQuery.
      {"JsonExtract", R"t(NULLIF(CAST(json_extract({0}, {1}) AS VARCHAR), 'null'))t"},
      {"JsonQuery", R"t(NULLIF(CAST(json_extract({0}, {1}) AS VARCHAR), 'null'))t"},
      // A scalar's text without quotes; NULL for an object or array.
      {"JsonExtractScalar", R"t((CASE WHEN json_type({0}, {1}) IN ('OBJECT', 'ARRAY') THEN NULL ELSE json_extract_string({0}, {1}) END))t"},
      {"JsonExtractScalar/1", R"t((CASE WHEN json_type({0}) IN ('OBJECT', 'ARRAY') THEN NULL ELSE json_extract_string({0}, '$') END))t"},
      {"JsonValue", R"t((CASE WHEN json_type({0}, {1}) IN ('OBJECT', 'ARRAY') THEN NULL ELSE json_extract_string({0}, {1}) END))t"},
      {"JsonValue/1", R"t((CASE WHEN json_type({0}) IN ('OBJECT', 'ARRAY') THEN NULL ELSE json_extract_string({0}, '$') END))t"},
      // The JSON of a NULL is the text null.
      {"ToJsonString", R"t(COALESCE(CAST(to_json({0}) AS VARCHAR), 'null'))t"},
  };
  // clang-format on
}

TemplateRows presto_trino_json_rows() {
  // clang-format off
  return {
      // The value at the path as JSON text; JSON null is SQL NULL, as in BigQuery.
      {"JsonExtract", R"t(NULLIF(json_format(json_extract({0}, {1})), 'null'))t"},
      {"JsonQuery", R"t(NULLIF(json_format(json_extract({0}, {1})), 'null'))t"},
      // A scalar's text without quotes; NULL for an object or array.
      {"JsonExtractScalar", R"t(json_extract_scalar({0}, {1}))t"},
      {"JsonExtractScalar/1", R"t(json_extract_scalar({0}, '$'))t"},
      {"JsonValue", R"t(json_extract_scalar({0}, {1}))t"},
      {"JsonValue/1", R"t(json_extract_scalar({0}, '$'))t"},
  };
  // clang-format on
}

TemplateRows psql_json_rows() {
  // clang-format off
  return {
      // The path's steps ($.a, $."a", $['a'], $[0]) as the keys and indexes of
      // json_extract_path, which keeps the value's own text. A missing path has no
      // steps, which would read as the whole document.
      {"JsonExtract", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE NULLIF(CAST(json_extract_path(CAST({0} AS json), VARIADIC ARRAY(SELECT COALESCE(mirtova_m[1], mirtova_m[2], mirtova_m[3], mirtova_m[4]) FROM regexp_matches({1}, '\."([^"]*)"|\.([^.\["]+)|\[''([^'']*)''\]|\[([0-9]+)\]', 'g') WITH ORDINALITY AS mirtova_t(mirtova_m, mirtova_i) ORDER BY mirtova_i)) AS text), 'null') END))t"},
      {"JsonQuery", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE NULLIF(CAST(json_extract_path(CAST({0} AS json), VARIADIC ARRAY(SELECT COALESCE(mirtova_m[1], mirtova_m[2], mirtova_m[3], mirtova_m[4]) FROM regexp_matches({1}, '\."([^"]*)"|\.([^.\["]+)|\[''([^'']*)''\]|\[([0-9]+)\]', 'g') WITH ORDINALITY AS mirtova_t(mirtova_m, mirtova_i) ORDER BY mirtova_i)) AS text), 'null') END))t"},
      {"JsonExtractScalar", R"t((SELECT CASE WHEN {1} IS NULL OR json_typeof(mirtova_j) IN ('object', 'array') THEN NULL ELSE mirtova_j #>> '{}' END FROM (SELECT json_extract_path(CAST({0} AS json), VARIADIC ARRAY(SELECT COALESCE(mirtova_m[1], mirtova_m[2], mirtova_m[3], mirtova_m[4]) FROM regexp_matches({1}, '\."([^"]*)"|\.([^.\["]+)|\[''([^'']*)''\]|\[([0-9]+)\]', 'g') WITH ORDINALITY AS mirtova_t(mirtova_m, mirtova_i) ORDER BY mirtova_i)) AS mirtova_j) AS mirtova_t))t"},
      {"JsonExtractScalar/1", R"t((SELECT CASE WHEN json_typeof(mirtova_j) IN ('object', 'array') THEN NULL ELSE mirtova_j #>> '{}' END FROM (SELECT CAST({0} AS json) AS mirtova_j) AS mirtova_t))t"},
      {"JsonValue", R"t((SELECT CASE WHEN {1} IS NULL OR json_typeof(mirtova_j) IN ('object', 'array') THEN NULL ELSE mirtova_j #>> '{}' END FROM (SELECT json_extract_path(CAST({0} AS json), VARIADIC ARRAY(SELECT COALESCE(mirtova_m[1], mirtova_m[2], mirtova_m[3], mirtova_m[4]) FROM regexp_matches({1}, '\."([^"]*)"|\.([^.\["]+)|\[''([^'']*)''\]|\[([0-9]+)\]', 'g') WITH ORDINALITY AS mirtova_t(mirtova_m, mirtova_i) ORDER BY mirtova_i)) AS mirtova_j) AS mirtova_t))t"},
      {"JsonValue/1", R"t((SELECT CASE WHEN json_typeof(mirtova_j) IN ('object', 'array') THEN NULL ELSE mirtova_j #>> '{}' END FROM (SELECT CAST({0} AS json) AS mirtova_j) AS mirtova_t))t"},
      {"ToJsonString", R"t(COALESCE(CAST(to_json({0}) AS text), 'null'))t"},
  };
  // clang-format on
}

TemplateRows sqlite_json_rows() {
  // clang-format off
  return {
      // The -> operator gives the value as JSON text.
      {"JsonExtract", R"t(NULLIF(({0} -> {1}), 'null'))t"},
      {"JsonQuery", R"t(NULLIF(({0} -> {1}), 'null'))t"},
      // SQLite gives true and false as 1 and 0: their JSON types name them.
      {"JsonExtractScalar", R"t((CASE json_type({0}, {1}) WHEN 'object' THEN NULL WHEN 'array' THEN NULL WHEN 'true' THEN 'true' WHEN 'false' THEN 'false' ELSE CAST(json_extract({0}, {1}) AS TEXT) END))t"},
      {"JsonExtractScalar/1", R"t((CASE json_type({0}) WHEN 'object' THEN NULL WHEN 'array' THEN NULL WHEN 'true' THEN 'true' WHEN 'false' THEN 'false' ELSE CAST(json_extract({0}, '$') AS TEXT) END))t"},
      {"JsonValue", R"t((CASE json_type({0}, {1}) WHEN 'object' THEN NULL WHEN 'array' THEN NULL WHEN 'true' THEN 'true' WHEN 'false' THEN 'false' ELSE CAST(json_extract({0}, {1}) AS TEXT) END))t"},
      {"JsonValue/1", R"t((CASE json_type({0}) WHEN 'object' THEN NULL WHEN 'array' THEN NULL WHEN 'true' THEN 'true' WHEN 'false' THEN 'false' ELSE CAST(json_extract({0}, '$') AS TEXT) END))t"},
      // Booleans, lists and records are numbers and JSON texts here: rows for those
      // kinds of argument write their JSON.
      {"ToJsonString", R"t(json_quote({0}))t"},
      {"ToJsonString@bool", R"t((CASE WHEN {0} IS NULL THEN 'null' WHEN {0} THEN 'true' ELSE 'false' END))t"},
      {"ToJsonString@list", R"t(COALESCE(json({0}), 'null'))t"},
      {"ToJsonString@record", R"t(COALESCE(json({0}), 'null'))t"},
  };
  // clang-format on
}

}  // namespace mirtova
