// Time of recursion unfolding against the requested depth: the iterative and
// semi-naive forms write text whose size does not follow the depth, the
// vertical chain writes one statement per level.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/functors/functors.h"
#include "compiler/functors/unfold_recursion.h"
#include "compiler/functors/vertical.h"
#include "compiler/program/universe.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

std::vector<Json> parsed_rules(const std::string& text, benchmark::State& state) {
  auto parsed = parse_file(text);
  if (!parsed.ok()) {
    state.SkipWithError(parsed.error().message.c_str());
    return {};
  }
  return parsed.value().at("rule").as_array();
}

void unfold_program(benchmark::State& state, const std::string& body, const char* engine) {
  const std::string text = body + "@Recursive(Path, " + std::to_string(state.range(0)) + ");";
  std::vector<Json> rules = parsed_rules(text, state);
  if (rules.empty()) return;
  for (auto _ : state) {
    auto unfolded =
        unfold_recursion(rules, Dialect::get(*engine_named(engine))->unfolds_recursion_iteratively());
    if (!unfolded.ok()) {
      state.SkipWithError(unfolded.error().message.c_str());
      break;
    }
    benchmark::DoNotOptimize(unfolded);
  }
  state.SetComplexityN(state.range(0));
}

// Transitive closure: a linear, distinct recursion, unfolded as a semi-naive loop.
void BM_UnfoldSemiNaive(benchmark::State& state) {
  unfold_program(state,
                 "Path(x, y) distinct :- Edge(x, y);\n"
                 "Path(x, z) distinct :- Path(x, y), Edge(y, z);\n",
                 "duckdb");
}

// Two recursive calls: the iterative horizontal form with an @Iteration loop.
void BM_UnfoldIterative(benchmark::State& state) {
  unfold_program(state,
                 "Path(x, y) :- Edge(x, y);\n"
                 "Path(x, z) :- Path(x, y), Path(y, z);\n",
                 "sqlite");
}

// The vertical chain written out at the given depth, as if no threshold
// turned deep recursions into loops: one functor statement per level.
void BM_VerticalChain(benchmark::State& state) {
  std::vector<Json> base =
      parsed_rules("Path(x, y) :- Edge(x, y);\nPath(x, z) :- Path(x, y), Edge(y, z);\n", state);
  if (base.empty()) return;
  for (auto _ : state) {
    std::vector<Json> rules = base;
    auto result = unfold_vertical(rules, "Path", {"Path"}, state.range(0));
    if (!result.ok()) {
      state.SkipWithError(result.error().message.c_str());
      break;
    }
    benchmark::DoNotOptimize(rules);
  }
  state.SetComplexityN(state.range(0));
}

// The whole road of a deep recursion: program build (unfolding, functor
// application, library, types) and the plan of the recursive predicate.
void BM_PlanDeepRecursion(benchmark::State& state) {
  const std::string text =
      "Path(x, y) distinct :- Edge(x, y);\nPath(x, z) distinct :- Path(x, y), Edge(y, z);\n"
      "@Recursive(Path, " +
      std::to_string(state.range(0)) + ");";
  auto parsed = parse_file(text);
  if (!parsed.ok()) {
    state.SkipWithError(parsed.error().message.c_str());
    return;
  }
  for (auto _ : state) {
    auto program = QuorilProgram::new_with_engine(parsed.value(), {}, {}, Engine::kDuckdb);
    if (!program.ok()) {
      state.SkipWithError(program.error().message.c_str());
      break;
    }
    auto plan = program.value()->formatted_predicate_plan("Path", {}, std::nullopt);
    if (!plan.ok()) {
      state.SkipWithError(plan.error().message.c_str());
      break;
    }
    benchmark::DoNotOptimize(plan);
  }
}

// Depths above the loop threshold write the same text whatever the depth.
BENCHMARK(BM_UnfoldSemiNaive)
    ->RangeMultiplier(10)
    ->Range(10, 100000)
    ->Complexity(benchmark::o1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnfoldIterative)
    ->RangeMultiplier(10)
    ->Range(10, 100000)
    ->Complexity(benchmark::o1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlanDeepRecursion)->Arg(10)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VerticalChain)
    ->RangeMultiplier(10)
    ->Range(10, 10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace mirtova
