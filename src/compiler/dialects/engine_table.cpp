// The engine table, in the order the host lists the engines.
#include "compiler/dialects/engine_table.h"

#include <array>

#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/library/library_texts.h"
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

namespace {

// clang-format off
constexpr std::array<EngineEntry, 7> kEngineTable = {{
    {Engine::kBigquery,   &make_bigquery_dialect,   &bigquery_library_text,     &bigquery_function_rows,   &bigquery_operator_rows},
    {Engine::kSqlite,     &make_sqlite_dialect,     &sqlite_library_text,       &sqlite_function_rows,     &sqlite_operator_rows},
    {Engine::kPsql,       &make_psql_dialect,       &psql_library_text,         &psql_function_rows,       &psql_operator_rows},
    {Engine::kTrino,      &make_trino_dialect,      &presto_trino_library_text, &trino_function_rows,      &presto_trino_operator_rows},
    {Engine::kPresto,     &make_presto_dialect,     &presto_trino_library_text, &presto_function_rows,     &presto_trino_operator_rows},
    {Engine::kDatabricks, &make_databricks_dialect, &databricks_library_text,   &databricks_function_rows, &databricks_operator_rows},
    {Engine::kDuckdb,     &make_duckdb_dialect,     &duckdb_library_text,       &duckdb_function_rows,     &duckdb_operator_rows},
}};
// clang-format on

constexpr bool lists_the_engines() {
  if (kEngineTable.size() != kEngines.size()) return false;
  for (size_t i = 0; i < kEngineTable.size(); ++i)
    if (kEngineTable[i].engine != kEngines[i]) return false;
  return true;
}
static_assert(lists_the_engines(), "the engine table lists every engine, in their order");

}  // namespace

const EngineEntry& engine_entry(Engine engine) { return kEngineTable[engine_index(engine)]; }

}  // namespace mirtova
