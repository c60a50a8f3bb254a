// The function and operator templates of every engine: the catalogue of plain
// SQL functions, the base tables shared by all engines, and each engine's merged
// pair of maps, built once per process.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "compiler/dialects/template_rows.h"

namespace mirtova {

class Dialect;

// Name to SQL template. Only looked up by name, never iterated into output.
using TemplateMap = std::unordered_map<std::string, std::string>;
using SharedTemplateMap = std::shared_ptr<const TemplateMap>;

// The rows shared by every engine, under each engine's own rows.
TemplateRows base_infix_operators();
TemplateRows base_built_in_functions();

// "array_concat_agg" -> "ArrayConcatAgg": each "_"-separated piece gets its first
// letter upper-cased; empty pieces vanish; nothing else changes.
std::string to_camel_case(std::string_view name);

// Builds the catalogue of plain SQL functions afresh: "Abs" -> "ABS(%s)", ...
TemplateMap build_bulk_built_in_functions();
// The catalogue, built once per process on first use.
const TemplateMap& plain_sql_functions();

struct DialectTables {
  SharedTemplateMap functions;
  SharedTemplateMap operators;
};

// The engine's merged maps (engine rows over base rows over the catalogue), built
// on the first request for the engine's name and lent from then on, for the
// life of the process.
const DialectTables& dialect_tables(const Dialect& dialect);

}  // namespace mirtova
