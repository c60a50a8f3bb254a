// Presto's and Trino's own function and operator templates, over the shared
// base rows: one operator table, and function rows that differ where one engine
// lacks what the other has.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

namespace {

// The rows both engines take.
TemplateRows shared_function_rows() {
  // clang-format off
  TemplateRows rows = {
      {"Repeat", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE ARRAY_JOIN(REPEAT({0}, CAST({1} AS INTEGER)), '') END))t"},
      {"StartsWith", R"t(starts_with(CAST({0} AS VARCHAR), CAST({1} AS VARCHAR)))t"},
      {"EndsWith", R"t(starts_with(REVERSE(CAST({0} AS VARCHAR)), REVERSE(CAST({1} AS VARCHAR))))t"},
      // A sequence holds at most 10,000 elements: longer ones are made of
      // sequences of that many.
      {"Range", R"t(filter(flatten(transform(sequence(0, greatest({0}, 0) / 10000), mirtova_b -> sequence(mirtova_b * 10000, mirtova_b * 10000 + 9999))), mirtova_i -> mirtova_i < {0}))t"},
      {"RangeOf", R"t(filter(flatten(transform(sequence(0, cardinality({0}) / 10000), mirtova_b -> sequence(mirtova_b * 10000, mirtova_b * 10000 + 9999))), mirtova_i -> mirtova_i < cardinality({0})))t"},
      {"StringAgg", R"t((CASE WHEN COUNT({0}) > 0 THEN ARRAY_JOIN(ARRAY_AGG(CAST({0} AS VARCHAR)), ',') END))t"},
      {"Join", R"t(ARRAY_JOIN({0}, {1}))t"},
      {"ToInt64", R"t(CAST(%s AS BIGINT))t"},
      {"ToFloat64", R"t(CAST(%s AS DOUBLE))t"},
      // "/" of two BIGINTs is exact and cut toward zero, where a quotient of
      // DOUBLEs is rounded past 2^53; a DOUBLE operand gives a DOUBLE quotient.
      // truncate of a BIGINT takes it as a DECIMAL(19, 0), so stays exact. A
      // quotient of DECIMALs is rounded half up to the scale of its operands
      // before truncate sees it: those are divided as DOUBLEs.
      {"Div", R"t((CASE WHEN typeof({0}) LIKE 'decimal%' OR typeof({1}) LIKE 'decimal%' THEN CAST(truncate(CAST({0} AS DOUBLE) / NULLIF(CAST({1} AS DOUBLE), 0)) AS BIGINT) ELSE CAST(truncate(({0}) / NULLIF({1}, 0)) AS BIGINT) END))t"},
      {"AnyValue", R"t(ARBITRARY(%s))t"},
      // An empty list's ARRAY[] is of no type: "||" and concat then also match a
      // list joined to an element, and refuse it. Inside ARRAY[...] it takes
      // the other list's type; flatten skips a null list, so one gives null.
      // The pair is bound by a lambda so that each list is written once (a
      // nesting of these calls would otherwise grow twofold a level).
      {"ArrayConcat", R"t(element_at(transform(ARRAY[ARRAY[{0}, {1}]], mirtova_p -> (CASE WHEN cardinality(filter(mirtova_p, mirtova_e -> mirtova_e IS NULL)) > 0 THEN NULL ELSE flatten(mirtova_p) END)), 1))t"},
      {"Concat", R"t(element_at(transform(ARRAY[ARRAY[{0}, {1}]], mirtova_p -> (CASE WHEN cardinality(filter(mirtova_p, mirtova_e -> mirtova_e IS NULL)) > 0 THEN NULL ELSE flatten(mirtova_p) END)), 1))t"},
      {"Size", R"t(CARDINALITY({0}))t"},
      {"Log", R"t(LN({0}))t"},
      // Presto's ARRAY_AGG in a sub-query that refers out gives [null], not
      // null, where no row matches; an aggregate with a FILTER does not.
      {"List", R"t(ARRAY_AGG(%s) FILTER (WHERE true))t"},
      {"Agg++", R"t(FLATTEN(ARRAY_AGG({0}) FILTER (WHERE true)))t"},
      {"Element", R"t((CASE WHEN {1} < 0 THEN NULL ELSE ELEMENT_AT({0}, {1} + 1) END))t"},
      {"ToUInt64", R"t(CAST(%s AS DECIMAL(20, 0)))t"},
      {"Sort", R"t(array_sort({0}))t"},
      {"Unique", R"t(array_sort(array_distinct({0})))t"},
      // Sorted as on the other engines. Records and lists holding a null cannot
      // be compared by the engines, so those are sorted by their JSON text.
      {"Set", R"t(array_sort(ARRAY_AGG(DISTINCT {0}) FILTER (WHERE true)))t"},
      {"Set@record", R"t(array_sort(ARRAY_AGG(DISTINCT {0}) FILTER (WHERE true), (mirtova_l, mirtova_r) -> (CASE WHEN json_format(CAST(mirtova_l AS JSON)) < json_format(CAST(mirtova_r AS JSON)) THEN -1 WHEN json_format(CAST(mirtova_l AS JSON)) > json_format(CAST(mirtova_r AS JSON)) THEN 1 ELSE 0 END)))t"},
      {"Set@list", R"t(array_sort(ARRAY_AGG(DISTINCT {0}) FILTER (WHERE true), (mirtova_l, mirtova_r) -> (CASE WHEN json_format(CAST(mirtova_l AS JSON)) < json_format(CAST(mirtova_r AS JSON)) THEN -1 WHEN json_format(CAST(mirtova_l AS JSON)) > json_format(CAST(mirtova_r AS JSON)) THEN 1 ELSE 0 END)))t"},
      // The middle value, or the mean of the two middle ones, as elsewhere.
      {"Median", R"t(element_at(transform(ARRAY[array_sort(filter(array_agg(CAST({0} AS DOUBLE)), mirtova_e -> mirtova_e IS NOT NULL))], mirtova_s -> (CASE WHEN cardinality(mirtova_s) = 0 THEN NULL ELSE (element_at(mirtova_s, (cardinality(mirtova_s) + 1) / 2) + element_at(mirtova_s, cardinality(mirtova_s) / 2 + 1)) / 2 END)), 1))t"},
      // An empty separator splits between characters, as BigQuery does.
      {"Split", R"t((CASE WHEN {1} = '' THEN (CASE WHEN {0} = '' THEN ARRAY[''] ELSE regexp_extract_all({0}, '(?s).') END) ELSE split({0}, {1}) END))t"},
      // BigQuery's replacement names a group \1 and takes $ as it stands; these
      // engines name it $1 and read \$ as $.
      {"RegexpReplace", R"t(regexp_replace({0}, {1}, array_join(transform(regexp_extract_all({2}, '(?s)\\.|.'), mirtova_t -> (CASE WHEN mirtova_t = '$' THEN '\$' WHEN regexp_like(mirtova_t, '^\\[0-9]$') THEN '$' || substr(mirtova_t, 2) ELSE mirtova_t END)), '')))t"},
      // The first group when the pattern has one, else the match: a text that
      // matches fails to give a group the pattern lacks.
      {"RegexpExtract", R"t((CASE WHEN regexp_like({0}, {1}) THEN (CASE WHEN try(regexp_extract_all({0}, {1}, 1)) IS NULL THEN regexp_extract({0}, {1}) ELSE regexp_extract({0}, {1}, 1) END) END))t"},
  };
  // clang-format on
  add_refused_rows(rows, kFunctionsOnlyOnBigQuery);
  // Their from_utf8 does what BigQuery's function does (see the bytes rows).
  std::erase_if(rows, [](const TemplateRow& row) { return row.name == "SafeConvertBytesToString"; });
  // Functions of the catalogue these engines lack besides: no case folding.
  add_refused_rows(rows, R"t(NormalizeAndCasefold)t");
  return rows;
}

}  // namespace

TemplateRows presto_function_rows() {
  TemplateRows rows = shared_function_rows();
  // clang-format off
  TemplateRows own = {
      {"ToString", R"t(CAST(%s AS VARCHAR))t"},
      {"Sinh", R"t(((exp({0}) - exp(-({0}))) / 2))t"},
      // Presto writes a ROW as a JSON array, without its field names: a record's
      // JSON is refused, and any other value holding one fails when run.
      {"ToJsonString", R"t((CASE WHEN strpos(typeof({0}), 'row(') > 0 THEN fail('ToJsonString of a value holding a record is not available on engine presto') ELSE COALESCE(json_format(CAST({0} AS JSON)), 'null') END))t"},
      {"ToJsonString@record", kNotOnThisEngine},
  };
  // clang-format on
  rows.insert(rows.end(), own.begin(), own.end());
  return rows;
}

TemplateRows trino_function_rows() {
  TemplateRows rows = shared_function_rows();
  // clang-format off
  TemplateRows own = {
      {"ToString", R"t(element_at(transform(filter(ARRAY[{0}], v -> v IS NOT NULL), v -> IF(typeof(v) LIKE 'timestamp%', CAST(v AS VARCHAR), format('%s', v))), 1))t"},
      // The JSON of a NULL is the text null.
      {"ToJsonString", R"t(COALESCE(json_format(CAST({0} AS JSON)), 'null'))t"},
  };
  // clang-format on
  rows.insert(rows.end(), own.begin(), own.end());
  return rows;
}

TemplateRows presto_trino_operator_rows() {
  return {
      {"/", R"t(CAST(%s AS DOUBLE) / NULLIF(%s, 0))t"},
      {"++", R"t(CONCAT(%s, %s))t"},
      // CONTAINS fails on a list whose element holds a null ("contains does
      // not support arrays with elements that are null or contain null"):
      // elements are compared as values, a null field equal to a null field,
      // and the value sought and the list are bound once each.
      {"in",
       R"t(element_at(transform(ARRAY[ROW({0}, {1})], mirtova_p -> (CASE WHEN mirtova_p[1] IS NULL THEN NULL WHEN any_match(mirtova_p[2], mirtova_e -> mirtova_e IS NOT DISTINCT FROM mirtova_p[1]) THEN true WHEN any_match(mirtova_p[2], mirtova_e -> mirtova_e IS NULL) THEN NULL WHEN mirtova_p[2] IS NOT NULL THEN false END)), 1))t"},
      // "=" of two ROWs is null where a field of either is: records are
      // values, equal where their fields are, null ones included.
      {"==@record", R"t(({0} IS NOT DISTINCT FROM {1} AND {0} IS NOT NULL AND {1} IS NOT NULL))t"},
      {"!=@record", R"t(({0} IS DISTINCT FROM {1} AND {0} IS NOT NULL AND {1} IS NOT NULL))t"},
  };
}

}  // namespace mirtova
