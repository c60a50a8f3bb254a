// The engine table: one entry per supported engine, each making its own dialect;
// and the per-engine cache that the engine's tables are kept in.
#include "compiler/dialects/engine_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/engines.h"
#include "common/per_engine_cache.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

TEST(EngineTable, EachEngineMakesItsOwnDialect) {
  for (Engine engine : kEngines) {
    const EngineEntry& entry = engine_entry(engine);
    EXPECT_EQ(entry.engine, engine) << engine;
    EXPECT_EQ(entry.make_dialect()->engine(), engine) << engine;
    EXPECT_FALSE(entry.library_program().empty()) << engine;
    EXPECT_FALSE(entry.operator_rows().empty()) << engine;
    // A family an engine takes brings rows of its own; the engines that write
    // the catalogue in their own SQL take every family.
    const bool own_sql = engine == Engine::kDuckdb || engine == Engine::kPsql || engine == Engine::kSqlite ||
                         engine == Engine::kDatabricks || engine == Engine::kTrino ||
                         engine == Engine::kPresto;
    for (RowsOf family : entry.families.in_order()) {
      if (own_sql) {
        EXPECT_NE(family, nullptr) << engine;
      }
      if (family != nullptr) {
        EXPECT_FALSE(family().empty()) << engine;
      }
    }
  }
  EXPECT_EQ(engine_entry(Engine::kPresto).library_program(), engine_entry(Engine::kTrino).library_program());
}

TEST(PerEngineCache, BuildsOncePerEngineAcrossThreads) {
  PerEngineCache<std::string> cache;
  std::atomic<int> builds{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      for (Engine engine : kEngines) {
        std::string value = cache.get(engine, [&] {
          ++builds;
          return "built for " + std::string(engine_name(engine));
        });
        EXPECT_EQ(value, "built for " + std::string(engine_name(engine)));
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(builds.load(), static_cast<int>(kEngines.size()));
  // Every caller is lent the one value, not handed a copy of it.
  auto unused = [] { return std::string(); };
  EXPECT_EQ(&cache.get(Engine::kDuckdb, unused), &cache.get(Engine::kDuckdb, unused));
}

}  // namespace
}  // namespace mirtova
