// The least the scripts of compile_all take: never more than they do, or a
// program within the bound would be refused.
#include "compiler/program/scripts_bound.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace mirtova {
namespace {

TEST(ScriptsBound, NumberedAliasesCountAsTheirShortestForm) {
  const std::vector<std::pair<std::string, size_t>> cases = {
      {"SELECT E.col0 FROM E AS E", 25},
      {"SELECT t_12_E.col0 FROM \"E\" AS t_12_E", 37 - 10},
      {"FROM (select 1) as t_4 WHERE t_4.x", 34 - 6},
      // Not aliases: inside a longer word, or "t_" without a number.
      {"SELECT at_1_E, t_x FROM T AS t_", 31},
      {"t_1", 0},
      {"", 0},
  };
  for (const auto& [sql, least] : cases) EXPECT_EQ(least_clause_bytes(sql), least) << sql;
}

// C calls B, B calls A; D calls nothing. Scripts in byte order: A B C D.
struct ScriptsOfAChain : ::testing::Test {
  ScriptsOfAChain() {
    for (const char* name : {"A", "B", "C", "D"}) calls.add_node(name);
    calls.add_edge("C", "B");
    calls.add_edge("B", "A");
  }
  DependencyGraph calls;
  std::vector<std::string> scripts{"A", "B", "C", "D"};
};

TEST_F(ScriptsOfAChain, TheHeadsComeLongestChainFirst) {
  ScriptsBound least(calls, scripts);
  EXPECT_EQ(least.heads(), (std::vector<size_t>{2, 3}));
}

TEST_F(ScriptsOfAChain, EachScriptCountsTheClausesOfItsChain) {
  ScriptsBound least(calls, scripts);
  const std::string a(100, 'a'), b(10, 'b');
  EXPECT_FALSE(least.passes(0, 0, 0));  // nothing known yet
  least.learn({{"A", a}, {"B", b}});
  // A: 100; B: 110; C: 110 (its own size unknown); D: 0.
  EXPECT_FALSE(least.passes(0, 0, 320));
  EXPECT_TRUE(least.passes(0, 0, 319));
  EXPECT_FALSE(least.passes(2, 5, 115));
  EXPECT_TRUE(least.passes(2, 6, 115));
}

TEST_F(ScriptsOfAChain, AScriptWrittenAheadIsCountedOnce) {
  ScriptsBound least(calls, scripts);
  least.learn({{"A", std::string(100, 'a')}, {"B", std::string(10, 'b')}});
  EXPECT_TRUE(least.passes(0, 0, 319));
  // C written ahead in 500 bytes: the others take at least 210.
  least.write_ahead(2);
  EXPECT_FALSE(least.passes(0, 500, 710));
  EXPECT_TRUE(least.passes(0, 500, 709));
  least.learn({{"D", std::string(1000, 'd')}});
  EXPECT_FALSE(least.passes(1, 600, 1710));
  EXPECT_TRUE(least.passes(1, 600, 1709));
}

}  // namespace
}  // namespace mirtova
