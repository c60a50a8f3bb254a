// The override rows of each engine's function and operator templates.
#pragma once

#include "compiler/dialects/template_rows.h"

namespace mirtova {

// The catalogue's functions that DuckDB, SQLite and PostgreSQL all lack, or
// whose BigQuery arguments they do not take: window functions without their
// window, geography, key and proto functions, network functions beyond IPv4
// addresses, sketches and approximate top lists.
extern const std::string_view kFunctionsOnlyOnBigQuery;

// The rows of one family of functions for `engine` (DuckDB, PostgreSQL and
// SQLite; none for the others), merged over the engine's own rows.
TemplateRows number_function_rows(std::string_view engine);
TemplateRows aggregate_function_rows(std::string_view engine);
TemplateRows text_function_rows(std::string_view engine);
TemplateRows bytes_function_rows(std::string_view engine);
TemplateRows json_function_rows(std::string_view engine);
TemplateRows array_function_rows(std::string_view engine);
TemplateRows date_function_rows(std::string_view engine);
TemplateRows network_function_rows(std::string_view engine);

TemplateRows duckdb_function_rows();
TemplateRows duckdb_operator_rows();
TemplateRows databricks_function_rows();
TemplateRows databricks_operator_rows();
TemplateRows presto_function_rows();
TemplateRows trino_function_rows();
TemplateRows presto_trino_operator_rows();
TemplateRows psql_function_rows();
TemplateRows psql_operator_rows();
// The set-up statement that defines the aggregate PostgreSQL's Agg++ and
// ArrayConcatAgg rows call, mirtova_array_concat_agg.
std::string_view psql_array_concat_agg_setup();
TemplateRows sqlite_function_rows();
TemplateRows sqlite_operator_rows();
TemplateRows bigquery_function_rows();
TemplateRows bigquery_operator_rows();

}  // namespace mirtova
