// PostgreSQL's own function and operator templates, over the shared base rows.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows psql_function_rows() {
  // clang-format off
  TemplateRows rows = {
      {"RegexpContains", R"t(({0} ~ {1}))t"},
      {"RegexpReplace", R"t(regexp_replace({0}, {1}, {2}, 'g'))t"},
      {"RegexpExtract", R"t(SUBSTRING({0} FROM {1}))t"},
      // DIV of numerics cuts toward zero and is exact past 2^53, where a quotient of
      // doubles is rounded. Operands reach numeric through their text: a double cast
      // straight to numeric keeps only 15 digits, its shortest text all it holds.
      // Past 2^52 a double is whole, and a BIGINT holds all of it.
      {"Div", R"t((SELECT CAST(DIV(mirtova_a, NULLIF(mirtova_b, 0)) AS BIGINT) FROM (SELECT CASE WHEN ABS(CAST(CAST(mirtova_x AS TEXT) AS numeric)) < 4503599627370496 OR ABS(CAST(CAST(mirtova_x AS TEXT) AS numeric)) >= 9223372036854775807 THEN CAST(CAST(mirtova_x AS TEXT) AS numeric) ELSE CAST(CAST(mirtova_x AS BIGINT) AS numeric) END AS mirtova_a, CASE WHEN ABS(CAST(CAST(mirtova_y AS TEXT) AS numeric)) < 4503599627370496 OR ABS(CAST(CAST(mirtova_y AS TEXT) AS numeric)) >= 9223372036854775807 THEN CAST(CAST(mirtova_y AS TEXT) AS numeric) ELSE CAST(CAST(mirtova_y AS BIGINT) AS numeric) END AS mirtova_b FROM (SELECT {0} AS mirtova_x, {1} AS mirtova_y) AS mirtova_s) AS mirtova_n))t"},
      // The empty list stands for a count of 0 or less, not for a missing count. The
      // count is named once; "+ 0" gives a bare null a number's type, not text's.
      {"Range", R"t((SELECT CASE WHEN mirtova_n IS NULL THEN NULL ELSE COALESCE((SELECT ARRAY_AGG(x) FROM GENERATE_SERIES(0, mirtova_n - 1) as x), '{}') END FROM (SELECT {0} + 0 AS mirtova_n) AS mirtova_s))t"},
      // An empty array has no first dimension, and ARRAY_AGG of no rows is null.
      // The list is named once, so that nested calls do not write it twice.
      {"RangeOf", R"t((SELECT CASE WHEN mirtova_l IS NULL THEN NULL ELSE COALESCE((SELECT ARRAY_AGG(x) FROM GENERATE_SERIES(0, ARRAY_LENGTH(mirtova_l, 1) - 1) as x), '{}') END FROM (SELECT {0} AS mirtova_l) AS mirtova_s))t"},
      {"StringAgg", R"t(STRING_AGG(CAST({0} AS TEXT), ','))t"},
      // ARRAY of a missing list's no elements would be the empty list.
      {"Sort", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE ARRAY(SELECT x FROM UNNEST({0}) as x ORDER BY x) END))t"},
      {"Unique", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE ARRAY(SELECT DISTINCT x FROM UNNEST({0}) as x ORDER BY x) END))t"},
      {"ToString", R"t(CAST(%s AS TEXT))t"},
      // FLOOR, CEIL and TRUNC of a BIGINT go through double precision, which
      // holds no integer past 2^53 exactly, and a double cast straight to
      // numeric keeps only 15 digits: a numeric reached through the value's
      // text is exact for both. The text of a double past 2^52 keeps only the
      // digits that tell it from its neighbours, so such a double, whole
      // already, is cast as it is.
      {"ToInt64", R"t((SELECT CASE WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 4503599627370496 THEN CAST(ROUND(CAST(CAST(mirtova_v AS TEXT) AS numeric)) AS BIGINT) ELSE CAST(mirtova_v AS BIGINT) END FROM (SELECT {0} AS mirtova_v) AS mirtova_n))t"},
      // The same holds for rounding; a whole double too large for a BIGINT
      // has no more exact form here than its text.
      {"Round", R"t((SELECT CASE WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 4503599627370496 THEN ROUND(CAST(CAST(mirtova_v AS TEXT) AS numeric)) WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 9223372036854775807 THEN CAST(CAST(mirtova_v AS BIGINT) AS numeric) ELSE CAST(CAST(mirtova_v AS TEXT) AS numeric) END FROM (SELECT {0} AS mirtova_v) AS mirtova_n))t"},
      {"Floor", R"t((SELECT CASE WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 4503599627370496 THEN FLOOR(CAST(CAST(mirtova_v AS TEXT) AS numeric)) WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 9223372036854775807 THEN CAST(CAST(mirtova_v AS BIGINT) AS numeric) ELSE CAST(CAST(mirtova_v AS TEXT) AS numeric) END FROM (SELECT {0} AS mirtova_v) AS mirtova_n))t"},
      {"Ceil", R"t((SELECT CASE WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 4503599627370496 THEN CEIL(CAST(CAST(mirtova_v AS TEXT) AS numeric)) WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 9223372036854775807 THEN CAST(CAST(mirtova_v AS BIGINT) AS numeric) ELSE CAST(CAST(mirtova_v AS TEXT) AS numeric) END FROM (SELECT {0} AS mirtova_v) AS mirtova_n))t"},
      {"Ceiling", R"t((SELECT CASE WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 4503599627370496 THEN CEIL(CAST(CAST(mirtova_v AS TEXT) AS numeric)) WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 9223372036854775807 THEN CAST(CAST(mirtova_v AS BIGINT) AS numeric) ELSE CAST(CAST(mirtova_v AS TEXT) AS numeric) END FROM (SELECT {0} AS mirtova_v) AS mirtova_n))t"},
      {"Trunc", R"t((SELECT CASE WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 4503599627370496 THEN TRUNC(CAST(CAST(mirtova_v AS TEXT) AS numeric)) WHEN ABS(CAST(CAST(mirtova_v AS TEXT) AS numeric)) < 9223372036854775807 THEN CAST(CAST(mirtova_v AS BIGINT) AS numeric) ELSE CAST(CAST(mirtova_v AS TEXT) AS numeric) END FROM (SELECT {0} AS mirtova_v) AS mirtova_n))t"},
      {"ToFloat64", R"t(CAST(%s AS double precision))t"},
      // AVG of integers is exact numeric here, which prints, divides and
      // compares unlike the double every other engine averages to.
      {"Avg", R"t(CAST(AVG(%s) AS double precision))t"},
      {"Element", R"t(({0})[{1} + 1])t"},
      // A list of lists is one array of more dimensions, whose CARDINALITY
      // counts the innermost elements; an empty array has no first dimension.
      {"Size", R"t(COALESCE(ARRAY_LENGTH({0}, 1), CARDINALITY({0})))t"},
      {"Count", R"t(COUNT(DISTINCT {0}))t"},
      {"MagicalEntangle", R"t((CASE WHEN {1} = 0 THEN {0} ELSE NULL END))t"},
      // A missing list makes no list, as on the other engines ("||" takes it
      // for an empty one).
      {"ArrayConcat", R"t((SELECT CASE WHEN mirtova_a IS NULL OR mirtova_b IS NULL THEN NULL ELSE mirtova_a || mirtova_b END FROM (SELECT {0} AS mirtova_a, {1} AS mirtova_b OFFSET 0) AS mirtova_s))t"},
      // MOD takes no double precision.
      {"Mod", R"t(MOD(CAST({0} AS numeric), CAST({1} AS numeric)))t"},
      // An empty delimiter splits a text into its characters.
      {"Split", R"t((CASE WHEN {1} IS NULL THEN NULL WHEN {0} = '' THEN ARRAY[''] WHEN {1} = '' THEN REGEXP_SPLIT_TO_ARRAY({0}, '') ELSE STRING_TO_ARRAY({0}, {1}) END))t"},
      {"AnyValue", R"t((ARRAY_AGG({0}) FILTER (WHERE {0} IS NOT NULL))[1])t"},
      {"Log", R"t(LN(%s))t"},
      // Dates are read from and written as their 'YYYY-MM-DD' text, as on SQLite.
      {"DateAddDay", R"t(TO_CHAR(CAST({0} AS DATE) + CAST({1} AS INTEGER), 'YYYY-MM-DD'))t"},
      {"DateDiffDay", R"t((CAST({0} AS DATE) - CAST({1} AS DATE)))t"},
      // Each side is named once, so that nested calls do not write it twice; OFFSET 0 keeps the
      // planner from writing it back into the CASE.
      {"Concat", R"t((SELECT CASE WHEN mirtova_a IS NULL OR mirtova_b IS NULL THEN NULL ELSE mirtova_a || mirtova_b END FROM (SELECT {0} AS mirtova_a, {1} AS mirtova_b OFFSET 0) AS mirtova_s))t"},
      // Positions, widths and counts are INTEGERs to the engine, and the language's integers are BIGINT.
      // A negative length takes no characters, as on DuckDB and SQLite here
      // (PostgreSQL itself refuses one).
      // Each argument named once, so that nested calls do not write it over and over; a
      // null named in a sub-select would be a text there.
      // Past the text, a position or a length is cut to it, within an INTEGER.
      // A missing text has no length to bound a far start or a long count by, and the
      // cast to INTEGER would then meet them whole.
      // OFFSET 0 keeps the planner from pulling the sub-select up, which would write each
      // nested call into the one around it wherever that reads its text.
      {"Substr", R"t((SELECT CASE WHEN mirtova_t IS NULL THEN NULL ELSE SUBSTR(mirtova_t, CAST((CASE WHEN mirtova_p > LENGTH(mirtova_t) THEN LENGTH(mirtova_t) + 1 WHEN mirtova_p > 0 THEN mirtova_p WHEN mirtova_p = 0 OR LENGTH(mirtova_t) + mirtova_p < 0 THEN 1 ELSE LENGTH(mirtova_t) + mirtova_p + 1 END) AS INTEGER), CAST((CASE WHEN mirtova_n < 0 THEN 0 WHEN mirtova_n > LENGTH(mirtova_t) THEN LENGTH(mirtova_t) ELSE mirtova_n END) AS INTEGER)) END FROM (SELECT {0} AS mirtova_t, CAST({1} AS BIGINT) AS mirtova_p, CAST({2} AS BIGINT) AS mirtova_n OFFSET 0) AS mirtova_s))t"},
      {"Substr@from_start", R"t((SELECT CASE WHEN mirtova_t IS NULL THEN NULL ELSE SUBSTR(mirtova_t, CAST((CASE WHEN {1} > LENGTH(mirtova_t) THEN LENGTH(mirtova_t) + 1 ELSE {1} END) AS INTEGER), CAST((CASE WHEN mirtova_n < 0 THEN 0 WHEN mirtova_n > LENGTH(mirtova_t) THEN LENGTH(mirtova_t) ELSE mirtova_n END) AS INTEGER)) END FROM (SELECT {0} AS mirtova_t, CAST({2} AS BIGINT) AS mirtova_n OFFSET 0) AS mirtova_s))t"},
      {"Lpad", R"t(LPAD({0}, CAST({1} AS INTEGER), {2}))t"},
      {"Rpad", R"t(RPAD({0}, CAST({1} AS INTEGER), {2}))t"},
      {"Repeat", R"t(REPEAT({0}, CAST({1} AS INTEGER)))t"},
      // The set-up defines the aggregate (psql_array_concat_agg_setup).
      // A null list adds no elements: lists that are all null join into the empty
      // one, and only no lists at all into none.
      {"Agg++", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE COALESCE(mirtova_array_concat_agg({0}), '{}') END))t"},
      {"ArrayConcatAgg", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE COALESCE(mirtova_array_concat_agg({0}), '{}') END))t"},
      // No MAX or MIN takes a composite value, but its order sorts them.
      // A record with a null field IS NOT NULL no more than a null is: only a
      // null record is passed over.
      {"AnyValue@record", R"t((ARRAY_AGG({0}) FILTER (WHERE {0} IS DISTINCT FROM NULL))[1])t"},
      {"SomeValue@record", R"t((ARRAY_AGG({0}) FILTER (WHERE {0} IS DISTINCT FROM NULL))[1])t"},
      {"Max@record", R"t((ARRAY_AGG({0} ORDER BY {0} DESC NULLS LAST))[1])t"},
      {"Min@record", R"t((ARRAY_AGG({0} ORDER BY {0} NULLS LAST))[1])t"},
      {"IsNull@record", R"t(({0} IS NOT DISTINCT FROM NULL))t"},
      {"Median", R"t(PERCENTILE_CONT(0.5) WITHIN GROUP (ORDER BY {0}))t"},
      // ANY_VALUE exists only from PostgreSQL 16 on.
      {"SomeValue", R"t((ARRAY_AGG({0}) FILTER (WHERE {0} IS NOT NULL))[1])t"},
      // GENERATE_SERIES of a null bound or step makes no rows, where the
      // list is null; each argument is named once.
      {"GenerateArray", R"t((SELECT CASE WHEN mirtova_a IS NULL OR mirtova_b IS NULL THEN NULL ELSE ARRAY(SELECT GENERATE_SERIES(mirtova_a, mirtova_b)) END FROM (SELECT {0} AS mirtova_a, {1} AS mirtova_b OFFSET 0) AS mirtova_s))t"},
      {"GenerateArray/3", R"t((SELECT CASE WHEN mirtova_a IS NULL OR mirtova_b IS NULL OR mirtova_c IS NULL THEN NULL ELSE ARRAY(SELECT GENERATE_SERIES(mirtova_a, mirtova_b, mirtova_c)) END FROM (SELECT {0} AS mirtova_a, {1} AS mirtova_b, {2} AS mirtova_c OFFSET 0) AS mirtova_s))t"},
      {"ToUInt64", R"t(CAST(%s AS NUMERIC(20, 0)))t"},
      {"LogicalAnd", R"t(BOOL_AND({0}))t"},
      {"LogicalOr", R"t(BOOL_OR({0}))t"},
      {"CurrentDate", R"t(CURRENT_DATE)t"},
      {"CurrentTimestamp", R"t(CURRENT_TIMESTAMP)t"},
      {"Rand", R"t(RANDOM())t"},
      {"TimestampAddDays", R"t(CAST({0} AS TIMESTAMP) + MAKE_INTERVAL(days => CAST({1} AS INTEGER)))t"},
  };
  // clang-format on
  add_refused_rows(rows, kFunctionsOnlyOnBigQuery);
  // Functions of the catalogue this engine lacks besides.
  add_refused_rows(rows, R"t(Error NormalizeAndCasefold Sha1)t");
  return rows;
}

std::string_view psql_array_concat_agg_setup() {
  // ARRAY_AGG of lists makes an array of arrays, which must all be of one
  // length, and has no sub-query to unnest it in when its argument is a
  // constant; array_cat has no such bounds. A list of lists is one array of
  // more dimensions here, which UNNEST reads element by element, so the
  // aggregate also appends single elements (array_append takes any element,
  // so it is wrapped to take none that is an array, lest the two forms clash).
  // The polymorphic types are anycompatible... from version 14, any... before.
  return "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_proc WHERE proname = 'mirtova_array_concat_agg' AND "
         "pg_function_is_visible(oid)) THEN IF current_setting('server_version_num')::int >= 140000 THEN "
         "CREATE FUNCTION mirtova_array_push(anycompatiblearray, anycompatiblenonarray) RETURNS "
         "anycompatiblearray LANGUAGE sql IMMUTABLE AS 'SELECT array_append($1, $2)'; "
         "CREATE AGGREGATE mirtova_array_concat_agg(anycompatiblearray) (SFUNC = array_cat, STYPE = "
         "anycompatiblearray); CREATE AGGREGATE mirtova_array_concat_agg(anycompatiblenonarray) (SFUNC = "
         "mirtova_array_push, STYPE = anycompatiblearray); ELSE CREATE FUNCTION mirtova_array_push(anyarray, "
         "anynonarray) RETURNS anyarray LANGUAGE sql IMMUTABLE AS 'SELECT array_append($1, $2)'; CREATE "
         "AGGREGATE mirtova_array_concat_agg(anyarray) (SFUNC = array_cat, STYPE = anyarray); CREATE "
         "AGGREGATE "
         "mirtova_array_concat_agg(anynonarray) (SFUNC = mirtova_array_push, STYPE = anyarray); END IF; END "
         "IF; "
         "END $$;";
}

TemplateRows psql_operator_rows() {
  return {
      {"/", R"t(CAST(%s AS double precision) / NULLIF(%s, 0))t"},
      {"%", R"t(MOD(CAST(%s AS numeric), NULLIF(CAST(%s AS numeric), 0)))t"},
      {"++", R"t(%s || %s)t"},
      {"in", R"t(%s = ANY(%s))t"},
      // A record of null fields IS NULL there, and one with a null field is
      // not NOT NULL: a record is null only when it is no record at all.
      {"is@record", R"t(%s IS NOT DISTINCT FROM %s)t"},
      {"is not@record", R"t(%s IS DISTINCT FROM %s)t"},
  };
}

}  // namespace mirtova
