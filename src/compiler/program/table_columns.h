// The column names each table of a program is read or written with, and those
// within the reach of one rule, for choosing table aliases no column shadows.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "parser/json.h"

namespace mirtova {

// Per table, its column names in lower case.
using TableColumns = std::map<std::string, std::set<std::string>, std::less<>>;

// The columns of every rule's head, and of every call of a name for which
// is_table holds (a body conjunct or a call inside an expression, at any depth).
TableColumns collect_table_columns(const std::vector<Json>& rules,
                                   const std::function<bool(std::string_view)>& is_table);

// The columns of the tables a rule writes or reads, its combines' included.
std::set<std::string> columns_in_reach(const Json& rule, const TableColumns& tables);

}  // namespace mirtova
