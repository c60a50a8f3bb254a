// The merge of each engine's template maps, and the per-process slots that keep them.
#include <array>
#include <mutex>

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

constexpr std::array<std::string_view, 7> kEngines = {"bigquery", "sqlite", "psql",      "trino",
                                                      "presto",   "duckdb", "databricks"};

struct EngineSlot {
  std::once_flag once;
  DialectTables tables;
};

}  // namespace

DialectTables dialect_tables(const Dialect& dialect) {
  // One slot per engine, filled by the first translator made for that engine:
  // std::call_once runs the merge exactly once per engine per process (a merge
  // that throws leaves the slot unfilled, and the next caller tries again). The
  // maps are never changed afterwards; every later caller only copies the two
  // shared pointers, which call_once's completion makes safe to read.
  static std::array<EngineSlot, kEngines.size()> slots;
  std::string_view name = dialect.name();
  for (size_t i = 0; i < kEngines.size(); ++i) {
    if (kEngines[i] == name) {
      EngineSlot& slot = slots[i];
      std::call_once(slot.once, [&] { slot.tables = merge_tables(dialect); });
      return slot.tables;
    }
  }
  // Dialects come only from the seven engines; anything else is merged afresh.
  return merge_tables(dialect);
}

}  // namespace mirtova
