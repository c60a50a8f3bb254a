// Aggregate functions of the catalogue in the own SQL of Databricks, DuckDB, PostgreSQL, SQLite, Trino and
// Presto.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows databricks_aggregate_rows() {
  // clang-format off
  return {
      {"Countif", R"t(COUNT_IF({0}))t"},
      // BigQuery leaves NULLs out; Spark's ANY_VALUE does when told to.
      {"AnyValue", R"t(ANY_VALUE({0}, true))t"},
      {"SomeValue", R"t(ANY_VALUE({0}, true))t"},
      {"Median", R"t(MEDIAN({0}))t"},
      {"ArrayConcatAgg", R"t(FLATTEN(COLLECT_LIST({0})))t"},
      // Exact quantiles stand for BigQuery's approximate ones: of the n + 1, the
      // k-th is the value of rank ceil(k * count / n) (the least for k = 0).
      {"ApproxQuantiles", R"t((CASE WHEN COUNT({0}) = 0 THEN NULL ELSE TRANSFORM(ARRAY(ARRAY_SORT(COLLECT_LIST({0}))), mirtova_s -> TRANSFORM(SEQUENCE(0, {1}), mirtova_k -> mirtova_s[GREATEST(0, CAST((mirtova_k * SIZE(mirtova_s) + {1} - 1) DIV {1} AS INT) - 1)]))[0] END))t"},
      // A null fraction is refused when the query is analysed, though it means no value.
      {"PercentileCont", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE PERCENTILE_CONT(COALESCE({1}, 0)) WITHIN GROUP (ORDER BY {0}) END))t"},
      {"PercentileDisc", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE PERCENTILE_DISC(COALESCE({1}, 0)) WITHIN GROUP (ORDER BY {0}) END))t"},
  };
  // clang-format on
}

TemplateRows duckdb_aggregate_rows() {
  // clang-format off
  return {
      // COUNT_IF adds up its conditions, null where none is known: the count is
      // of the rows where the condition holds, 0 when none does.
      {"Countif", R"t(COUNT(CASE WHEN {0} THEN 1 END))t"},
      // Of pairs one of whose values never varies there is no correlation, as
      // PostgreSQL, SQLite and Spark have it; DuckDB's corr would divide 0 by 0.
      {"Corr", R"t((CASE WHEN var_pop(CASE WHEN {1} IS NOT NULL THEN {0} END) = 0 OR var_pop(CASE WHEN {0} IS NOT NULL THEN {1} END) = 0 THEN NULL ELSE corr({0}, {1}) END))t"},
      // Exact quantiles stand for BigQuery's approximate ones: of the n + 1, the
      // k-th is the value of rank ceil(k * count / n) (the least for k = 0).
      {"ApproxQuantiles", R"t((CASE WHEN count({0}) = 0 THEN NULL ELSE list_transform(range({1} + 1), mirtova_k -> list_sort(list({0}) FILTER (WHERE {0} IS NOT NULL))[greatest(0, (mirtova_k * count({0}) + {1} - 1) // {1} - 1) + 1]) END))t"},
      // A null fraction is refused when the query is bound, though it means no value.
      {"PercentileCont", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE quantile_cont({0}, COALESCE({1}, 0)) END))t"},
      {"PercentileDisc", R"t((CASE WHEN {1} IS NULL THEN NULL ELSE quantile_disc({0}, COALESCE({1}, 0)) END))t"},
  };
  // clang-format on
}

TemplateRows presto_trino_aggregate_rows() {
  // clang-format off
  // The exact quantiles are read from the group's values sorted, nulls left
  // out, bound to a lambda: neither engine takes an aggregate inside one.
  return {
      {"Countif", R"t(count_if({0}))t"},
      {"ApproxCountDistinct", R"t(approx_distinct({0}))t"},
      // Exact quantiles stand for BigQuery's approximate ones: of the n + 1, the
      // k-th is the value of rank ceil(k * count / n) (the least for k = 0).
      {"ApproxQuantiles", R"t(element_at(transform(ARRAY[array_sort(filter(array_agg({0}), mirtova_e -> mirtova_e IS NOT NULL))], mirtova_s -> (CASE WHEN cardinality(mirtova_s) = 0 THEN NULL ELSE transform(sequence(0, {1}), mirtova_k -> element_at(mirtova_s, greatest(0, (mirtova_k * cardinality(mirtova_s) + {1} - 1) / {1} - 1) + 1)) END)), 1))t"},
      // Linear interpolation between the two values around rank p * (n - 1).
      {"PercentileCont", R"t(element_at(transform(ARRAY[array_sort(filter(array_agg(CAST({0} AS DOUBLE)), mirtova_e -> mirtova_e IS NOT NULL))], mirtova_s -> (CASE WHEN cardinality(mirtova_s) = 0 THEN NULL ELSE element_at(mirtova_s, CAST(floor({1} * (cardinality(mirtova_s) - 1)) AS BIGINT) + 1) + ({1} * (cardinality(mirtova_s) - 1) - floor({1} * (cardinality(mirtova_s) - 1))) * (element_at(mirtova_s, CAST(ceil({1} * (cardinality(mirtova_s) - 1)) AS BIGINT) + 1) - element_at(mirtova_s, CAST(floor({1} * (cardinality(mirtova_s) - 1)) AS BIGINT) + 1)) END)), 1))t"},
      // The first value whose cumulative share reaches p.
      {"PercentileDisc", R"t(element_at(transform(ARRAY[array_sort(filter(array_agg({0}), mirtova_e -> mirtova_e IS NOT NULL))], mirtova_s -> (CASE WHEN cardinality(mirtova_s) = 0 THEN NULL ELSE element_at(mirtova_s, greatest(0, CAST(ceil(cardinality(mirtova_s) * {1}) AS BIGINT) - 1) + 1) END)), 1))t"},
      {"BitAnd", R"t(bitwise_and_agg({0}))t"},
      {"BitOr", R"t(bitwise_or_agg({0}))t"},
      {"BitXor", R"t(bitwise_xor_agg({0}))t"},
      {"LogicalAnd", R"t(bool_and({0}))t"},
      {"LogicalOr", R"t(bool_or({0}))t"},
      // Integers would take the REAL overloads.
      {"Corr", R"t(corr(CAST({0} AS DOUBLE), CAST({1} AS DOUBLE)))t"},
      {"CovarPop", R"t(covar_pop(CAST({0} AS DOUBLE), CAST({1} AS DOUBLE)))t"},
      {"CovarSamp", R"t(covar_samp(CAST({0} AS DOUBLE), CAST({1} AS DOUBLE)))t"},
      {"VarPop", R"t(var_pop(CAST({0} AS DOUBLE)))t"},
      {"VarSamp", R"t(var_samp(CAST({0} AS DOUBLE)))t"},
      {"StddevPop", R"t(stddev_pop(CAST({0} AS DOUBLE)))t"},
      {"StddevSamp", R"t(stddev_samp(CAST({0} AS DOUBLE)))t"},
      // A null list adds no elements.
      {"ArrayConcatAgg", R"t(flatten(filter(array_agg({0}), mirtova_a -> mirtova_a IS NOT NULL)))t"},
  };
  // clang-format on
}

TemplateRows psql_aggregate_rows() {
  // clang-format off
  return {
      // The bitwise aggregates take integers only, and integers beside nulls are
      // held as numeric.
      {"BitAnd", R"t(BIT_AND(CAST({0} AS BIGINT)))t"},
      {"BitOr", R"t(BIT_OR(CAST({0} AS BIGINT)))t"},
      {"BitXor", R"t(BIT_XOR(CAST({0} AS BIGINT)))t"},
      // Counts the rows where the condition holds: 0 when none does.
      {"Countif", R"t(COUNT(CASE WHEN {0} THEN 1 END))t"},
      {"ApproxCountDistinct", R"t(COUNT(DISTINCT {0}))t"},
      // Exact quantiles stand for BigQuery's approximate ones: of the n + 1, the
      // k-th is the value of rank ceil(k * count / n) (the least for k = 0).
      // The values are gathered in a sub-query of their own and the quantiles
      // by ARRAY, no aggregate: an aggregate of a constant (a null, say) is
      // one of the sub-query it is written in, and would be nested in another.
      {"ApproxQuantiles", R"t((CASE WHEN count({0}) = 0 THEN NULL ELSE (SELECT ARRAY(SELECT mirtova_s[greatest(0, (mirtova_k * mirtova_c + {1} - 1) / {1} - 1) + 1] FROM generate_series(0, {1}) AS mirtova_k ORDER BY mirtova_k) FROM (SELECT array_agg({0} ORDER BY {0}) FILTER (WHERE {0} IS NOT NULL) AS mirtova_s, count({0}) AS mirtova_c) AS mirtova_a) END))t"},
      {"PercentileCont", R"t(PERCENTILE_CONT(CAST({1} AS double precision)) WITHIN GROUP (ORDER BY {0}))t"},
      {"PercentileDisc", R"t(PERCENTILE_DISC(CAST({1} AS double precision)) WITHIN GROUP (ORDER BY {0}))t"},
  };
  // clang-format on
}

TemplateRows sqlite_aggregate_rows() {
  // clang-format off
  return {
      // Counts the rows where the condition holds: 0 when none does.
      {"Countif", R"t(COUNT(CASE WHEN {0} THEN 1 END))t"},
      {"ApproxCountDistinct", R"t(COUNT(DISTINCT {0}))t"},
      // Exact quantiles stand for BigQuery's approximate ones: of the n + 1, the
      // k-th is the value of rank ceil(k * count / n) (the least for k = 0).
      {"ApproxQuantiles", R"t((CASE WHEN COUNT({0}) = 0 THEN NULL ELSE (SELECT MAX((WITH RECURSIVE mirtova_r(mirtova_k) AS (SELECT 0 UNION ALL SELECT mirtova_k + 1 FROM mirtova_r WHERE mirtova_k < {1}) SELECT JSON_GROUP_ARRAY(mirtova_v) FROM (SELECT mirtova_v FROM mirtova_r, (SELECT value AS mirtova_v, ROW_NUMBER() OVER (ORDER BY value) - 1 AS mirtova_i, COUNT(*) OVER () AS mirtova_c FROM JSON_EACH(mirtova_a.value) WHERE value IS NOT NULL) WHERE mirtova_i = MAX(0, (mirtova_k * mirtova_c + {1} - 1) / {1} - 1) ORDER BY mirtova_k))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) END))t"},
      // SQLite has no bitwise aggregates. The group's values are gathered into one
      // JSON array, read back by a sub-query: SQLite accepts the outer aggregate only
      // as the table argument of an aggregating sub-query, hence MAX over its one row.
      // The aggregate stands in a sub-query of its own: one whose value reads no
      // column would be the aggregating sub-query's, and refused in its FROM; this
      // one gathers that value once, whatever the group's count. A count of the
      // group around it keeps the query aggregating then, and is the divisor where
      // the value depends on the count.
      {"BitAnd", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((WITH RECURSIVE mirtova_r(mirtova_n) AS (SELECT 0 UNION ALL SELECT mirtova_n + 1 FROM mirtova_r WHERE mirtova_n < 63) SELECT SUM(mirtova_b << mirtova_n) FROM (SELECT mirtova_n, MIN((mirtova_e.value >> mirtova_n) & 1) AS mirtova_b FROM mirtova_r, JSON_EACH(mirtova_a.value) AS mirtova_e GROUP BY mirtova_n))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) END))t"},
      {"BitOr", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((WITH RECURSIVE mirtova_r(mirtova_n) AS (SELECT 0 UNION ALL SELECT mirtova_n + 1 FROM mirtova_r WHERE mirtova_n < 63) SELECT SUM(mirtova_b << mirtova_n) FROM (SELECT mirtova_n, MAX((mirtova_e.value >> mirtova_n) & 1) AS mirtova_b FROM mirtova_r, JSON_EACH(mirtova_a.value) AS mirtova_e GROUP BY mirtova_n))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) END))t"},
      {"BitXor", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((WITH RECURSIVE mirtova_r(mirtova_n) AS (SELECT 0 UNION ALL SELECT mirtova_n + 1 FROM mirtova_r WHERE mirtova_n < 63) SELECT SUM(mirtova_b << mirtova_n) FROM (SELECT mirtova_n, SUM((mirtova_e.value >> mirtova_n) & 1) % 2 AS mirtova_b FROM mirtova_r, JSON_EACH(mirtova_a.value) AS mirtova_e GROUP BY mirtova_n))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) END))t"},
      // Two passes over the group's values (gathered as for BitAnd): the mean, then
      // the squared distances from it.
      {"VarPop", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((SELECT SUM((mirtova_e.value - mirtova_m) * (mirtova_e.value - mirtova_m)) / COUNT(mirtova_e.value) FROM JSON_EACH(mirtova_a.value) AS mirtova_e, (SELECT AVG(value) AS mirtova_m FROM JSON_EACH(mirtova_a.value)))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) END))t"},
      {"VarSamp", R"t(((SELECT MAX((SELECT SUM((mirtova_e.value - mirtova_m) * (mirtova_e.value - mirtova_m)) FROM JSON_EACH(mirtova_a.value) AS mirtova_e, (SELECT AVG(value) AS mirtova_m FROM JSON_EACH(mirtova_a.value)))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) / (COUNT({0}) - 1)))t"},
      {"StddevPop", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX(SQRT((SELECT SUM((mirtova_e.value - mirtova_m) * (mirtova_e.value - mirtova_m)) / COUNT(mirtova_e.value) FROM JSON_EACH(mirtova_a.value) AS mirtova_e, (SELECT AVG(value) AS mirtova_m FROM JSON_EACH(mirtova_a.value))))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) END))t"},
      {"StddevSamp", R"t(SQRT((SELECT MAX((SELECT SUM((mirtova_e.value - mirtova_m) * (mirtova_e.value - mirtova_m)) FROM JSON_EACH(mirtova_a.value) AS mirtova_e, (SELECT AVG(value) AS mirtova_m FROM JSON_EACH(mirtova_a.value)))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) / (COUNT({0}) - 1)))t"},
      // Pairs with a NULL on either side are left out, as by the other engines.
      {"CovarPop", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((SELECT SUM((mirtova_x - mirtova_mx) * (mirtova_y - mirtova_my)) / COUNT(*) FROM (SELECT json_extract(value, '$[0]') AS mirtova_x, json_extract(value, '$[1]') AS mirtova_y FROM JSON_EACH(mirtova_a.value) WHERE json_extract(value, '$[0]') IS NOT NULL AND json_extract(value, '$[1]') IS NOT NULL), (SELECT AVG(mirtova_x) AS mirtova_mx, AVG(mirtova_y) AS mirtova_my FROM (SELECT json_extract(value, '$[0]') AS mirtova_x, json_extract(value, '$[1]') AS mirtova_y FROM JSON_EACH(mirtova_a.value) WHERE json_extract(value, '$[0]') IS NOT NULL AND json_extract(value, '$[1]') IS NOT NULL)))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY(JSON_ARRAY({0}, {1}))))) AS mirtova_a) END))t"},
      {"CovarSamp", R"t(((SELECT MAX((SELECT SUM((mirtova_x - mirtova_mx) * (mirtova_y - mirtova_my)) FROM (SELECT json_extract(value, '$[0]') AS mirtova_x, json_extract(value, '$[1]') AS mirtova_y FROM JSON_EACH(mirtova_a.value) WHERE json_extract(value, '$[0]') IS NOT NULL AND json_extract(value, '$[1]') IS NOT NULL), (SELECT AVG(mirtova_x) AS mirtova_mx, AVG(mirtova_y) AS mirtova_my FROM (SELECT json_extract(value, '$[0]') AS mirtova_x, json_extract(value, '$[1]') AS mirtova_y FROM JSON_EACH(mirtova_a.value) WHERE json_extract(value, '$[0]') IS NOT NULL AND json_extract(value, '$[1]') IS NOT NULL)))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY(JSON_ARRAY({0}, {1}))))) AS mirtova_a) / (COUNT(CASE WHEN {0} IS NOT NULL AND {1} IS NOT NULL THEN 1 END) - 1)))t"},
      {"Corr", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((SELECT SUM((mirtova_x - mirtova_mx) * (mirtova_y - mirtova_my)) / SQRT(SUM((mirtova_x - mirtova_mx) * (mirtova_x - mirtova_mx)) * SUM((mirtova_y - mirtova_my) * (mirtova_y - mirtova_my))) FROM (SELECT json_extract(value, '$[0]') AS mirtova_x, json_extract(value, '$[1]') AS mirtova_y FROM JSON_EACH(mirtova_a.value) WHERE json_extract(value, '$[0]') IS NOT NULL AND json_extract(value, '$[1]') IS NOT NULL), (SELECT AVG(mirtova_x) AS mirtova_mx, AVG(mirtova_y) AS mirtova_my FROM (SELECT json_extract(value, '$[0]') AS mirtova_x, json_extract(value, '$[1]') AS mirtova_y FROM JSON_EACH(mirtova_a.value) WHERE json_extract(value, '$[0]') IS NOT NULL AND json_extract(value, '$[1]') IS NOT NULL)))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY(JSON_ARRAY({0}, {1}))))) AS mirtova_a) END))t"},
      // Linear interpolation between the two values around rank p * (n - 1).
      {"PercentileCont", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((SELECT mirtova_lo.mirtova_v + ((mirtova_lo.mirtova_c - 1) * {1} - mirtova_lo.mirtova_i) * (mirtova_hi.mirtova_v - mirtova_lo.mirtova_v) FROM (SELECT value AS mirtova_v, ROW_NUMBER() OVER (ORDER BY value) - 1 AS mirtova_i, COUNT(*) OVER () AS mirtova_c FROM JSON_EACH(mirtova_a.value) WHERE value IS NOT NULL) AS mirtova_lo, (SELECT value AS mirtova_v, ROW_NUMBER() OVER (ORDER BY value) - 1 AS mirtova_i, COUNT(*) OVER () AS mirtova_c FROM JSON_EACH(mirtova_a.value) WHERE value IS NOT NULL) AS mirtova_hi WHERE mirtova_lo.mirtova_i = CAST((mirtova_lo.mirtova_c - 1) * {1} AS INTEGER) AND mirtova_hi.mirtova_i = MIN(mirtova_lo.mirtova_i + 1, mirtova_lo.mirtova_c - 1))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) END))t"},
      // The first value whose cumulative share reaches p.
      {"PercentileDisc", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((SELECT mirtova_v FROM (SELECT value AS mirtova_v, ROW_NUMBER() OVER (ORDER BY value) - 1 AS mirtova_i, COUNT(*) OVER () AS mirtova_c FROM JSON_EACH(mirtova_a.value) WHERE value IS NOT NULL) WHERE mirtova_i = MAX(0, CAST(CEIL(mirtova_c * {1}) AS INTEGER) - 1))) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY({0})))) AS mirtova_a) END))t"},
  };
  // clang-format on
}

}  // namespace mirtova
