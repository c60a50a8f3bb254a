// The merge of each engine's template maps, and the per-engine cache that keeps them.
#include "common/per_engine_cache.h"
#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/template_tables.h"

namespace mirtova {
namespace {

template <class Rows>
void insert_rows(TemplateMap& map, const Rows& rows) {
  for (const auto& [name, tmpl] : rows) {
    map.insert_or_assign(std::string(name), std::string(tmpl));
  }
}

void drop_empty(TemplateMap& map) {
  std::erase_if(map, [](const auto& entry) { return entry.second.empty(); });
}

DialectTables merge_tables(const Dialect& dialect) {
  // Later wins: engine rows over base rows over the catalogue.
  TemplateMap functions = plain_sql_functions();
  insert_rows(functions, base_built_in_functions());
  insert_rows(functions, dialect.built_in_functions());
  TemplateMap operators;
  insert_rows(operators, base_infix_operators());
  insert_rows(operators, dialect.infix_operators());
  // An engine row with an empty template takes the name away for that engine.
  drop_empty(functions);
  drop_empty(operators);
  return DialectTables{std::make_shared<const TemplateMap>(std::move(functions)),
                       std::make_shared<const TemplateMap>(std::move(operators))};
}

}  // namespace

const DialectTables& dialect_tables(const Dialect& dialect) {
  // The merged maps of each engine, filled by the first translator made for
  // that engine in the process (under the cache's once-flag of the engine) and
  // never changed afterwards.
  static PerEngineCache<DialectTables> cache;
  return cache.get(dialect.engine(), [&] { return merge_tables(dialect); });
}

}  // namespace mirtova
