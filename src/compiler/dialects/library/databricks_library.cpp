// The library program of the "databricks" engine.
#include "compiler/dialects/library/library_texts.h"

namespace mirtova {

std::string_view databricks_library_text() {
  static constexpr std::string_view kText = R"mirtova(
->(left:, right:) = {arg: left, value: right};

# A row whose value is NULL is left out: it is never the least or the
# greatest. TRY_ELEMENT_AT gives NULL for a group left with no row, and the
# field of a list of records is read without a lambda, which could not hold a
# sub-query.
ArgMin(a) = SqlExpr(
  "TRY_ELEMENT_AT(SORT_ARRAY(COLLECT_LIST(CASE WHEN {value} IS NOT NULL THEN STRUCT({value} AS value, {arg} AS arg) END)), 1).arg",
  {arg: a.arg, value: a.value});

ArgMax(a) = SqlExpr(
  "TRY_ELEMENT_AT(SORT_ARRAY(COLLECT_LIST(CASE WHEN {value} IS NOT NULL THEN STRUCT({value} AS value, {arg} AS arg) END), false), 1).arg",
  {arg: a.arg, value: a.value});

ArgMaxK(a, l) = SqlExpr(
  "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE SLICE(SORT_ARRAY(COLLECT_LIST(CASE WHEN {value} IS NOT NULL THEN STRUCT({value} AS value, {arg} AS arg) END), false), 1, {lim}).arg END)",
  {arg: a.arg, value: a.value, lim: l});

ArgMinK(a, l) = SqlExpr(
  "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE SLICE(SORT_ARRAY(COLLECT_LIST(CASE WHEN {value} IS NOT NULL THEN STRUCT({value} AS value, {arg} AS arg) END)), 1, {lim}).arg END)",
  {arg: a.arg, value: a.value, lim: l});

RMatch(s, p) = SqlExpr(
  "REGEXP_LIKE({s}, {p})", {s: s, p: p});
# Group g of the first match; NULL when nothing matches.
RExtract(s, p, g) = SqlExpr(
  "(CASE WHEN {s} RLIKE {p} THEN REGEXP_EXTRACT({s}, {p}, {g}) END)", {s: s, p: p, g: g});

# The values in the order of their args, NULL args last (as on DuckDB);
# SORT_ARRAY, as ARRAY_SORT's hidden lambda could not hold a sub-query.
Array(a) = SqlExpr(
  "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE SORT_ARRAY(COLLECT_LIST(STRUCT({arg} IS NULL AS unknown, {arg} AS arg, {value} AS value))).value END)",
  {arg: a.arg, value: a.value});
)mirtova";
  return kText;
}

}  // namespace mirtova
