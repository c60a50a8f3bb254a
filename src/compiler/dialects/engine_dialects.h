// The factory of each engine's dialect; the classes live in their engines' files.
#pragma once

#include <memory>

#include "compiler/dialects/dialect.h"

namespace mirtova {

std::unique_ptr<Dialect> make_bigquery_dialect();
std::unique_ptr<Dialect> make_sqlite_dialect();
std::unique_ptr<Dialect> make_psql_dialect();
std::unique_ptr<Dialect> make_trino_dialect();
std::unique_ptr<Dialect> make_presto_dialect();
std::unique_ptr<Dialect> make_databricks_dialect();
std::unique_ptr<Dialect> make_duckdb_dialect();

}  // namespace mirtova
