// Databricks's own function and operator templates, over the shared base rows.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows databricks_function_rows() {
  // clang-format off
  return {
      {"Strpos", R"t(INSTR({0}, {1}))t"},
      {"RegexpContains", R"t(({0} RLIKE {1}))t"},
      {"RegexpExtract", R"t((CASE WHEN {0} RLIKE {1} THEN REGEXP_EXTRACT({0}, {1}, 0) END))t"},
      {"ToString", R"t(CAST(%s AS STRING))t"},
      {"StringAgg", R"t((CASE WHEN COUNT({0}) > 0 THEN ARRAY_JOIN(COLLECT_LIST(CAST({0} AS STRING)), ',') END))t"},
      {"Join", R"t(ARRAY_JOIN({0}, {1}))t"},
      {"Split", R"t(SPLIT({0}, REGEXP_REPLACE({1}, '([^a-zA-Z0-9])', '\\\\$1')))t"},
      {"ToInt64", R"t(CAST(ROUND({0}) AS BIGINT))t"},
      {"ToFloat64", R"t(CAST(%s AS DOUBLE))t"},
      {"AnyValue", R"t(ANY_VALUE(%s))t"},
      {"ILike", R"t((CAST({0} AS STRING) ILIKE {1} ESCAPE '\\'))t"},
      {"Like", R"t((CAST({0} AS STRING) LIKE {1} ESCAPE '\\'))t"},
      {"Replace", R"t(REPLACE(CAST({0} AS STRING), {1}, {2}))t"},
      {"ArrayConcat", R"t(CONCAT({0}, {1}))t"},
      {"JsonExtract", R"t(GET_JSON_OBJECT({0}, {1}))t"},
      {"JsonExtractScalar", R"t(GET_JSON_OBJECT({0}, {1}))t"},
      {"Range", R"t(FILTER(SEQUENCE(0, CAST({0} AS BIGINT)), x -> x < {0}))t"},
      {"RangeOf", R"t(SEQUENCE(0, SIZE(%s) - 1))t"},
      {"Size", R"t(ARRAY_SIZE(%s))t"},
      {"List", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE TRANSFORM(COLLECT_LIST(STRUCT(%s AS v)), s -> s.v) END))t"},
      {"Set", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE ARRAY_DISTINCT(TRANSFORM(COLLECT_LIST(STRUCT(%s AS v)), s -> s.v)) END))t"},
      {"Element", R"t((CASE WHEN {1} < 0 THEN NULL ELSE ELEMENT_AT({0}, CAST({1} AS INT) + 1) END))t"},
      {"Format", R"t(FORMAT_STRING(%s))t"},
      {"DateDiff", R"t(DATEDIFF({0}, {1}, {2}))t"},
      {"IsNull", R"t(({0} IS NULL))t"},
      {"LogicalOr", R"t(BOOL_OR(%s))t"},
      {"LogicalAnd", R"t(BOOL_AND(%s))t"},
      {"Agg++", R"t(FLATTEN(COLLECT_LIST(%s)))t"},
      {"ToUInt64", R"t(CAST(%s AS DECIMAL(20, 0)))t"},
  };
  // clang-format on
}

TemplateRows databricks_operator_rows() {
  return {
      {"++", R"t(CONCAT(%s, %s))t"},
      {"in", R"t(ARRAY_CONTAINS({1}, {0}))t"},
  };
}

}  // namespace mirtova
