// The per-engine override rows of the function and operator template tables.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/engines.h"

namespace mirtova {

// One row: a call or operator name and its SQL template. Both point to static
// text of the program, so a row list is cheap to build at each call.
struct TemplateRow {
  std::string_view name;
  std::string_view sql;
};
// Rows in their listed order; a later row with an already seen name replaces it
// when the rows are merged into a map.
using TemplateRows = std::vector<TemplateRow>;

// The template of a name the engine has no SQL for: a call of it is refused
// when compiling, with a message naming the function and the engine.
inline constexpr std::string_view kNotOnThisEngine = "\x01 not on this engine";

// The name of a row that holds a function's template for calls with exactly
// `count` arguments ("Date/3"); it is looked up before the function's own row.
std::string arity_row_name(std::string_view name, size_t count);
// The most arguments an arity row is looked up for.
inline constexpr size_t kMostArityRowArguments = 9;

// Appends a kNotOnThisEngine row for each of the blank-separated `names`.
void add_refused_rows(TemplateRows& rows, std::string_view names);

// An engine's own function-template rows (built over the base rows).
TemplateRows function_template_rows(Engine engine);
// An engine's own infix-operator rows, likewise.
TemplateRows operator_template_rows(Engine engine);

}  // namespace mirtova
