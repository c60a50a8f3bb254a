// DuckDB's own function and operator templates, over the shared base rows.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows duckdb_function_rows() {
  TemplateRows rows = {
      {"RegexpContains", R"t(regexp_matches({0}, {1}))t"},
      {"RegexpReplace", R"t(regexp_replace({0}, {1}, {2}, 'g'))t"},
      // The first group when the pattern has one, else the match: a text that
      // matches fails to give a group the pattern lacks. The group is read from
      // the first of all matches, where a group that took no part is NULL
      // (regexp_extract gives it as '').
      {"RegexpExtract",
       R"t((CASE WHEN regexp_matches({0}, {1}) THEN (CASE WHEN try(regexp_extract_all({0}, {1}, 1)) IS NULL THEN regexp_extract({0}, {1}) ELSE regexp_extract_all({0}, {1}, 1)[1] END) END))t"},
      {"Element", R"t((CASE WHEN {1} < 0 THEN NULL ELSE array_extract({0}, CAST({1} + 1 AS BIGINT)) END))t"},
      {"ToInt64", R"t(CAST(ROUND(%s) AS BIGINT))t"},
      // FLOOR and CEIL of a BIGINT give a DOUBLE, which holds no integer past
      // 2^53 exactly; TRUNC keeps the value's type. The value is named once,
      // so that nested calls do not repeat it.
      {"Floor",
       R"t(list_transform([{0}], mirtova_v -> TRUNC(mirtova_v) - (CASE WHEN mirtova_v < TRUNC(mirtova_v) THEN 1 ELSE 0 END))[1])t"},
      {"Ceiling",
       R"t(list_transform([{0}], mirtova_v -> TRUNC(mirtova_v) + (CASE WHEN mirtova_v > TRUNC(mirtova_v) THEN 1 ELSE 0 END))[1])t"},
      {"Ceil",
       R"t(list_transform([{0}], mirtova_v -> TRUNC(mirtova_v) + (CASE WHEN mirtova_v > TRUNC(mirtova_v) THEN 1 ELSE 0 END))[1])t"},
      {"Trunc", R"t(TRUNC({0}))t"},
      {"Range", R"t(Range({0}))t"},
      {"ValueOfUnnested", R"t({0}.unnested_pod)t"},
      {"Size", R"t(LEN({0}))t"},
      // ARRAY_TO_STRING takes a missing separator for the empty one, and of nulls
      // alone, which it leaves out, gives null: their text is the empty one.
      {"Join",
       R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE COALESCE(ARRAY_TO_STRING({0}, {1}), '') END))t"},
      {"Count", R"t(COUNT(DISTINCT {0}))t"},
      {"StringAgg", R"t(GROUP_CONCAT(%s))t"},
      {"Sort", R"t(LIST_SORT({0}))t"},
      // UNNEST binds no bare null (the empty list it reads instead is typed by
      // the list's own type), and a missing list has no elements to keep.
      {"Unique",
       R"t((CASE WHEN {0} IS NULL THEN NULL ELSE ARRAY(SELECT DISTINCT x FROM UNNEST(COALESCE({0}, [])) as x ORDER BY x) END))t"},
      {"MagicalEntangle", R"t((CASE WHEN {1} = 0 THEN {0} ELSE NULL END))t"},
      {"Format", R"t(Printf(%s))t"},
      {"Least", R"t(LEAST(%s))t"},
      {"Greatest", R"t(GREATEST(%s))t"},
      {"ToString", R"t(CAST(%s AS TEXT))t"},
      {"ToFloat64", R"t(CAST(%s AS DOUBLE))t"},
      // Dates are read from and written as their 'YYYY-MM-DD' text, as on SQLite.
      {"DateAddDay", R"t(CAST(CAST({0} AS DATE) + CAST({1} AS INTEGER) AS VARCHAR))t"},
      {"DateDiffDay", R"t(DATE_DIFF('day', CAST({1} AS DATE), CAST({0} AS DATE)))t"},
      {"CurrentTimestamp", R"t(GET_CURRENT_TIMESTAMP())t"},
      {"Rand", R"t(RANDOM(%s))t"},
      {"Log", R"t(LN(%s))t"},
      {"RangeOf", R"t(Range(LEN({0})))t"},
      {"GenerateArray", R"t(GENERATE_SERIES(%s))t"},
      {"Agg++", R"t(FLATTEN(ARRAY_AGG({0})))t"},
      {"ArrayConcatAgg", R"t(FLATTEN(ARRAY_AGG({0})))t"},
      {"Median", R"t(MEDIAN({0}))t"},
      // A missing list makes no list, as on the other engines: "||" of lists
      // keeps a null, where ARRAY_CONCAT takes it for an empty list.
      {"ArrayConcat", R"t((({0}) || ({1})))t"},
      {"Concat", R"t((({0}) || ({1})))t"},
      // The width is an INTEGER to the engine, and the language's integers are BIGINT.
      {"Lpad", R"t(LPAD({0}, CAST({1} AS INTEGER), {2}))t"},
      {"Rpad", R"t(RPAD({0}, CAST({1} AS INTEGER), {2}))t"},
      {"LogicalAnd", R"t(BOOL_AND({0}))t"},
      {"LogicalOr", R"t(BOOL_OR({0}))t"},
      {"TimestampAddDays", R"t(CAST({0} AS TIMESTAMP) + TO_DAYS(CAST({1} AS INTEGER)))t"},
      {"ToUInt64", R"t(CAST(%s AS UBIGINT))t"},
      // Integers divide exactly and toward zero with "//" past 2^53, where a DOUBLE
      // quotient is rounded; a DOUBLE operand makes "//" a plain quotient, which
      // TRUNC cuts toward zero.
      {"Div", R"t(CAST(TRUNC(({0}) // NULLIF({1}, 0)) AS BIGINT))t"},
      // Sorted after the aggregation: DuckDB refuses ORDER BY a constant or a
      // sub-query inside ARRAY_AGG(DISTINCT ...).
      {"Set", R"t(LIST_SORT(ARRAY_AGG(DISTINCT {0})))t"},
  };
  add_refused_rows(rows, kFunctionsOnlyOnBigQuery);
  // Functions of the catalogue this engine lacks besides.
  add_refused_rows(rows, R"t(Normalize/2 NormalizeAndCasefold Sha512)t");
  return rows;
}

TemplateRows duckdb_operator_rows() {
  return {
      {"++", R"t((%s) || (%s))t"},
      {"%", R"t((%s) % NULLIF(%s, 0))t"},
      // A value not found where the list holds a null is unknown, as a null
      // sought is (list_contains would answer false).
      {"in",
       R"t((CASE WHEN list_contains({1}, {0}) THEN true WHEN {0} IS NULL OR {1} IS NULL OR list_count({1}) < len({1}) THEN NULL ELSE false END))t"},
  };
}

}  // namespace mirtova
