// The column names an engine's library gives every program of the engine,
// gathered once per engine and process.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/engines.h"
#include "compiler/program/library_rules.h"
#include "compiler/program/table_columns.h"
#include "parser/json.h"

namespace mirtova {

struct LibraryColumns {
  // The rules read, whose names `always` views.
  LibraryRules rules;
  // Of the library's heads, and of its calls of names that are tables whatever
  // the program: those the library defines, and those that are not special.
  std::shared_ptr<const TableColumns> always;
  // Of its calls of a special name that it leaves undefined, which is a table
  // only where the program defines it: the columns, by name.
  std::map<std::string, std::vector<std::string>, std::less<>> if_defined;
};

// The columns of `library`, where `is_special` tells the names that are no
// table unless a program defines them (built-ins and the compiler's own).
std::shared_ptr<const LibraryColumns> gather_library_columns(
    LibraryRules library, const std::function<bool(std::string_view)>& is_special);

// The same of the engine's own library rules, gathered on the first call for
// the engine: both arguments depend on the engine alone.
std::shared_ptr<const LibraryColumns> library_columns(
    Engine engine, const LibraryRules& library, const std::function<bool(std::string_view)>& is_special);

}  // namespace mirtova
