// Databricks's own function and operator templates, over the shared base rows.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows databricks_function_rows() {
  // clang-format off
  TemplateRows rows = {
      {"Strpos", R"t(INSTR({0}, {1}))t"},
      {"RegexpContains", R"t(({0} RLIKE {1}))t"},
      // The first group when the pattern has one, else the match (as for
      // RegexpExtractAll, whose row tells how a group is found). REGEXP_EXTRACT
      // gives '' for a group that took no part: an empty group is told from one
      // by a back reference to it after the first match, which only a group
      // that took part matches (the atomic group keeps it to the first match).
      {"RegexpExtract", R"t((CASE WHEN {0} RLIKE {1} THEN (CASE WHEN size(regexp_extract_all(regexp_replace({1}, '\\\\.|\\[(?:\\\\.|[^\\]])*\\]', ''), '\\((?!\\?)', 0)) > 0 THEN (CASE WHEN REGEXP_EXTRACT({0}, '(?:' || {1} || ')()', 1) <> '' OR {0} RLIKE ('^(?>(?s:.*?)(?:' || {1} || '))\\1') THEN REGEXP_EXTRACT({0}, '(?:' || {1} || ')()', 1) END) ELSE REGEXP_EXTRACT({0}, {1}, 0) END) END))t"},
      // The replacement's \N is a group as on the other engines, its $ a dollar.
      {"RegexpReplace", R"t(REGEXP_REPLACE({0}, {1}, ARRAY_JOIN(TRANSFORM(REGEXP_EXTRACT_ALL({2}, '(?s)\\\\.|.', 0), mirtova_t -> (CASE WHEN mirtova_t = '$' THEN '\\$' WHEN mirtova_t RLIKE '^\\\\[0-9]$' THEN '$' || SUBSTR(mirtova_t, 2) ELSE mirtova_t END)), '')))t"},
      {"ToString", R"t(CAST(%s AS STRING))t"},
      {"StringAgg", R"t((CASE WHEN COUNT({0}) > 0 THEN ARRAY_JOIN(COLLECT_LIST(CAST({0} AS STRING)), ',') END))t"},
      {"Join", R"t(ARRAY_JOIN({0}, {1}))t"},
      {"Split", R"t(SPLIT({0}, REGEXP_REPLACE({1}, '([^a-zA-Z0-9])', '\\\\$1')))t"},
      {"ToInt64", R"t(CAST(ROUND({0}) AS BIGINT))t"},
      {"ToFloat64", R"t(CAST(%s AS DOUBLE))t"},
      // "div" is exact and cut toward zero, where a quotient of DOUBLEs is
      // rounded past 2^53, but refuses a DOUBLE: the operands' types, known
      // when the query is planned, pick it or the DOUBLE quotient, which the
      // cast cuts toward zero.
      {"Div", R"t((CASE WHEN typeof({0}) IN ('bigint', 'int', 'smallint', 'tinyint') AND typeof({1}) IN ('bigint', 'int', 'smallint', 'tinyint') THEN CAST({0} AS BIGINT) div NULLIF(CAST({1} AS BIGINT), 0) ELSE CAST(CAST({0} AS DOUBLE) / NULLIF({1}, 0) AS BIGINT) END))t"},
      {"ILike", R"t((CAST({0} AS STRING) ILIKE {1} ESCAPE '\\'))t"},
      {"Like", R"t((CAST({0} AS STRING) LIKE {1} ESCAPE '\\'))t"},
      {"Replace", R"t(REPLACE(CAST({0} AS STRING), {1}, {2}))t"},
      // CONCAT refuses a bare NULL beside a list (it takes the NULL for a
      // STRING); ARRAY gives the NULL the list's type, and FLATTEN keeps a
      // missing list missing, each list written once. The empty list gives two
      // bare NULLs a list type.
      {"ArrayConcat", R"t(FLATTEN(ARRAY({0}, {1}, ARRAY())))t"},
      {"Concat", R"t(FLATTEN(ARRAY({0}, {1}, ARRAY())))t"},
      {"Range", R"t(FILTER(SEQUENCE(0, CAST({0} AS BIGINT)), x -> x < {0}))t"},
      // Each element's place: SEQUENCE(0, -1) of the empty list would count down.
      {"RangeOf", R"t(TRANSFORM(%s, (mirtova_e, mirtova_i) -> mirtova_i))t"},
      {"Size", R"t(ARRAY_SIZE(%s))t"},
      // COLLECT_LIST leaves NULLs out, but not records holding one; the field
      // of a list of records is read without a lambda, which could not hold a
      // sub-query. A set is sorted, NULL last, as on the other engines:
      // SORT_ARRAY takes no lambda (ARRAY_SORT does, hidden), and puts a NULL
      // first, so the records are led by whether the value is NULL.
      {"List", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE COLLECT_LIST(STRUCT(%s AS v)).v END))t"},
      {"Set", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE SORT_ARRAY(ARRAY_DISTINCT(COLLECT_LIST(STRUCT({0} IS NULL AS unknown, {0} AS v)))).v END))t"},
      // Past the end is NULL, as on the other engines (ELEMENT_AT fails in ANSI mode).
      {"Element", R"t((CASE WHEN {1} < 0 THEN NULL ELSE TRY_ELEMENT_AT({0}, CAST({1} AS INT) + 1) END))t"},
      {"Format", R"t(FORMAT_STRING(%s))t"},
      {"IsNull", R"t(({0} IS NULL))t"},
      {"LogicalOr", R"t(BOOL_OR(%s))t"},
      {"LogicalAnd", R"t(BOOL_AND(%s))t"},
      {"Agg++", R"t(FLATTEN(COLLECT_LIST(%s)))t"},
      {"ToUInt64", R"t(CAST(%s AS DECIMAL(20, 0)))t"},
  };
  // clang-format on
  add_refused_rows(rows, kFunctionsOnlyOnBigQuery);
  // Functions of the catalogue this engine lacks besides.
  add_refused_rows(rows, R"t(Normalize NormalizeAndCasefold)t");
  return rows;
}

TemplateRows databricks_operator_rows() {
  return {
      {"++", R"t(CONCAT(%s, %s))t"},
      {"in", R"t(ARRAY_CONTAINS({1}, {0}))t"},
  };
}

}  // namespace mirtova
