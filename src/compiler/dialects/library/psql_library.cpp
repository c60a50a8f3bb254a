// The library program of the "psql" (PostgreSQL) engine.
#include "compiler/dialects/library/library_texts.h"

namespace mirtova {

std::string_view psql_library_text() {
  static constexpr std::string_view kText = R"mirtova(
->(left:, right:) = {arg: left, value: right};
`=`(left:, right:) = right :- left == right;

# COALESCE(v, NULL) is v, typed, which ARRAY_AGG needs of a literal or null; the
# record {v: ...} is of a declared type, and a list in it stays one list.
ArgMin(a) = SqlExpr("(ARRAY_AGG({w} order by {value} nulls last))[1]",
                    {w: {v: a.arg}, value: a.value}).v;

ArgMax(a) = SqlExpr(
  "(ARRAY_AGG({w} order by {value} desc nulls last))[1]",
  {w: {v: a.arg}, value: a.value}).v;

ArgMaxK(a, l) = SqlExpr(
  "(ARRAY_AGG(COALESCE({arg}, NULL) order by {value} desc nulls last))[1:{lim}]",
  {arg: a.arg, value: a.value, lim: l});

ArgMinK(a, l) = SqlExpr(
  "(ARRAY_AGG(COALESCE({arg}, NULL) order by {value}))[1:{lim}]",
  {arg: a.arg, value: a.value, lim: l});

Array(a) = SqlExpr(
  "ARRAY_AGG(COALESCE({value}, NULL) order by {arg})",
  {arg: a.arg, value: a.value});

RecordAsJson(r) = SqlExpr(
  "ROW_TO_JSON({r})", {r:});

Fingerprint(s) = SqlExpr("('x' || substr(md5({s}), 1, 16))::bit(64)::bigint", {s:});

Chr(x) = SqlExpr("Chr(CAST({x} AS INTEGER))", {x:});

Num(a) = a;
Str(a) = a;
)mirtova";
  return kText;
}

}  // namespace mirtova
