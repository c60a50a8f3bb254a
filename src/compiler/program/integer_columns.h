// The columns of a program's predicates that hold 64-bit integers only.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "parser/json.h"

namespace mirtova {

// By predicate and column.
using IntegerColumns = std::set<std::pair<std::string, std::string>, std::less<>>;

// The columns into which every rule writes an integer: an integer literal, a
// variable read from such a column or equated with an integer, what integer
// arithmetic gives of those, a count, or the Max, Min, Sum or AnyValue of
// integers. A column some rule writes anything else into, or that reads
// only what the program leaves to the engine (a host's table), is not one.
IntegerColumns integer_columns(const std::vector<Json>& rules);

// Whether a combine gives an integer of the values its body reads from such
// columns, as a rule would write one in its head.
bool combine_gives_integer(const Json& combine, const IntegerColumns& integer);

}  // namespace mirtova
