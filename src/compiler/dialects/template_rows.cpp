// Each engine's override rows, chosen by engine name.
#include "compiler/dialects/template_rows.h"

#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

std::string arity_row_name(std::string_view name, size_t count) {
  return std::string(name) + "/" + std::to_string(count);
}

void add_refused_rows(TemplateRows& rows, std::string_view names) {
  size_t start = 0;
  while (start < names.size()) {
    size_t end = names.find_first_of(" \n", start);
    if (end == std::string_view::npos) end = names.size();
    if (end > start) rows.push_back({names.substr(start, end - start), kNotOnThisEngine});
    start = end + 1;
  }
}

namespace {

TemplateRows engine_function_rows(std::string_view engine) {
  if (engine == "duckdb") return duckdb_function_rows();
  if (engine == "databricks") return databricks_function_rows();
  if (engine == "presto") return presto_function_rows();
  if (engine == "trino") return trino_function_rows();
  if (engine == "psql") return psql_function_rows();
  if (engine == "sqlite") return sqlite_function_rows();
  if (engine == "bigquery") return bigquery_function_rows();
  return {};
}

}  // namespace

TemplateRows function_template_rows(std::string_view engine) {
  TemplateRows rows = engine_function_rows(engine);
  for (auto family :
       {number_function_rows, aggregate_function_rows, text_function_rows, bytes_function_rows}) {
    TemplateRows more = family(engine);
    rows.insert(rows.end(), more.begin(), more.end());
  }
  return rows;
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
