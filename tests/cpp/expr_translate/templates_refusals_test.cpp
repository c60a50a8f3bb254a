// The table of calls that the Python tests run on DuckDB, SQLite, PostgreSQL,
// Trino and Presto names every function those engines know, and the engines
// that refuse each.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>

#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/template_tables.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

struct CallRow {
  std::set<std::string> refused_on;
  bool internal = false;
};

std::map<std::string, CallRow> read_calls() {
  std::map<std::string, CallRow> rows;
  std::ifstream in(std::string(MIRTOVA_TEST_DATA_DIR) + "/built_in_calls.txt");
  EXPECT_TRUE(in.good()) << "tests/data/built_in_calls.txt";
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t bar = line.find('|');
    size_t second = line.find('|', bar + 1);
    if (bar == std::string::npos || second == std::string::npos) {
      ADD_FAILURE() << "malformed line: " << line;
      continue;
    }
    CallRow row;
    std::string engines = line.substr(bar + 1, second - bar - 1);
    row.internal = engines == "internal";
    size_t start = 0;
    while (!row.internal && engines != "-" && start <= engines.size()) {
      size_t comma = engines.find(',', start);
      if (comma == std::string::npos) comma = engines.size();
      row.refused_on.insert(engines.substr(start, comma - start));
      start = comma + 1;
    }
    EXPECT_TRUE(rows.emplace(line.substr(0, bar), row).second) << "twice: " << line;
  }
  return rows;
}

TEST(TemplateRefusals, CallTableCoversEveryFunctionAndRefusal) {
  const std::map<std::string, CallRow> calls = read_calls();
  std::set<std::string> known;
  for (std::string_view engine : {"duckdb", "sqlite", "psql", "trino", "presto"}) {
    auto dialect = Dialect::get(engine_of(engine));
    DialectTables tables = dialect_tables(*dialect);
    for (const auto& [name, tmpl] : *tables.functions) {
      known.insert(name);
      auto found = calls.find(name);
      ASSERT_NE(found, calls.end()) << name << " has no call in tests/data/built_in_calls.txt";
      if (found->second.internal) continue;
      EXPECT_EQ(tmpl == kNotOnThisEngine, found->second.refused_on.count(std::string(engine)) == 1)
          << name << " on " << engine;
    }
  }
  // "F@what" is a row of its own where an engine has one, else a further call of F.
  for (const auto& [name, row] : calls) {
    EXPECT_TRUE(known.count(name) == 1 || known.count(name.substr(0, name.find('@'))) == 1)
        << name << " is no function";
  }
}

}  // namespace
}  // namespace mirtova
