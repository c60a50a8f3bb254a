// DuckDB's own function and operator templates, over the shared base rows.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows duckdb_function_rows() {
  return {
      {"RegexpContains", R"t(regexp_matches({0}, {1}))t"},
      {"RegexpReplace", R"t(regexp_replace({0}, {1}, {2}, 'g'))t"},
      {"RegexpExtract", R"t((CASE WHEN regexp_matches({0}, {1}) THEN regexp_extract({0}, {1}) END))t"},
      {"Element", R"t((CASE WHEN {1} < 0 THEN NULL ELSE array_extract({0}, CAST({1} + 1 AS BIGINT)) END))t"},
      {"ToInt64", R"t(CAST(ROUND(%s) AS BIGINT))t"},
      {"Range", R"t(Range({0}))t"},
      {"ValueOfUnnested", R"t({0}.unnested_pod)t"},
      {"Size", R"t(LEN({0}))t"},
      {"Join", R"t(ARRAY_TO_STRING({0}, {1}))t"},
      {"Count", R"t(COUNT(DISTINCT {0}))t"},
      {"StringAgg", R"t(GROUP_CONCAT(%s))t"},
      {"Sort", R"t(SortList({0}))t"},
      {"MagicalEntangle", R"t((CASE WHEN {1} = 0 THEN {0} ELSE NULL END))t"},
      {"Format", R"t(Printf(%s))t"},
      {"Least", R"t(LEAST(%s))t"},
      {"Greatest", R"t(GREATEST(%s))t"},
      {"ToString", R"t(CAST(%s AS TEXT))t"},
      {"ToFloat64", R"t(CAST(%s AS DOUBLE))t"},
      {"DateAddDay", R"t(DATE({0}, {1} || ' days'))t"},
      {"DateDiffDay", R"t(CAST(JULIANDAY({0}) - JULIANDAY({1}) AS INT64))t"},
      {"CurrentTimestamp", R"t(GET_CURRENT_TIMESTAMP())t"},
      {"TimeAdd", R"t({0} + to_microseconds(cast(1000000 * {1} as int64)))t"},
      {"Rand", R"t(RANDOM(%s))t"},
      {"Log", R"t(LN(%s))t"},
      // Sorted after the aggregation: DuckDB refuses ORDER BY a constant or a
      // sub-query inside ARRAY_AGG(DISTINCT ...).
      {"Set", R"t(LIST_SORT(ARRAY_AGG(DISTINCT {0})))t"},
  };
}

TemplateRows duckdb_operator_rows() {
  return {
      {"++", R"t((%s) || (%s))t"},
      {"%", R"t((%s) % NULLIF(%s, 0))t"},
      {"in", R"t(list_contains({right}, {left}))t"},
  };
}

}  // namespace mirtova
