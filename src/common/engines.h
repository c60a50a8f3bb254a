// The seven engines the compiler writes SQL for. Below the module's edge an
// engine is an Engine value; its name is text only at the edge (the host's
// arguments, messages, @Engine), and engine_named and engine_name are the one
// place that turns the one into the other.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace mirtova {

// In the order the host sees them.
enum class Engine : unsigned char { kBigquery, kSqlite, kPsql, kTrino, kPresto, kDatabricks, kDuckdb };

inline constexpr std::array<Engine, 7> kEngines = {Engine::kBigquery, Engine::kSqlite, Engine::kPsql,
                                                   Engine::kTrino,    Engine::kPresto, Engine::kDatabricks,
                                                   Engine::kDuckdb};

// The engines' names, in the same order.
inline constexpr std::array<std::string_view, kEngines.size()> kSupportedEngines = {
    "bigquery", "sqlite", "psql", "trino", "presto", "databricks", "duckdb"};

inline constexpr Engine kDefaultEngine = Engine::kDuckdb;

// The engine's place in kEngines, for tables kept per engine.
constexpr size_t engine_index(Engine engine) { return static_cast<size_t>(engine); }

constexpr std::string_view engine_name(Engine engine) { return kSupportedEngines[engine_index(engine)]; }

// The engine of a name, compared byte for byte; nullopt for any other text.
constexpr std::optional<Engine> engine_named(std::string_view name) {
  for (Engine engine : kEngines)
    if (engine_name(engine) == name) return engine;
  return std::nullopt;
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
