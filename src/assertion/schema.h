// The column schema: each predicate's ordered column names, read from the heads
// of the rules that define it and copied along "@Make" statements.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "common/string_hash.h"
#include "parser/json.h"

namespace mirtova::assertion {

// Predicate name to its column names, in head order, repeats kept. Only looked
// up, never walked, so its order reaches nobody.
using Schema = std::unordered_map<std::string, std::vector<std::string>, StringHash, std::equal_to<>>;

// Predicate name to its columns listed as an error message shows them, kept by
// a caller that translates many statements over one schema: a wide
// predicate's list is then written once, not once per statement.
using ColumnLists = std::unordered_map<std::string, std::string, StringHash, std::equal_to<>>;

// The schema of a program's rules (the "rule" array, in source order). The
// first rule of a predicate whose head fields are all named decides its
// columns; a rule with a positional field gives none. A predicate made by
// "@Make" without an entry of its own gets a copy of its source's columns.
Schema schema(const Json::ArrayType& rules);
// The same over references to the rules, in source order.
Schema schema(const std::vector<const Json*>& rules);

}  // namespace mirtova::assertion
