// Eight threads compiling different programs for different engines at once
// must write exactly what one thread writes. MIRTOVA_STRESS_SECONDS makes the
// run longer (scripts/sanitize.sh sets it); by default every thread takes one
// pass over the table.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "../../bench/generated_programs.h"
#include "compiler/program/universe.h"
#include "parser/parse_file.h"
#include "parser/parsing_exception.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

struct StressCase {
  std::string source;
  std::string predicate;
  std::string engine;
};

const char* const kEngines[] = {"duckdb", "psql", "sqlite", "bigquery", "presto", "trino", "databricks"};

// Programs that reach the library, the template tables, type inference,
// functors, recursion, materialised tables and iterations, and one that fails.
// clang-format off
const StressCase kPrograms[] = {
    {"Adult(name:, age:) :- Person(name:, age:), age >= 18;", "Adult", ""},
    {"DeptSize(dept:, n? += 1) distinct :- Emp(name:, dept:);", "DeptSize", ""},
    {"Youngest(b? ArgMin= n -> a) distinct :- Person(name: n, age: a);", "Youngest", ""},
    {"Total(t) :- t == Sum{x :- Measure(x)};", "Total", ""},
    {"R(p: {a: x, b: x + 1}) :- Measure(x), x < 6; S(v) :- R(p: r), v == r.b;", "S", ""},
    {"Size(x, s) :- Measure(x), x < 12, s == (if x > 10 then \"big\" else \"small\");", "Size", ""},
    {"Item(x) :- Basket(items: l), x in l; Shout(u) :- Item(n), u == Upper(ToString(n));", "Shout", ""},
    {"Double(x) = 2 * x; Twice(y) :- Measure(x), x > 20, y == Double(x);", "Twice", ""},
    {"Path(x, y) distinct :- Edge(x, y); Path(x, z) distinct :- Path(x, y), Edge(y, z); @Recursive(Path, 5);",
     "Path", ""},
    {"Small(x) :- Number(x), x < 8; Picked(x) :- Source(x), x > 1; Out := Picked(Source: Small);", "Out", ""},
    {"@Ground(Big); Big(x) :- Measure(x), x > 10; Top(x) :- Big(x); @OrderBy(Top, \"col0 desc\"); @Limit(Top, 3);",
     "Top", ""},
    {"@Ground(Cur); Cur(0); @Ground(Next, Nxt); Next(y) :- Cur(x), y == x + 1; @Ground(Again, Cur);"
     "Again(y) :- Next(x), y == 2 * x; @Iteration(Doubling, predicates: [Next, Again], repetitions: 3);"
     "Result(x) :- Again(x);",
     "Result", ""},
    {"P(x) :- x == 1, x == \"a\";", "P", ""},
};
// clang-format on

// The whole answer of one case as text: the SQL, the plan's steps, or the error.
std::string compile_case(const StressCase& c) {
  auto tree = parse_file(c.source);
  if (!tree.ok()) return "parse error: " + tree.error().message;
  auto program = QuorilProgram::new_with_engine(tree.value(), {}, {}, engine_of(c.engine));
  if (!program.ok()) return "compile error: " + program.error().message;
  std::string out;
  auto sql = program.value()->formatted_predicate_sql_impl(c.predicate, {}, std::nullopt);
  out += sql.ok() ? sql.value() : "sql error: " + sql.error().message;
  auto plan = program.value()->formatted_predicate_plan(c.predicate, PageWindow{7, 2}, std::string("a.*"));
  if (!plan.ok()) return out + "\nplan error: " + plan.error().message;
  for (const PlanStep& step : plan.value()) {
    out += "\n-- step " + std::to_string(static_cast<int>(step.kind)) + " " + step.sql;
    for (const std::string& s : step.body) out += "\n-- body " + s;
    out += "\n-- " + std::to_string(step.repetitions) + " " + step.changed;
  }
  return out;
}

// Every program for every engine, plus generated programs of each shape; the
// short run takes every sixth pairing, rotated so that each engine and each
// program still appear.
std::vector<StressCase> all_cases(bool short_run) {
  std::vector<StressCase> programs(std::begin(kPrograms), std::end(kPrograms));
  for (Shape shape : {Shape::Chain, Shape::Wide, Shape::Recursion}) {
    GeneratedProgram generated = generate_program(shape, 12);
    programs.push_back({generated.text, generated.last, ""});
  }
  std::vector<StressCase> cases;
  for (size_t e = 0; e < std::size(kEngines); ++e) {
    for (size_t p = 0; p < programs.size(); ++p) {
      if (short_run && (p + e) % 6 != 0) continue;
      cases.push_back({programs[p].source, programs[p].predicate, kEngines[e]});
    }
  }
  return cases;
}

double stress_seconds() {
  const char* value = std::getenv("MIRTOVA_STRESS_SECONDS");
  return value == nullptr ? 0.0 : std::atof(value);
}

TEST(StressThreads, EightThreadsWriteWhatOneThreadWrites) {
  const bool short_run = stress_seconds() <= 0;
  const std::vector<StressCase> cases = all_cases(short_run);
  constexpr size_t kThreads = 8;
  // The threads run first, so that they, not this thread, race to fill the
  // per-thread library caches and whichever shared tables are still empty.
  std::vector<std::vector<std::string>> seen(kThreads, std::vector<std::string>(cases.size()));
  std::vector<size_t> passes(kThreads, 0);
  std::atomic<bool> go{false};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(stress_seconds());
  std::vector<std::string> mismatches(kThreads);
  {
    std::vector<std::thread> threads;
    for (size_t t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        while (!go.load()) std::this_thread::yield();
        do {
          // Each thread starts at its own place in the table, so at any moment
          // the threads compile different programs for different engines.
          for (size_t k = 0; k < cases.size(); ++k) {
            const size_t i = (k + t * cases.size() / kThreads) % cases.size();
            // The short run shares the table out, one case in eight per thread.
            if (short_run && i % kThreads != t) continue;
            std::string text = compile_case(cases[i]);
            if (passes[t] == 0) {
              seen[t][i] = std::move(text);
            } else if (text != seen[t][i] && mismatches[t].empty()) {
              mismatches[t] = "case " + std::to_string(i) + " changed between passes";
            }
          }
          ++passes[t];
        } while (std::chrono::steady_clock::now() < deadline);
      });
    }
    go = true;
    for (std::thread& thread : threads) thread.join();
  }
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string expected = compile_case(cases[i]);
    for (size_t t = 0; t < kThreads; ++t) {
      if (short_run && i % kThreads != t) continue;
      ASSERT_EQ(seen[t][i], expected) << "thread " << t << ", " << cases[i].engine << ": " << cases[i].source;
    }
  }
  for (size_t t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], "") << "thread " << t;
}

// The cases must exercise compiling, not just refuse: only the ill-typed
// program may fail.
TEST(StressThreads, TableCompilesForEveryEngine) {
  const std::vector<StressCase> cases = all_cases(stress_seconds() <= 0);
  size_t errors = 0;
  for (const StressCase& c : cases) {
    const std::string text = compile_case(c);
    if (text.find("error: ") != std::string::npos) {
      ++errors;
      EXPECT_EQ(c.predicate, "P") << c.engine << ": " << c.source << "\n" << text;
    }
  }
  EXPECT_GE(errors, 1u);
}

}  // namespace
}  // namespace mirtova
