// The function and operator templates shared by every engine.
#include "compiler/expr_translate/template_tables.h"

namespace mirtova {

// The texts are raw strings: a backslash in them is one backslash of the SQL.

TemplateRows base_infix_operators() {
  // clang-format off
  return {
      {"==", R"t(%s = %s)t"},
      {"!=", R"t(%s != %s)t"},
      {"<=", R"t(%s <= %s)t"},
      {"<", R"t(%s < %s)t"},
      {">=", R"t(%s >= %s)t"},
      {">", R"t(%s > %s)t"},
      {"+", R"t((%s) + (%s))t"},
      {"-", R"t((%s) - (%s))t"},
      {"*", R"t((%s) * (%s))t"},
      {"/", R"t((%s) / NULLIF(%s, 0))t"},
      {"^", R"t(POW(%s, %s))t"},
      {"%", R"t(MOD(%s, NULLIF(%s, 0)))t"},
      {"++", R"t(CONCAT(%s, %s))t"},
      {"||", R"t(%s OR %s)t"},
      {"&&", R"t(%s AND %s)t"},
      {"in", R"t(%s IN UNNEST(%s))t"},
      {"is", R"t(%s IS %s)t"},
      {"is not", R"t(%s IS NOT %s)t"},
  };
  // clang-format on
}

TemplateRows base_built_in_functions() {
  // clang-format off
  return {
      {"ToFloat64", R"t(CAST(%s AS FLOAT64))t"},
      {"ToInt64", R"t(CAST(%s AS INT64))t"},
      {"ToUInt64", R"t(CAST(%s AS UINT64))t"},
      {"ToString", R"t(CAST(%s AS STRING))t"},
      {"1", R"t(MIN(%s))t"},
      {"Agg+", R"t(SUM(%s))t"},
      {"Agg++", R"t(ARRAY_CONCAT_AGG(%s))t"},
      {"Count", R"t(COUNT(DISTINCT %s))t"},
      {"ExactCount", R"t(COUNT(DISTINCT %s))t"},
      {"List", R"t(ARRAY_AGG(%s))t"},
      {"Set", R"t(ARRAY_AGG(DISTINCT %s))t"},
      {"SomeValue", R"t(ANY_VALUE(%s))t"},
      {"Max", R"t(MAX(%s))t"},
      {"Min", R"t(MIN(%s))t"},
      {"Avg", R"t(AVG(%s))t"},
      {"Sum", R"t(SUM(%s))t"},
      {"Array", R"t(ARRAY_AGG(%s))t"},
      {"StringAgg", R"t(STRING_AGG(CAST({0} AS STRING), ','))t"},
      {"Median", R"t(APPROX_QUANTILES(%s, 2)[OFFSET(1)])t"},
      {"!", R"t(NOT %s)t"},
      {"-", R"t(- %s)t"},
      {"Concat", R"t(ARRAY_CONCAT({0}, {1}))t"},
      {"DateAddDay", R"t(DATE_ADD({0}, INTERVAL {1} DAY))t"},
      {"DateDiffDay", R"t(DATE_DIFF({0}, {1}, DAY))t"},
      {"Element", R"t((CASE WHEN {1} < 0 THEN NULL ELSE {0}[SAFE_OFFSET({1})] END))t"},
      {"IsNull", R"t((%s IS NULL))t"},
      {"Join", R"t(ARRAY_TO_STRING(%s))t"},
      {"Like", R"t(({0} LIKE {1} ESCAPE '\'))t"},
      {"Range", R"t(GENERATE_ARRAY(0, %s - 1))t"},
      {"RangeOf", R"t(GENERATE_ARRAY(0, ARRAY_LENGTH(%s) - 1))t"},
      {"Size", R"t(ARRAY_LENGTH(%s))t"},
      {"Sort", R"t(ARRAY(SELECT x FROM UNNEST(%s) as x ORDER BY x))t"},
      {"Split", R"t(SPLIT({0}, {1}))t"},
      {"TimestampAddDays", R"t(TIMESTAMP_ADD({0}, INTERVAL {1} DAY))t"},
      {"Unique", R"t(ARRAY(SELECT DISTINCT x FROM UNNEST(%s) as x ORDER BY x))t"},
      {"ValueOfUnnested", R"t(%s)t"},
      {"MagicalEntangle", R"t({0})t"},
      {"Container", R"t(%s)t"},
      {"Constraint", R"t(%s)t"},
      {"Aggr", R"t(%s)t"},
      {"Abs", R"t(ABS(%s))t"},
      {"Exp", R"t(EXP(%s))t"},
      {"Log", R"t(LOG(%s))t"},
      {"Sin", R"t(SIN(%s))t"},
      {"Cos", R"t(COS(%s))t"},
      {"Sqrt", R"t(SQRT(%s))t"},
      {"Floor", R"t(FLOOR(%s))t"},
      {"Ceiling", R"t(CEIL(%s))t"},
      {"Round", R"t(ROUND(%s))t"},
      {"Pow", R"t(POW({0}, {1}))t"},
      {"Length", R"t(LENGTH(%s))t"},
      {"Replace", R"t(REPLACE({0}, {1}, {2}))t"},
      // Position 0 is the first character, a negative one counts from the end,
      // and one before the start is the start.
      {"Substr", R"t(SUBSTR({0}, (CASE WHEN {1} > 0 THEN {1} WHEN {1} = 0 OR LENGTH({0}) + ({1}) < 0 THEN 1 ELSE LENGTH({0}) + ({1}) + 1 END), {2}))t"},
      {"Upper", R"t(UPPER(%s))t"},
      {"Lower", R"t(LOWER(%s))t"},
      {"Trim", R"t(TRIM(%s))t"},
      {"StartsWith", R"t((SUBSTR({0}, 1, LENGTH({1})) = {1}))t"},
      {"EndsWith", R"t((LENGTH({1}) <= LENGTH({0}) AND SUBSTR({0}, LENGTH({0}) - LENGTH({1}) + 1, LENGTH({1})) = {1}))t"},
      {"Strpos", R"t(STRPOS({0}, {1}))t"},
      {"Lpad", R"t(LPAD({0}, {1}, {2}))t"},
      {"Rpad", R"t(RPAD({0}, {1}, {2}))t"},
      {"Repeat", R"t(REPEAT({0}, {1}))t"},
      {"Ifnull", R"t(COALESCE({0}, {1}))t"},
      {"RegexpContains", R"t(REGEXP_LIKE({0}, {1}))t"},
      {"RegexpReplace", R"t(REGEXP_REPLACE({0}, {1}, {2}))t"},
      {"RegexpExtract", R"t(REGEXP_EXTRACT({0}, {1}))t"},
      {"Trunc", R"t((CASE WHEN {0} < 0 THEN CEIL({0}) ELSE FLOOR({0}) END))t"},
      {"Div", R"t(CAST((CASE WHEN (({0}) < 0) <> (({1}) < 0) THEN CEIL(CAST({0} AS DOUBLE) / NULLIF({1}, 0)) ELSE FLOOR(CAST({0} AS DOUBLE) / NULLIF({1}, 0)) END) AS BIGINT))t"},
  };
  // clang-format on
}

}  // namespace mirtova
