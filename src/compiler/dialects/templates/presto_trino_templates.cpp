// Presto's and Trino's own function and operator templates: one operator table,
// and function rows that differ only in "ToString".
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows presto_function_rows() {
  // clang-format off
  return {
      {"Repeat", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE ARRAY_JOIN(REPEAT({0}, {1}), '') END))t"},
      {"StartsWith", R"t(starts_with(CAST({0} AS VARCHAR), CAST({1} AS VARCHAR)))t"},
      {"EndsWith", R"t(starts_with(REVERSE(CAST({0} AS VARCHAR)), REVERSE(CAST({1} AS VARCHAR))))t"},
      {"Range", R"t(FILTER(SEQUENCE(0, {0}), x -> x < {0}))t"},
      {"ToString", R"t(CAST(%s AS VARCHAR))t"},
      {"StringAgg", R"t((CASE WHEN COUNT({0}) > 0 THEN ARRAY_JOIN(ARRAY_AGG(CAST({0} AS VARCHAR)), ',') END))t"},
      {"Join", R"t(ARRAY_JOIN({0}, {1}))t"},
      {"ToInt64", R"t(CAST(%s AS BIGINT))t"},
      {"ToFloat64", R"t(CAST(%s AS DOUBLE))t"},
      {"AnyValue", R"t(ARBITRARY(%s))t"},
      {"ArrayConcat", R"t({0} || {1})t"},
      {"Size", R"t(CARDINALITY({0}))t"},
      {"Log", R"t(LN({0}))t"},
      {"Agg++", R"t(FLATTEN(ARRAY_AGG({0})))t"},
      {"Element", R"t((CASE WHEN {1} < 0 THEN NULL ELSE ELEMENT_AT({0}, {1} + 1) END))t"},
      {"ToUInt64", R"t(CAST(%s AS DECIMAL(20, 0)))t"},
      {"DateAddDay", R"t(DATE_ADD('day', {1}, CAST({0} AS DATE)))t"},
      {"DateDiffDay", R"t(DATE_DIFF('day', CAST({1} AS DATE), CAST({0} AS DATE)))t"},
      {"TimestampAddDays", R"t(DATE_ADD('day', {1}, CAST({0} AS TIMESTAMP)))t"},
  };
  // clang-format on
}

TemplateRows trino_function_rows() {
  // Trino's rows are Presto's but for its own "ToString".
  TemplateRows rows = presto_function_rows();
  for (TemplateRow& row : rows)
    if (row.name == "ToString")
      // clang-format off
      row.sql = R"t(element_at(transform(filter(ARRAY[{0}], v -> v IS NOT NULL), v -> IF(typeof(v) LIKE 'timestamp%', CAST(v AS VARCHAR), format('%s', v))), 1))t";
  // clang-format on
  return rows;
}

TemplateRows presto_trino_operator_rows() {
  return {
      {"/", R"t(CAST(%s AS DOUBLE) / NULLIF(%s, 0))t"},
      {"++", R"t(CONCAT(%s, %s))t"},
      {"in", R"t(CONTAINS({1}, {0}))t"},
  };
}

}  // namespace mirtova
