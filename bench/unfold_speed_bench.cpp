// Recursion unfolding and functor application on programs of many recursions
// that one predicate joins (the Recursion shape): each recursion unfolds into a
// chain of functor calls, so the make count follows the program size.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/functors/run_makes.h"
#include "compiler/functors/unfold_recursion.h"
#include "compiler/program/universe.h"
#include "generated_programs.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

std::vector<Json> recursion_rules(benchmark::State& state) {
  const GeneratedProgram generated = generate_program(Shape::Recursion, static_cast<int>(state.range(0)));
  auto parsed = parse_file(generated.text);
  if (!parsed.ok()) {
    state.SkipWithError(parsed.error().message.c_str());
    return {};
  }
  return parsed.value().at("rule").as_array();
}

void count_rules(benchmark::State& state) {
  state.counters["per_rule"] =
      benchmark::Counter(static_cast<double>(state.range(0)),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetComplexityN(state.range(0));
}

// Recursion unfolding alone: the index of the parsed rules and the rewrite,
// as a chain of functor calls (duckdb) or as semi-naive loops (trino).
void unfold_recursions(benchmark::State& state, const char* engine) {
  const std::vector<Json> rules = recursion_rules(state);
  if (rules.empty()) return;
  for (auto _ : state) {
    auto unfolded =
        unfold_recursion(rules, Dialect::get(*engine_named(engine))->unfolds_recursion_iteratively());
    if (!unfolded.ok()) {
      state.SkipWithError(unfolded.error().message.c_str());
      return;
    }
    benchmark::DoNotOptimize(unfolded);
  }
  count_rules(state);
}

void BM_UnfoldRecursions(benchmark::State& state) { unfold_recursions(state, "duckdb"); }
void BM_UnfoldRecursionsLoops(benchmark::State& state) { unfold_recursions(state, "trino"); }

// Functor application of the unfolded rules: ten makes per recursion as a
// chain (duckdb), or the steps of the semi-naive loops (trino).
void run_makes(benchmark::State& state, const char* engine) {
  const std::vector<Json> rules = recursion_rules(state);
  if (rules.empty()) return;
  auto unfolded =
      unfold_recursion(rules, Dialect::get(*engine_named(engine))->unfolds_recursion_iteratively());
  if (!unfolded.ok()) {
    state.SkipWithError(unfolded.error().message.c_str());
    return;
  }
  for (auto _ : state) {
    auto made = run_makes_with_deps(unfolded.value());
    if (!made.ok()) {
      state.SkipWithError(made.error().message.c_str());
      return;
    }
    benchmark::DoNotOptimize(made);
  }
  count_rules(state);
}

void BM_RunMakes(benchmark::State& state) { run_makes(state, "duckdb"); }
void BM_RunMakesLoops(benchmark::State& state) { run_makes(state, "trino"); }

// The whole program build and the SQL of the predicate that joins every recursion.
void compile_recursions(benchmark::State& state, const char* engine) {
  const GeneratedProgram generated = generate_program(Shape::Recursion, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto tree = parse_file(generated.text);
    if (!tree.ok()) {
      state.SkipWithError(tree.error().message.c_str());
      return;
    }
    auto program = QuorilProgram::new_with_engine(std::move(tree).value(), {}, {}, engine_named(engine));
    if (!program.ok()) {
      state.SkipWithError(program.error().message.c_str());
      return;
    }
    auto sql = program.value()->formatted_predicate_sql_impl(generated.last, {}, std::nullopt);
    if (!sql.ok()) {
      state.SkipWithError(sql.error().message.c_str());
      return;
    }
    benchmark::DoNotOptimize(sql);
  }
  count_rules(state);
}

void BM_CompileRecursions(benchmark::State& state) { compile_recursions(state, "duckdb"); }
void BM_CompileRecursionsLoops(benchmark::State& state) { compile_recursions(state, "trino"); }

BENCHMARK(BM_UnfoldRecursions)
    ->Arg(125)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_UnfoldRecursionsLoops)
    ->Arg(125)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_RunMakes)
    ->Arg(125)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_RunMakesLoops)
    ->Arg(125)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_CompileRecursions)
    ->Arg(125)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_CompileRecursionsLoops)
    ->Arg(125)
    ->Arg(250)
    ->Arg(500)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace mirtova
