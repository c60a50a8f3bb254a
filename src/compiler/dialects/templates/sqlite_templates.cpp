// SQLite's own function and operator templates, over the shared base rows.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows sqlite_function_rows() {
  // clang-format off
  TemplateRows rows = {
      {"Strpos", R"t(INSTR({0}, {1}))t"},
      // The shared rows, here to have their arguments read once (see the dialect).
      {"StartsWith", R"t((SUBSTR({0}, 1, LENGTH({1})) = {1}))t"},
      {"EndsWith", R"t((LENGTH({1}) <= LENGTH({0}) AND SUBSTR({0}, LENGTH({0}) - LENGTH({1}) + 1, LENGTH({1})) = {1}))t"},
      {"Trunc", R"t((CASE WHEN {0} < 0 THEN CEIL({0}) ELSE FLOOR({0}) END))t"},
      // A text cut to the width never reads the pad, which would hide a missing one.
      {"Lpad", R"t((CASE WHEN {2} IS NULL THEN NULL WHEN LENGTH({0}) >= {1} THEN SUBSTR({0}, 1, {1}) ELSE SUBSTR(REPLACE(HEX(ZEROBLOB({1})), '00', {2}), 1, {1} - LENGTH({0})) || {0} END))t"},
      {"Rpad", R"t((CASE WHEN {2} IS NULL THEN NULL WHEN LENGTH({0}) >= {1} THEN SUBSTR({0}, 1, {1}) ELSE {0} || SUBSTR(REPLACE(HEX(ZEROBLOB({1})), '00', {2}), 1, {1} - LENGTH({0})) END))t"},
      {"Repeat", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE REPLACE(HEX(ZEROBLOB({1})), '00', {0}) END))t"},
      // SQLite's LIKE ignores the case of ASCII letters; GLOB does not, so the
      // pattern is rewritten for GLOB character by character: "%" and "_" become
      // "*" and "?", GLOB's own "*", "?" and "[" are bracketed, and "\" takes the
      // next character as it stands.
      {"Like", R"t(({0} GLOB (WITH RECURSIVE mirtova_l(i, g) AS (SELECT 1, '' UNION ALL SELECT i + (CASE WHEN SUBSTR({1}, i, 1) = '\' AND i < LENGTH({1}) THEN 2 ELSE 1 END), g || (CASE WHEN SUBSTR({1}, i, 1) = '\' AND i < LENGTH({1}) THEN (CASE WHEN SUBSTR({1}, i + 1, 1) IN ('*', '?', '[') THEN '[' || SUBSTR({1}, i + 1, 1) || ']' ELSE SUBSTR({1}, i + 1, 1) END) WHEN SUBSTR({1}, i, 1) = '%' THEN '*' WHEN SUBSTR({1}, i, 1) = '_' THEN '?' WHEN SUBSTR({1}, i, 1) IN ('*', '?', '[') THEN '[' || SUBSTR({1}, i, 1) || ']' ELSE SUBSTR({1}, i, 1) END) FROM mirtova_l WHERE i <= LENGTH({1})) SELECT g FROM mirtova_l WHERE i > LENGTH({1}))))t"},
      // The text is read once and carried along: written at each step, a
      // nested Reverse would double its SQL and its work per level.
      {"Reverse", R"t((WITH RECURSIVE mirtova_r(i, t, s) AS (SELECT 0, '', {0} UNION ALL SELECT i + 1, SUBSTR(s, i + 1, 1) || t, s FROM mirtova_r WHERE i < LENGTH(s)) SELECT t FROM mirtova_r WHERE i = LENGTH(s)))t"},
      {"RegexpContains", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE {0} REGEXP {1} END))t"},
      // Integers divide exactly and toward zero past 2^53, where a REAL quotient is
      // rounded; a REAL operand gives a REAL quotient, which the cast truncates.
      {"Div", R"t(CAST(({0}) / NULLIF({1}, 0) AS INTEGER))t"},
      // ROUND gives a REAL, which holds no integer past 2^53 exactly: an integer
      // is already whole.
      {"Round", R"t((CASE WHEN typeof({0}) = 'integer' THEN {0} ELSE ROUND({0}) END))t"},
      {"ToInt64", R"t((CASE WHEN typeof({0}) = 'real' THEN CAST(ROUND({0}) AS INTEGER) ELSE CAST({0} AS INTEGER) END))t"},
      {"Set", R"t(JSON(DistinctListAgg({0})))t"},
      {"Element", R"t((CASE WHEN {1} < 0 THEN NULL ELSE JSON_EXTRACT({0}, '$[' || {1} || ']') END))t"},
      // No count, no list: an aggregate over no row would give the empty one.
      {"Range", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE (select json_group_array(n) from (with recursive t as(select 0 as n union all select n + 1 as n from t where n + 1 < {0}) select n from t) where n < {0}) END))t"},
      {"ValueOfUnnested", R"t({0}.value)t"},
      {"List", R"t((CASE WHEN COUNT(*) = 0 THEN NULL ELSE JSON_GROUP_ARRAY({0}) END))t"},
      {"Size", R"t(JSON_ARRAY_LENGTH({0}))t"},
      {"Join", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE COALESCE((SELECT GROUP_CONCAT(value, {1}) FROM (SELECT value FROM JSON_EACH({0}) WHERE value IS NOT NULL ORDER BY key)), '') END))t"},
      {"Count", R"t(COUNT(DISTINCT {0}))t"},
      {"StringAgg", R"t(GROUP_CONCAT(%s))t"},
      // The host's SortList takes a missing list for the empty one.
      {"Sort", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE JSON(SortList({0})) END))t"},
      {"MagicalEntangle", R"t(MagicalEntangle({0}, {1}))t"},
      {"Format", R"t(Printf(%s))t"},
      {"Least", R"t(MIN(%s))t"},
      {"Greatest", R"t(MAX(%s))t"},
      {"ToString", R"t(CAST(%s AS TEXT))t"},
      {"DateAddDay", R"t(DATE({0}, {1} || ' days'))t"},
      {"DateDiffDay", R"t(CAST(JULIANDAY({0}) - JULIANDAY({1}) AS INT64))t"},
      // Any value that is not null: the least is one.
      {"SomeValue", R"t(MIN({0}))t"},
      {"AnyValue", R"t(MIN({0}))t"},
      {"Log", R"t(LN(%s))t"},
      // A null is kept once, last, as the other engines sort it.
      // JSON_GROUP_ARRAY of no rows is the empty list, a missing list's too.
      {"Unique", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE (SELECT JSON_GROUP_ARRAY(value) FROM (SELECT DISTINCT value FROM JSON_EACH({0}) ORDER BY value IS NULL, value)) END))t"},
      {"ArrayAgg", R"t(JSON_GROUP_ARRAY({0}))t"},
      {"LogicalAnd", R"t(MIN({0}))t"},
      {"LogicalOr", R"t(MAX({0}))t"},
      {"TimestampAddDays", R"t(DATETIME({0}, {1} || ' days'))t"},
      {"CurrentDate", R"t(CURRENT_DATE)t"},
      {"CurrentTimestamp", R"t(CURRENT_TIMESTAMP)t"},
      {"Rand", R"t((ABS(RANDOM()) / 9223372036854775808.0))t"},
      {"RangeOf", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE (SELECT JSON_GROUP_ARRAY(key) FROM JSON_EACH({0})) END))t"},
      // Host functions, registered by the host on its connection. A list one
      // gives is read by JSON(), to be spelled without the host's spaces, as
      // the engine spells a list: rows are told apart by the text.
      {"Split", R"t(JSON(MIRTOVA_SPLIT({0}, {1})))t"},
      {"RegexpReplace", R"t(MIRTOVA_REGEXP_REPLACE({0}, {1}, {2}))t"},
      {"RegexpExtract", R"t(MIRTOVA_REGEXP_EXTRACT({0}, {1}))t"},
      {"Concat", R"t(JSON(MIRTOVA_ARRAY_CONCAT({0}, {1})))t"},
      {"ArrayConcat", R"t(JSON(MIRTOVA_ARRAY_CONCAT({0}, {1})))t"},
      {"Agg++", R"t(JSON(MIRTOVA_ARRAY_CONCAT_AGG({0})))t"},
      {"ArrayConcatAgg", R"t(JSON(MIRTOVA_ARRAY_CONCAT_AGG({0})))t"},
      {"Median", R"t(MIRTOVA_MEDIAN({0}))t"},
  };
  // clang-format on
  add_refused_rows(rows, kFunctionsOnlyOnBigQuery);
  // Functions of the catalogue this engine lacks besides.
  add_refused_rows(
      rows,
      R"t(BitCastToUint64 CurrentDatetime/1 CurrentTime/1 Date/2 IeeeDivide SessionUser String/2 Time/2
Timestamp/2 TimestampTrunc/3)t");
  return rows;
}

TemplateRows sqlite_operator_rows() {
  return {
      {"/", R"t(CAST(%s AS REAL) / NULLIF(%s, 0))t"},
      {"++", R"t((%s) || (%s))t"},
      // The smallest integer over -1 overflows into a real: by -1 the remainder
      // is the fraction of the dividend.
      {"%",
       R"t((CASE WHEN ({1}) = -1 THEN ({0}) - CAST(({0}) AS INTEGER) ELSE ({0}) - ({1}) * CAST(({0}) / NULLIF({1}, 0) AS INTEGER) END))t"},
      // A null sought, or a value not found where the list holds a null, is
      // unknown, as on the other engines, whatever the host's IN_LIST makes of it.
      {"in",
       R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL WHEN IN_LIST({0}, {1}) THEN 1 WHEN EXISTS (SELECT 1 FROM JSON_EACH({1}) WHERE type = 'null') THEN NULL ELSE 0 END))t"},
  };
}

}  // namespace mirtova
