// Chooses an engine's library program text by engine name.
#include "compiler/dialects/library/library_program.h"

#include "compiler/dialects/library/library_texts.h"

namespace mirtova {

std::string_view library_program_text(std::string_view engine) {
  if (engine == "duckdb") return duckdb_library_text();
  if (engine == "databricks") return databricks_library_text();
  if (engine == "presto" || engine == "trino") return presto_trino_library_text();
  if (engine == "psql") return psql_library_text();
  if (engine == "sqlite") return sqlite_library_text();
  if (engine == "bigquery") return bigquery_library_text();
  return {};
}

}  // namespace mirtova
