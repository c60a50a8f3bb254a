// The engines' library program texts, one accessor per text; presto and trino share one.
#pragma once

#include <string_view>

namespace mirtova {

// Users call the predicates these texts define, so every statement is part of
// the language: only line breaks, indentation and comments are free to change.
std::string_view duckdb_library_text();
std::string_view databricks_library_text();
std::string_view presto_trino_library_text();
std::string_view psql_library_text();
std::string_view sqlite_library_text();
std::string_view bigquery_library_text();

}  // namespace mirtova
