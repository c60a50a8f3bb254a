// Each engine's override rows, chosen by engine name.
#include "compiler/dialects/template_rows.h"

#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

void add_refused_rows(TemplateRows& rows, std::string_view names) {
  size_t start = 0;
  while (start < names.size()) {
    size_t end = names.find_first_of(" \n", start);
    if (end == std::string_view::npos) end = names.size();
    if (end > start) rows.push_back({names.substr(start, end - start), kNotOnThisEngine});
    start = end + 1;
  }
}

TemplateRows function_template_rows(std::string_view engine) {
  if (engine == "duckdb") return duckdb_function_rows();
  if (engine == "databricks") return databricks_function_rows();
  if (engine == "presto") return presto_function_rows();
  if (engine == "trino") return trino_function_rows();
  if (engine == "psql") return psql_function_rows();
  if (engine == "sqlite") return sqlite_function_rows();
  if (engine == "bigquery") return bigquery_function_rows();
  return {};
}

TemplateRows operator_template_rows(std::string_view engine) {
  if (engine == "duckdb") return duckdb_operator_rows();
  if (engine == "databricks") return databricks_operator_rows();
  if (engine == "presto" || engine == "trino") return presto_trino_operator_rows();
  if (engine == "psql") return psql_operator_rows();
  if (engine == "sqlite") return sqlite_operator_rows();
  if (engine == "bigquery") return bigquery_operator_rows();
  return {};
}

}  // namespace mirtova
