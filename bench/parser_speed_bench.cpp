// Parse time of the generated programs split in two: building the tree, and
// freeing it (which the scale benchmarks count as part of each parse).
#include <benchmark/benchmark.h>

#include <vector>

#include "generated_programs.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

void run(benchmark::State& state, Shape shape, bool free_only) {
  const GeneratedProgram generated = generate_program(shape, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    if (free_only) {
      auto tree = parse_file(generated.text);
      state.ResumeTiming();
      { auto dropped = std::move(tree); }
      continue;
    }
    state.ResumeTiming();
    auto tree = parse_file(generated.text);
    benchmark::DoNotOptimize(tree);
    state.PauseTiming();
    { auto dropped = std::move(tree); }
    state.ResumeTiming();
  }
}

void BM_ParserSpeed_Build_Chain(benchmark::State& state) { run(state, Shape::Chain, false); }
void BM_ParserSpeed_Free_Chain(benchmark::State& state) { run(state, Shape::Chain, true); }
void BM_ParserSpeed_Build_Wide(benchmark::State& state) { run(state, Shape::Wide, false); }
void BM_ParserSpeed_Free_Wide(benchmark::State& state) { run(state, Shape::Wide, true); }

BENCHMARK(BM_ParserSpeed_Build_Chain)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParserSpeed_Free_Chain)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParserSpeed_Build_Wide)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParserSpeed_Free_Wide)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirtova
