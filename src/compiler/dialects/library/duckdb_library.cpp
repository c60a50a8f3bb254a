// The library program of the "duckdb" engine.
#include "compiler/dialects/library/library_texts.h"

namespace mirtova {

std::string_view duckdb_library_text() {
  static constexpr std::string_view kText = R"mirtova(
# The arrow pairs an argument with a value; ArgMin, ArgMax and Array read pairs.
->(left:, right:) = {arg: left, value: right};

`=`(left:, right:) = right :- left == right;

Arrow(left, right) = arrow :- left == arrow.arg, right == arrow.value;

# Aggregations over arrows, ordered by value or by arg. The arg of the least
# (greatest) value is given even when it is null, as on the other engines:
# argmin and argmax pass over rows whose arg is null.
ArgMin(arr) = SqlExpr(
  "arg_min_null({a}, {v})", {a: arr.arg, v: arr.value});

ArgMax(arr) = SqlExpr(
  "arg_max_null({a}, {v})", {a: arr.arg, v: arr.value});

ArgMaxK(a, l) = SqlExpr(
  "(array_agg({arg_1} order by {value_1} desc))[1:{lim}]",
  {arg_1: a.arg, value_1: a.value, lim: l});

ArgMinK(a, l) = SqlExpr(
  "(array_agg({arg_1} order by {value_1}))[1:{lim}]",
  {arg_1: a.arg, value_1: a.value, lim: l});

# The engine refuses to order by a constant (a fact read in place) unless it
# is an expression: COALESCE(v, NULL) is v.
Array(a) = SqlExpr(
  "ARRAY_AGG({value} order by COALESCE({arg}, NULL))",
  {arg: a.arg, value: a.value});

RecordAsJson(r) = SqlExpr(
  "ROW_TO_JSON({r})", {r:});

# A 64-bit hash of a text.
Fingerprint(s) = NaturalHash(s);

# A character from its code point, and the code point of a character.
Chr(x) = SqlExpr("Chr(cast({x} as integer))", {x:});

Ord(x) = SqlExpr("Ord({x})", {x:});

# These only fix the type of a value, for type inference.
Num(a) = a;

Str(a) = a;

# Time: seconds since the epoch, and timestamps.
Epoch(a) = epoch :-
  epoch = SqlExpr("epoch_ns({a})", {a:}) / 1000000000,
  a ~ Time,
  epoch ~ Num;

TimeDiffSeconds(a, b) = Epoch(SqlExpr("{a} - {b}", {a:, b:}));

ToTime(a) = SqlExpr("cast({a} as timestamp)", {a:});

NaturalHash(x) = ToInt64(SqlExpr("hash(cast({x} as string)) // cast(2 as ubigint)", {x:}));

# The set-up script creates the sequence these two read.
UnsafeToUseUniqueNumber() = SqlExpr("nextval('eternal_logical_sequence')", {});

UniqueNumber() = SqlExpr("nextval('eternal_logical_sequence')", {});

# Aggregation: the concatenation of lists.
MergeList(e) = SqlExpr("flatten(array_agg({e}))", {e:});

# One of the options, chosen by a hash of a fresh unique number.
ProverChoice(slot, options:) = options[i] :-
  i = NaturalHash("ProverChoice-" ++ ToString(UniqueNumber())) % Size(options);
)mirtova";
  return kText;
}

}  // namespace mirtova
