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

namespace mirtova {
namespace {

TEST(EngineTable, EachEngineMakesItsOwnDialect) {
  for (std::string_view engine : kSupportedEngines) {
    const EngineEntry* entry = find_engine(engine);
    ASSERT_NE(entry, nullptr) << engine;
    EXPECT_EQ(entry->name, engine);
    EXPECT_EQ(entry->make_dialect()->name(), engine);
    EXPECT_FALSE(entry->library_program().empty()) << engine;
    EXPECT_FALSE(entry->operator_rows().empty()) << engine;
  }
  EXPECT_EQ(find_engine("presto")->library_program(), find_engine("trino")->library_program());
  for (std::string_view other : {"", "DuckDB", "duckdb ", "postgres"}) EXPECT_EQ(find_engine(other), nullptr);
}

TEST(PerEngineCache, BuildsOncePerEngineAcrossThreads) {
  PerEngineCache<std::string> cache;
  std::atomic<int> builds{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&] {
      for (std::string_view engine : kSupportedEngines) {
        std::string value = cache.get(engine, [&] {
          ++builds;
          return "built for " + std::string(engine);
        });
        EXPECT_EQ(value, "built for " + std::string(engine));
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(builds.load(), static_cast<int>(kSupportedEngines.size()));
  // A name outside the seven is built on every call and kept nowhere.
  EXPECT_EQ(cache.get("other", [&] { return std::to_string(++builds); }), "8");
  EXPECT_EQ(cache.get("other", [&] { return std::to_string(++builds); }), "9");
}

}  // namespace
}  // namespace mirtova
