// The library's column names, gathered once per engine.
#include "compiler/program/library_columns.h"

#include <set>

#include "common/per_engine_cache.h"
#include "parser/tree_access.h"

namespace mirtova {

std::shared_ptr<const LibraryColumns> gather_library_columns(
    LibraryRules rules, const std::function<bool(std::string_view)>& is_special) {
  const std::vector<Json>& library = *rules;
  std::set<std::string, std::less<>> defined;
  for (const Json& rule : library) defined.emplace(head_name(rule));
  auto conditional = [&](std::string_view name) { return defined.count(name) == 0 && is_special(name); };
  auto columns = std::make_shared<TableColumns>(
      TableColumns::collect(library, [&](std::string_view name) { return !conditional(name); }));
  auto out = std::make_shared<LibraryColumns>();
  out->always = std::move(columns);
  // Kept with the columns: the process-wide cache outlives the thread whose
  // cache of library rules gave them.
  out->rules = std::move(rules);
  out->if_defined = TableColumns::calls_of(library, conditional);
  return out;
}

std::shared_ptr<const LibraryColumns> library_columns(
    Engine engine, const LibraryRules& library, const std::function<bool(std::string_view)>& is_special) {
  // By engine, process-wide. Filled by the first program built for an engine,
  // on whichever thread, under that engine's once_flag; read-only after.
  static PerEngineCache<std::shared_ptr<const LibraryColumns>> cache;
  return cache.get(engine, [&] { return gather_library_columns(library, is_special); });
}

}  // namespace mirtova
