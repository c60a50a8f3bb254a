// The library program of the "sqlite" engine.
#include "compiler/dialects/library/library_texts.h"

namespace mirtova {

// ArgMin and ArgMax with three arguments, Fingerprint, AssembleRecord and
// DisassembleRecord are functions the host registers in the engine.
std::string_view sqlite_library_text() {
  static constexpr std::string_view kText = R"mirtova(
->(left:, right:) = {arg: left, value: right};
`=`(left:, right:) = right :- left == right;

Arrow(left, right) = arrow :- left == arrow.arg, right == arrow.value;

ArgMin(arr) = Element(
  SqlExpr("ArgMin({a}, {v}, 1)", {a:, v:}), 0) :-
    Arrow(a, v) == arr;

ArgMax(arr) = Element(
  SqlExpr("ArgMax({a}, {v}, 1)", {a:, v:}), 0) :-
    Arrow(a, v) == arr;

ArgMinK(arr, k) = SqlExpr("ArgMin({a}, {v}, {k})", {a:, v:, k:}) :-
    Arrow(a, v) == arr;

ArgMaxK(arr, k) = SqlExpr("ArgMax({a}, {v}, {k})", {a:, v:, k:}) :-
    Arrow(a, v) == arr;

Array(arr) = SqlExpr("ArgMin({v}, {a}, null)", {a:, v:}) :-
    Arrow(a, v) == arr;

Fingerprint(s) = SqlExpr("Fingerprint({s})", {s:});

AssembleRecord(field_values) = SqlExpr("AssembleRecord({field_values})",
  {field_values:});

DisassembleRecord(record) = SqlExpr("DisassembleRecord({record})", {record:});

Char(code) = SqlExpr("CHAR({code})", {code:});
)mirtova";
  return kText;
}

}  // namespace mirtova
