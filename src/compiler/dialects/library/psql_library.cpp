// The library program of the "psql" (PostgreSQL) engine.
#include "compiler/dialects/library/library_texts.h"

namespace mirtova {

std::string_view psql_library_text() {
  static constexpr std::string_view kText = R"mirtova(
->(left:, right:) = {arg: left, value: right};
`=`(left:, right:) = right :- left == right;

# COALESCE(v, NULL) is v, typed: a text literal or null has no type of its own,
# and ARRAY_AGG cannot tell which of its forms to take.
ArgMin(a) = SqlExpr("(ARRAY_AGG(COALESCE({arg}, NULL) order by {value} nulls last))[1]",
                    {arg: a.arg, value: a.value});

ArgMax(a) = SqlExpr(
  "(ARRAY_AGG(COALESCE({arg}, NULL) order by {value} desc nulls last))[1]",
  {arg: a.arg, value: a.value});

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
