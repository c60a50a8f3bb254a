// The library program of the "databricks" engine.
#include "compiler/dialects/library/library_texts.h"

namespace mirtova {

std::string_view databricks_library_text() {
  static constexpr std::string_view kText = R"mirtova(
->(left:, right:) = {arg: left, value: right};

# TRY_ELEMENT_AT, not [0]: to decorrelate, the engine works the aggregate out
# over no rows, where [0] fails under ANSI mode.
ArgMin(a) = SqlExpr(
  "TRY_ELEMENT_AT(SORT_ARRAY(COLLECT_LIST(STRUCT({value} AS value, {arg} AS arg))), 1).arg",
  {arg: a.arg, value: a.value});

ArgMax(a) = SqlExpr(
  "TRY_ELEMENT_AT(SORT_ARRAY(COLLECT_LIST(STRUCT({value} AS value, {arg} AS arg)), false), 1).arg",
  {arg: a.arg, value: a.value});

ArgMaxK(a, l) = SqlExpr(
  "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE TRANSFORM(SLICE(SORT_ARRAY(COLLECT_LIST(STRUCT({value} AS value, {arg} AS arg)), false), 1, {lim}), s -> s.arg) END)",
  {arg: a.arg, value: a.value, lim: l});

ArgMinK(a, l) = SqlExpr(
  "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE TRANSFORM(SLICE(SORT_ARRAY(COLLECT_LIST(STRUCT({value} AS value, {arg} AS arg))), 1, {lim}), s -> s.arg) END)",
  {arg: a.arg, value: a.value, lim: l});

RMatch(s, p) = SqlExpr(
  "REGEXP_LIKE({s}, {p})", {s: s, p: p});
RExtract(s, p, g) = SqlExpr(
  "REGEXP_SUBSTR({s}, {p}, 1, 1, 'c', {g})", {s: s, p: p, g: g});

Array(a) = SqlExpr(
  "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE TRANSFORM(ARRAY_SORT(COLLECT_LIST(STRUCT({arg} AS arg, {value} AS value))), s -> s.value) END)",
  {arg: a.arg, value: a.value});
)mirtova";
  return kText;
}

}  // namespace mirtova
