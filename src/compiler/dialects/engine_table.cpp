// The engine table, in the order the host lists the engines.
#include "compiler/dialects/engine_table.h"

#include <array>

#include "common/engines.h"
#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/library/library_texts.h"
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

namespace {

// clang-format off
constexpr std::array<EngineEntry, 7> kEngineTable = {{
    {"bigquery",   &make_bigquery_dialect,   &bigquery_library_text,     &bigquery_function_rows,   &bigquery_operator_rows},
    {"sqlite",     &make_sqlite_dialect,     &sqlite_library_text,       &sqlite_function_rows,     &sqlite_operator_rows},
    {"psql",       &make_psql_dialect,       &psql_library_text,         &psql_function_rows,       &psql_operator_rows},
    {"trino",      &make_trino_dialect,      &presto_trino_library_text, &trino_function_rows,      &presto_trino_operator_rows},
    {"presto",     &make_presto_dialect,     &presto_trino_library_text, &presto_function_rows,     &presto_trino_operator_rows},
    {"databricks", &make_databricks_dialect, &databricks_library_text,   &databricks_function_rows, &databricks_operator_rows},
    {"duckdb",     &make_duckdb_dialect,     &duckdb_library_text,       &duckdb_function_rows,     &duckdb_operator_rows},
}};
// clang-format on

constexpr bool lists_the_supported_engines() {
  if (kEngineTable.size() != kSupportedEngines.size()) return false;
  for (size_t i = 0; i < kEngineTable.size(); ++i)
    if (kEngineTable[i].name != kSupportedEngines[i]) return false;
  return true;
}
static_assert(lists_the_supported_engines(), "the engine table lists the supported engines, in their order");

}  // namespace

const EngineEntry* find_engine(std::string_view name) {
  for (const EngineEntry& entry : kEngineTable)
    if (entry.name == name) return &entry;
  return nullptr;
}

}  // namespace mirtova
