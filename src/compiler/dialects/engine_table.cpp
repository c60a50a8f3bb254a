// The engine table, in the order the host lists the engines.
#include "compiler/dialects/engine_table.h"

#include <array>

#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/library/library_texts.h"
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

namespace {

// One row per engine, in the order of kEngines.
constexpr std::array<EngineEntry, 7> kEngineTable = {{
    {.engine = Engine::kBigquery,
     .make_dialect = &make_bigquery_dialect,
     .library_program = &bigquery_library_text,
     .function_rows = &bigquery_function_rows,
     .operator_rows = &bigquery_operator_rows,
     .families = {.aggregates = &bigquery_aggregate_rows, .dates = &bigquery_date_rows}},
    {.engine = Engine::kSqlite,
     .make_dialect = &make_sqlite_dialect,
     .library_program = &sqlite_library_text,
     .function_rows = &sqlite_function_rows,
     .operator_rows = &sqlite_operator_rows,
     .families = {.numbers = &sqlite_number_rows,
                  .aggregates = &sqlite_aggregate_rows,
                  .texts = &sqlite_text_rows,
                  .bytes = &sqlite_bytes_rows,
                  .json = &sqlite_json_rows,
                  .arrays = &sqlite_array_rows,
                  .dates = &sqlite_date_rows,
                  .network = &sqlite_network_rows}},
    {.engine = Engine::kPsql,
     .make_dialect = &make_psql_dialect,
     .library_program = &psql_library_text,
     .function_rows = &psql_function_rows,
     .operator_rows = &psql_operator_rows,
     .families = {.numbers = &psql_number_rows,
                  .aggregates = &psql_aggregate_rows,
                  .texts = &psql_text_rows,
                  .bytes = &psql_bytes_rows,
                  .json = &psql_json_rows,
                  .arrays = &psql_array_rows,
                  .dates = &psql_date_rows,
                  .network = &psql_network_rows}},
    {.engine = Engine::kTrino,
     .make_dialect = &make_trino_dialect,
     .library_program = &presto_trino_library_text,
     .function_rows = &trino_function_rows,
     .operator_rows = &presto_trino_operator_rows,
     .families = {.numbers = &presto_trino_number_rows,
                  .aggregates = &presto_trino_aggregate_rows,
                  .texts = &presto_trino_text_rows,
                  .bytes = &presto_trino_bytes_rows,
                  .json = &presto_trino_json_rows,
                  .arrays = &presto_trino_array_rows,
                  .dates = &trino_date_rows,
                  .network = &presto_trino_network_rows}},
    {.engine = Engine::kPresto,
     .make_dialect = &make_presto_dialect,
     .library_program = &presto_trino_library_text,
     .function_rows = &presto_function_rows,
     .operator_rows = &presto_trino_operator_rows,
     .families = {.numbers = &presto_trino_number_rows,
                  .aggregates = &presto_trino_aggregate_rows,
                  .texts = &presto_trino_text_rows,
                  .bytes = &presto_trino_bytes_rows,
                  .json = &presto_trino_json_rows,
                  .arrays = &presto_trino_array_rows,
                  .dates = &presto_date_rows,
                  .network = &presto_trino_network_rows}},
    {.engine = Engine::kDatabricks,
     .make_dialect = &make_databricks_dialect,
     .library_program = &databricks_library_text,
     .function_rows = &databricks_function_rows,
     .operator_rows = &databricks_operator_rows,
     .families = {.numbers = &databricks_number_rows,
                  .aggregates = &databricks_aggregate_rows,
                  .texts = &databricks_text_rows,
                  .bytes = &databricks_bytes_rows,
                  .json = &databricks_json_rows,
                  .arrays = &databricks_array_rows,
                  .dates = &databricks_date_rows,
                  .network = &databricks_network_rows}},
    {.engine = Engine::kDuckdb,
     .make_dialect = &make_duckdb_dialect,
     .library_program = &duckdb_library_text,
     .function_rows = &duckdb_function_rows,
     .operator_rows = &duckdb_operator_rows,
     .families = {.numbers = &duckdb_number_rows,
                  .aggregates = &duckdb_aggregate_rows,
                  .texts = &duckdb_text_rows,
                  .bytes = &duckdb_bytes_rows,
                  .json = &duckdb_json_rows,
                  .arrays = &duckdb_array_rows,
                  .dates = &duckdb_date_rows,
                  .network = &duckdb_network_rows}},
}};

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
