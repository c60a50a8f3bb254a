// The contradiction check on one rule of many comparisons: a chain of
// variables bounded by as many distinct numbers, so that terms grow with the
// comparisons and the ordering of constants matters.
#include <benchmark/benchmark.h>

#include <string>

#include "parser/parse_file.h"
#include "verifier/contradiction.h"
#include "verifier/rule_lists.h"

namespace mirtova {
namespace {

// x0 <= x1 <= ... with xi > i, and one comparison that closes the chain back
// on itself when `contradict` is set: n comparisons in all.
std::string chain_rule(int n, bool contradict) {
  std::string rule = "P(x0) :- Q(x0)";
  const int links = n / 2;
  for (int i = 0; i < links; ++i) {
    rule += ", x" + std::to_string(i) + " <= x" + std::to_string(i + 1);
    rule += ", x" + std::to_string(i + 1) + " > " + std::to_string(i);
  }
  if (contradict) rule += ", x" + std::to_string(links) + " < x0";
  return "Q(1);\n" + rule + ";";
}

void check_contradictions_of(benchmark::State& state, bool contradict) {
  auto parsed = parse_file(chain_rule(static_cast<int>(state.range(0)), contradict));
  if (!parsed.ok()) {
    state.SkipWithError(parsed.error().message.c_str());
    return;
  }
  const Json program = std::move(parsed).value();
  const verifier::RuleLists lists = verifier::rule_lists(program);
  for (auto _ : state) {
    auto warnings = verifier::check_contradictions(lists.plain);
    if (warnings.size() != (contradict ? 1u : 0u)) {
      state.SkipWithError("unexpected verdict");
      return;
    }
    benchmark::DoNotOptimize(warnings);
  }
  state.SetComplexityN(state.range(0));
}

void BM_ContradictionChain(benchmark::State& state) { check_contradictions_of(state, false); }
void BM_ContradictionChainClosed(benchmark::State& state) { check_contradictions_of(state, true); }

BENCHMARK(BM_ContradictionChain)
    ->Arg(200)
    ->Arg(2000)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_ContradictionChainClosed)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirtova
