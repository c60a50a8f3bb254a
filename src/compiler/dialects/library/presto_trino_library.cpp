// The library program shared by the "presto" and "trino" engines.
#include "compiler/dialects/library/library_texts.h"

namespace mirtova {

std::string_view presto_trino_library_text() {
  static constexpr std::string_view kText = R"mirtova(
->(left:, right:) = {arg: left, value: right};
`=`(left:, right:) = right :- left == right;

ArgMin(a) = SqlExpr("(ARRAY_AGG({arg} order by {value}))[1]",
                    {arg: a.arg, value: a.value});

ArgMax(a) = SqlExpr(
  "(ARRAY_AGG({arg} order by {value} desc))[1]",
  {arg: a.arg, value: a.value});

# The FILTER keeps Presto from gathering [null] where no row matches in a
# sub-query that refers out.
ArgMaxK(a, l) = SqlExpr(
  "SLICE(ARRAY_AGG({arg} order by {value} desc) FILTER (WHERE true), 1, {lim})",
  {arg: a.arg, value: a.value, lim: l});

ArgMinK(a, l) = SqlExpr(
  "SLICE(ARRAY_AGG({arg} order by {value}) FILTER (WHERE true), 1, {lim})",
  {arg: a.arg, value: a.value, lim: l});

Array(a) = SqlExpr(
  "ARRAY_AGG({value} order by {arg}) FILTER (WHERE true)",
  {arg: a.arg, value: a.value});
)mirtova";
  return kText;
}

}  // namespace mirtova
