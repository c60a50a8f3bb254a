// The rows of each engine's function and operator templates: its own, and its
// rows of each family of the catalogue's functions that it takes (see the
// engine table).
#pragma once

#include "compiler/dialects/template_rows.h"

namespace mirtova {

// The catalogue's functions that DuckDB, SQLite and PostgreSQL all lack, or
// whose BigQuery arguments they do not take: window functions without their
// window, geography, key and proto functions, network functions beyond IPv4
// addresses, sketches and approximate top lists.
extern const std::string_view kFunctionsOnlyOnBigQuery;

TemplateRows bigquery_function_rows();
TemplateRows bigquery_operator_rows();
TemplateRows bigquery_aggregate_rows();
TemplateRows bigquery_date_rows();

TemplateRows databricks_function_rows();
TemplateRows databricks_operator_rows();
TemplateRows databricks_number_rows();
TemplateRows databricks_aggregate_rows();
TemplateRows databricks_text_rows();
TemplateRows databricks_bytes_rows();
TemplateRows databricks_json_rows();
TemplateRows databricks_array_rows();
TemplateRows databricks_date_rows();
TemplateRows databricks_network_rows();

TemplateRows duckdb_function_rows();
TemplateRows duckdb_operator_rows();
TemplateRows duckdb_number_rows();
TemplateRows duckdb_aggregate_rows();
TemplateRows duckdb_text_rows();
TemplateRows duckdb_bytes_rows();
TemplateRows duckdb_json_rows();
TemplateRows duckdb_array_rows();
TemplateRows duckdb_date_rows();
TemplateRows duckdb_network_rows();

TemplateRows presto_function_rows();
TemplateRows trino_function_rows();
TemplateRows presto_trino_operator_rows();
TemplateRows presto_trino_number_rows();
TemplateRows presto_trino_aggregate_rows();
TemplateRows presto_trino_text_rows();
TemplateRows presto_trino_bytes_rows();
TemplateRows presto_trino_json_rows();
TemplateRows presto_trino_array_rows();
TemplateRows presto_date_rows();
TemplateRows trino_date_rows();
TemplateRows presto_trino_network_rows();

TemplateRows psql_function_rows();
TemplateRows psql_operator_rows();
// The set-up statement that defines the aggregate PostgreSQL's Agg++ and
// ArrayConcatAgg rows call, mirtova_array_concat_agg.
std::string_view psql_array_concat_agg_setup();
TemplateRows psql_number_rows();
TemplateRows psql_aggregate_rows();
TemplateRows psql_text_rows();
TemplateRows psql_bytes_rows();
TemplateRows psql_json_rows();
TemplateRows psql_array_rows();
TemplateRows psql_date_rows();
TemplateRows psql_network_rows();

TemplateRows sqlite_function_rows();
TemplateRows sqlite_operator_rows();
TemplateRows sqlite_number_rows();
TemplateRows sqlite_aggregate_rows();
TemplateRows sqlite_text_rows();
TemplateRows sqlite_bytes_rows();
TemplateRows sqlite_json_rows();
TemplateRows sqlite_array_rows();
TemplateRows sqlite_date_rows();
TemplateRows sqlite_network_rows();

}  // namespace mirtova
