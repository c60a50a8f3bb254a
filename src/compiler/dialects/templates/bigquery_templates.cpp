// BigQuery's own function and operator templates, over the shared base rows.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows bigquery_function_rows() {
  // clang-format off
  return {
      {"RegexpContains", R"t(REGEXP_CONTAINS({0}, {1}))t"},
      {"Div", R"t(CAST((CASE WHEN (({0}) < 0) <> (({1}) < 0) THEN CEIL(CAST({0} AS FLOAT64) / NULLIF({1}, 0)) ELSE FLOOR(CAST({0} AS FLOAT64) / NULLIF({1}, 0)) END) AS INT64))t"},
      {"Like", R"t(({0} LIKE {1}))t"},
      // No unsigned type: NUMERIC holds every unsigned 64-bit value.
      {"ToUInt64", R"t(CAST(%s AS NUMERIC))t"},
  };
  // clang-format on
}

TemplateRows bigquery_operator_rows() {
  return {
      {"++", R"t(%s || %s)t"},
  };
}

}  // namespace mirtova
