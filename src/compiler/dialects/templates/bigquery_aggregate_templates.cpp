// BigQuery's rows of the aggregates it has no aggregate function for: its
// PERCENTILE_CONT and PERCENTILE_DISC only run over a window, and
// APPROX_QUANTILES is approximate. Each is read from the values in order,
// nulls left out, as the other engines' exact functions read them.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows bigquery_aggregate_rows() {
  // The ordering value is wrapped as [x][OFFSET(0)], as the library's ArgMin
  // does: a number there would be read as a column.
  // clang-format off
  return {
      // The fraction is a FLOAT64 even when written as an integer: CEIL and
      // FLOOR of an INT64 would give one anyway, past 2^53 rounded.
      // The value at rank ceil(n * p), counted from 1.
      {"PercentileDisc", R"t(ARRAY_AGG({0} IGNORE NULLS ORDER BY [{0}][OFFSET(0)])[SAFE_OFFSET(GREATEST(CAST(CEIL(COUNT({0}) * CAST({1} AS FLOAT64)) AS INT64) - 1, 0))])t"},
      // Between the values at ranks floor and ceil of (n - 1) * p, from 0, in proportion.
      {"PercentileCont", R"t((ARRAY_AGG({0} IGNORE NULLS ORDER BY [{0}][OFFSET(0)])[SAFE_OFFSET(CAST(FLOOR((COUNT({0}) - 1) * CAST({1} AS FLOAT64)) AS INT64))] + ((COUNT({0}) - 1) * CAST({1} AS FLOAT64) - FLOOR((COUNT({0}) - 1) * CAST({1} AS FLOAT64))) * (ARRAY_AGG({0} IGNORE NULLS ORDER BY [{0}][OFFSET(0)])[SAFE_OFFSET(CAST(CEIL((COUNT({0}) - 1) * CAST({1} AS FLOAT64)) AS INT64))] - ARRAY_AGG({0} IGNORE NULLS ORDER BY [{0}][OFFSET(0)])[SAFE_OFFSET(CAST(FLOOR((COUNT({0}) - 1) * CAST({1} AS FLOAT64)) AS INT64))])))t"},
      {"Median", R"t((ARRAY_AGG({0} IGNORE NULLS ORDER BY [{0}][OFFSET(0)])[SAFE_OFFSET(CAST(FLOOR((COUNT({0}) - 1) * 0.5) AS INT64))] + ((COUNT({0}) - 1) * 0.5 - FLOOR((COUNT({0}) - 1) * 0.5)) * (ARRAY_AGG({0} IGNORE NULLS ORDER BY [{0}][OFFSET(0)])[SAFE_OFFSET(CAST(CEIL((COUNT({0}) - 1) * 0.5) AS INT64))] - ARRAY_AGG({0} IGNORE NULLS ORDER BY [{0}][OFFSET(0)])[SAFE_OFFSET(CAST(FLOOR((COUNT({0}) - 1) * 0.5) AS INT64))])))t"},
      // BigQuery's geography arrays are ARRAY_AGG's.
      {"StAccum", R"t(ARRAY_AGG({0}))t"},
  };
  // clang-format on
}

}  // namespace mirtova
