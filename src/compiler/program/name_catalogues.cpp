// Building the name catalogues from the engines' template tables and library programs.
#include "compiler/program/name_catalogues.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "common/engines.h"
#include "common/name_sets.h"
#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/basis_functions.h"
#include "compiler/program/library_rules.h"
#include "parser/tree_access.h"

namespace mirtova {

namespace {

// The union of the translator's known names over the engines.
HashedNames build_builtin_names() {
  HashedNames names;
  for (Engine engine : kEngines)
    for (const std::string& name : *basis_functions(*Dialect::get(engine))) names.insert(name);
  return names;
}

// The library programs are parsed afresh, each once, so that building the
// catalogue leaves nothing in the per-thread cache of library rules.
HashedNames build_reserved_names() {
  HashedNames names;
  for (std::string_view name : kReservedWithoutRules) names.emplace(name);
  for (Engine engine : kEngines) {
    auto rules = parse_library_program(engine, Dialect::get(engine)->library_program());
    if (!rules.ok()) continue;
    for (const Json& rule : *rules.value()) names.emplace(head_name(rule));
  }
  return names;
}

}  // namespace

std::vector<std::string> NameCatalogue::sorted() const {
  std::vector<std::string> out(names_.begin(), names_.end());
  std::sort(out.begin(), out.end());
  return out;
}

// Each catalogue is built by its first caller under the function-local static's
// guard (concurrent first callers wait) and only read afterwards.
const NameCatalogue& builtin_function_names() {
  static const NameCatalogue names(build_builtin_names());
  return names;
}

const NameCatalogue& builtin_predicate_names() {
  static const NameCatalogue names(build_builtin_names());
  return names;
}

const NameCatalogue& reserved_predicate_names() {
  static const NameCatalogue names(build_reserved_names());
  return names;
}

}  // namespace mirtova
