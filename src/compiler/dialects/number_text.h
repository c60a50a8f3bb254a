// Number-to-text templates of the engines, and the round-to-digits template built from a dialect.
#pragma once

#include <string>
#include <string_view>

#include "compiler/dialects/dialect.h"

namespace mirtova {

// Each template holds "{0}" once, for the SQL of the number, and turns it into
// the same canonical text on every engine.
std::string duckdb_number_text();
std::string databricks_number_text();
std::string_view presto_number_text();
std::string_view trino_number_text();
std::string_view psql_number_text();
std::string_view bigquery_number_text();
std::string_view sqlite_number_text();

// The template of Round(value, digits): "{0}" the value, "{1}" the digits. Rounds
// half away from zero, to at most 15 significant digits.
std::string round_to_digits_template(const Dialect& dialect);

}  // namespace mirtova
