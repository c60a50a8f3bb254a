// Long programs: the shortcuts that keep compile time linear must not change
// what is compiled, and dependency chains too long for the stack are refused.
#include <gtest/gtest.h>

#include <string>

#include "compiler/functors/dependency_cycles.h"
#include "compiler/program/universe.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

std::vector<Json> rules_of(const std::string& text) {
  auto tree = parse_file(text);
  EXPECT_TRUE(tree.ok()) << (tree.ok() ? "" : tree.error().message);
  return tree.ok() ? tree.value().at("rule").as_array() : std::vector<Json>{};
}

TEST(PerfScaling, DependencyCycles) {
  struct Row {
    const char* name;
    std::string program;
    bool cycle;
  };
  // clang-format off
  const Row rows[] = {
      {"facts only", "P(1); P(2);", false},
      {"a chain", "A(x) :- B(x); B(x) :- C(x); C(x) :- T(x);", false},
      {"a diamond", "A(x) :- B(x), C(x); B(x) :- D(x); C(x) :- D(x); D(1);", false},
      {"a table is no rule head", "A(x) :- A0(x); A0(x) :- Table(x), Table(x);", false},
      {"self recursion", "P(x, y) :- E(x, y); P(x, z) :- P(x, y), E(y, z);", true},
      {"a cycle of three", "A(x) :- B(x); B(x) :- C(x); C(x) :- A(x); C(1);", true},
      {"a cycle through a negation", "A(x) :- T(x), ~B(x); B(x) :- T(x), A(x);", true},
      {"a cycle through a combine", "A(x) :- T(x), x == Sum{y :- B(y)}; B(y) :- A(y);", true},
      {"a cycle through a head value", "F(x) = G(x) + 1; G(x) = F(x) - 1;", true},
      {"a cycle behind a long chain", [] {
         std::string text = "L0(x) :- L3000(x);";
         for (int i = 1; i <= 3000; ++i)
           text += "L" + std::to_string(i) + "(x) :- L" + std::to_string(i - 1) + "(x);";
         return text;
       }(),
       true},
  };
  // clang-format on
  for (const Row& row : rows) EXPECT_EQ(has_dependency_cycle(rules_of(row.program)), row.cycle) << row.name;
}

// A chain of `depth` predicates of two rules each (WITH clauses, not injected),
// with a seed of the given value at its start and a use of it at its end.
std::string chain(int depth, const std::string& seed, const std::string& use) {
  std::string text = "C0(" + seed + ");";
  for (int i = 1; i <= depth; ++i) {
    const std::string n = std::to_string(i), p = std::to_string(i - 1);
    text += "C" + n + "(x) :- C" + p + "(x);C" + n + "(x) :- C" + p + "(x), T(x);";
  }
  return text + "Out(y) :- C" + std::to_string(depth) + "(x), " + use + ";";
}

std::string compile_out(const std::string& text) {
  auto tree = parse_file(text);
  if (!tree.ok()) return "parse: " + tree.error().message;
  auto program = QuorilProgram::new_with_engine(tree.value(), {}, {}, Engine::kDuckdb);
  if (!program.ok()) return "build: " + program.error().message;
  auto sql = program.value()->formatted_predicate_sql_impl("Out", {}, std::nullopt);
  return sql.ok() ? "ok" : "sql: " + sql.error().message;
}

TEST(PerfScaling, LongChains) {
  struct Row {
    const char* name;
    std::string program;
    std::string expected_prefix;
  };
  const Row rows[] = {
      {"a short chain compiles", chain(3, "1", "y == x + 1"), "ok"},
      // The type of the seed has to travel the whole chain, against the order
      // in which the edges are first visited.
      {"a type conflict at the far end of a chain", chain(200, "\"a\"", "y == x + 1"),
       "build: Type inference error"},
      {"a record type carried along a chain", chain(200, "{a: 1}", "y == x.a + 1"), "ok"},
      {"a chain within the bound compiles", chain(240, "1", "y == x"), "ok"},
      // Past the bound the clauses wait instead of nesting: any length compiles.
      {"a chain past the bound compiles", chain(300, "1", "y == x"), "ok"},
  };
  for (const Row& row : rows) {
    const std::string out = compile_out(row.program);
    EXPECT_EQ(out.substr(0, row.expected_prefix.size()), row.expected_prefix) << row.name << ": " << out;
  }
}

}  // namespace
}  // namespace mirtova
