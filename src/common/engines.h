// The seven engines the compiler writes SQL for, and the check of an engine name.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mirtova {

// In the order the host sees them; duckdb is the default engine.
inline constexpr std::array<std::string_view, 7> kSupportedEngines = {
    "bigquery", "sqlite", "psql", "trino", "presto", "databricks", "duckdb"};

inline constexpr std::string_view kDefaultEngine = "duckdb";

inline bool is_supported_engine(std::string_view engine) {
  for (std::string_view e : kSupportedEngines)
    if (e == engine) return true;
  return false;
}

// "Unsupported engine '{0}'. Supported engines: {1}."
inline std::string unsupported_engine_message(std::string_view engine) {
  std::string message = "Unsupported engine '";
  message += engine;
  message += "'. Supported engines: ";
  for (size_t i = 0; i < kSupportedEngines.size(); ++i) {
    if (i > 0) message += ", ";
    message += kSupportedEngines[i];
  }
  message += ".";
  return message;
}

}  // namespace mirtova
