// The library program of the "bigquery" engine.
#include "compiler/dialects/library/library_texts.h"

namespace mirtova {

std::string_view bigquery_library_text() {
  static constexpr std::string_view kText = R"mirtova(
# Ordering values are wrapped as [x][offset(0)]: the engine
# would read a number as a column. It orders nulls first where the
# other engines order them last, so ascending orders put them last
# by hand.
->(left:, right:) = {arg: left, value: right};

`=`(left:, right:) = right :- left == right;

ArgMin(a) = SqlExpr(
  "ARRAY_AGG({arg} order by [({value}) is null][offset(0)], [{value}][offset(0)] limit 1)[OFFSET(0)]",
  {arg: a.arg, value: a.value});

ArgMax(a) = SqlExpr(
  "ARRAY_AGG({arg} order by  [{value}][offset(0)] desc limit 1)[OFFSET(0)]",
  {arg: a.arg, value: a.value});

ArgMaxK(a, l) = SqlExpr(
  "ARRAY_AGG({arg} order by  [{value}][offset(0)] desc limit {lim})",
  {arg: a.arg, value: a.value, lim: l});

ArgMinK(a, l) = SqlExpr(
  "ARRAY_AGG({arg} order by [({value}) is null][offset(0)], [{value}][offset(0)] limit {lim})",
  {arg: a.arg, value: a.value, lim: l});

Array(a) = SqlExpr(
  "ARRAY_AGG({value} order by [({arg}) is null][offset(0)], [{arg}][offset(0)])",
  {arg: a.arg, value: a.value});
)mirtova";
  return kText;
}

}  // namespace mirtova
