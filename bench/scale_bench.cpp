// Parse, compile and plan time of generated programs of growing size (10 to
// 10,000 rules) in every shape of generated_programs.h. Each run reports the
// time per rule; scripts/bench_report.py turns a JSON run into the growth
// ratio between sizes.
#include <benchmark/benchmark.h>

#include <string>

#include "compiler/program/universe.h"
#include "generated_programs.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

enum class Stage { Parse, Compile, Plan };

void run(benchmark::State& state, Shape shape, Stage stage, const char* engine) {
  const GeneratedProgram generated = generate_program(shape, static_cast<int>(state.range(0)));
  auto probe = parse_file(generated.text);
  if (!probe.ok()) {
    state.SkipWithError(probe.error().message.c_str());
    return;
  }
  for (auto _ : state) {
    auto tree = parse_file(generated.text);
    if (stage == Stage::Parse) {
      benchmark::DoNotOptimize(tree);
      continue;
    }
    auto program = QuorilProgram::new_with_engine(std::move(tree).value(), {}, {}, engine_named(engine));
    if (!program.ok()) {
      state.SkipWithError(program.error().message.c_str());
      return;
    }
    if (stage == Stage::Compile) {
      auto sql = program.value()->formatted_predicate_sql_impl(generated.last, {}, std::nullopt);
      if (!sql.ok()) {
        state.SkipWithError(sql.error().message.c_str());
        return;
      }
      benchmark::DoNotOptimize(sql);
    } else {
      auto steps = program.value()->formatted_predicate_plan(generated.last, {}, std::nullopt);
      if (!steps.ok()) {
        state.SkipWithError(steps.error().message.c_str());
        return;
      }
      benchmark::DoNotOptimize(steps);
    }
  }
  state.counters["rules"] = static_cast<double>(generated.rules);
  // Seconds per rule, printed by the benchmark library with its unit prefix (e.g. "12.3us").
  state.counters["per_rule"] =
      benchmark::Counter(static_cast<double>(generated.rules),
                         benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetComplexityN(generated.rules);
}

#define MIRTOVA_SCALE_BENCH(shape, stage, engine)                 \
  void BM_##stage##_##shape##_##engine(benchmark::State& state) { \
    run(state, Shape::shape, Stage::stage, #engine);              \
  }                                                               \
  BENCHMARK(BM_##stage##_##shape##_##engine)                      \
      ->Arg(10)                                                   \
      ->Arg(100)                                                  \
      ->Arg(1000)                                                 \
      ->Arg(2000)                                                 \
      ->Arg(5000)                                                 \
      ->Arg(10000)                                                \
      ->Unit(benchmark::kMillisecond)                             \
      ->Complexity()

// Each recursion unfolds into several copies of itself, so its programs give
// much more SQL per rule than the other shapes; they stop at 2,000 rules.
#define MIRTOVA_RECURSION_BENCH(stage)                          \
  void BM_##stage##_Recursion_duckdb(benchmark::State& state) { \
    run(state, Shape::Recursion, Stage::stage, "duckdb");       \
  }                                                             \
  BENCHMARK(BM_##stage##_Recursion_duckdb)                      \
      ->Arg(10)                                                 \
      ->Arg(100)                                                \
      ->Arg(1000)                                               \
      ->Arg(2000)                                               \
      ->Unit(benchmark::kMillisecond)                           \
      ->Complexity()

// The shapes that stress one construct each, compiled on DuckDB; the sizes
// from 500 to 4,000 show the growth per doubling.
#define MIRTOVA_SHAPE_BENCH(shape)                            \
  void BM_Compile_##shape##_duckdb(benchmark::State& state) { \
    run(state, Shape::shape, Stage::Compile, "duckdb");       \
  }                                                           \
  BENCHMARK(BM_Compile_##shape##_duckdb)                      \
      ->Arg(10)                                               \
      ->Arg(100)                                              \
      ->Arg(500)                                              \
      ->Arg(1000)                                             \
      ->Arg(2000)                                             \
      ->Arg(4000)                                             \
      ->Arg(10000)                                            \
      ->Unit(benchmark::kMillisecond)                         \
      ->Complexity()

MIRTOVA_SCALE_BENCH(Chain, Parse, duckdb);
MIRTOVA_SCALE_BENCH(Wide, Parse, duckdb);
MIRTOVA_SCALE_BENCH(Recursion, Parse, duckdb);
MIRTOVA_SCALE_BENCH(Chain, Compile, duckdb);
MIRTOVA_SCALE_BENCH(Wide, Compile, duckdb);
MIRTOVA_RECURSION_BENCH(Compile);
MIRTOVA_SCALE_BENCH(Chain, Compile, psql);
MIRTOVA_SCALE_BENCH(Wide, Compile, sqlite);
MIRTOVA_SCALE_BENCH(Chain, Plan, duckdb);
MIRTOVA_RECURSION_BENCH(Plan);
// A record literal nested n levels deep, on the engine that declares a type
// for each level's record and on one that does not.
#define MIRTOVA_NESTED_BENCH(stage, engine)                          \
  void BM_##stage##_NestedRecord_##engine(benchmark::State& state) { \
    run(state, Shape::NestedRecord, Stage::stage, #engine);          \
  }                                                                  \
  BENCHMARK(BM_##stage##_NestedRecord_##engine)                      \
      ->Arg(30)                                                      \
      ->Arg(60)                                                      \
      ->Arg(120)                                                     \
      ->Arg(240)                                                     \
      ->Unit(benchmark::kMillisecond)                                \
      ->Complexity()

MIRTOVA_SHAPE_BENCH(InjectedChain);
MIRTOVA_NESTED_BENCH(Parse, duckdb);
MIRTOVA_NESTED_BENCH(Compile, duckdb);
MIRTOVA_NESTED_BENCH(Compile, psql);
MIRTOVA_SHAPE_BENCH(RecursionChain);
// The iterative engines write each recursion of the chain as a loop over
// stored tables, each read by the next recursion's.
void BM_Compile_RecursionChain_trino(benchmark::State& state) {
  run(state, Shape::RecursionChain, Stage::Compile, "trino");
}
BENCHMARK(BM_Compile_RecursionChain_trino)
    ->Arg(10)
    ->Arg(100)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
MIRTOVA_SHAPE_BENCH(LongChain);
MIRTOVA_SHAPE_BENCH(ManyRules);
MIRTOVA_SHAPE_BENCH(Disjunction);
MIRTOVA_SHAPE_BENCH(Facts);
MIRTOVA_SHAPE_BENCH(WideHead);
MIRTOVA_SHAPE_BENCH(WideRecord);

}  // namespace
}  // namespace mirtova
