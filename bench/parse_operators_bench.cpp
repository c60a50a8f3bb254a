// Parsing time of operator chains and nested parentheses as they grow. Past
// the nesting bound a chain is refused, so the time must stop growing faster
// than the text does.
#include <benchmark/benchmark.h>

#include <string>

#include "parser/forms.h"

namespace mirtova {
namespace {

std::string chain(size_t operators, std::string_view op) {
  std::string text = "a";
  for (size_t i = 0; i < operators; ++i) (text += op) += "a";
  return text;
}

void parse_as_proposition(benchmark::State& state, const std::string& text) {
  SpanString span(text);
  for (auto _ : state) {
    auto result = parse_proposition(span);
    benchmark::DoNotOptimize(result);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_SumChain(benchmark::State& state) {
  parse_as_proposition(state, "x == " + chain(static_cast<size_t>(state.range(0)), " + "));
}
BENCHMARK(BM_SumChain)->RangeMultiplier(10)->Range(10, 100000);

void BM_MixedChain(benchmark::State& state) {
  std::string text = "x == a";
  const char* ops[] = {" + ", " * ", " - ", " / "};
  for (int64_t i = 0; i < state.range(0); ++i) (text += ops[i % 4]) += "a";
  parse_as_proposition(state, text);
}
BENCHMARK(BM_MixedChain)->RangeMultiplier(10)->Range(10, 100000);

void BM_Conjunction(benchmark::State& state) {
  parse_as_proposition(state, chain(static_cast<size_t>(state.range(0)), ", "));
}
BENCHMARK(BM_Conjunction)->RangeMultiplier(10)->Range(10, 100000);

void BM_NestedParentheses(benchmark::State& state) {
  const size_t depth = static_cast<size_t>(state.range(0));
  parse_as_proposition(state, "x == " + std::string(depth, '(') + "a + 1" + std::string(depth, ')'));
}
BENCHMARK(BM_NestedParentheses)->RangeMultiplier(10)->Range(10, 100000);

void BM_NestedSums(benchmark::State& state) {
  std::string text = "x == ";
  for (int64_t i = 0; i < state.range(0); ++i) text += "(a + ";
  text += "a" + std::string(static_cast<size_t>(state.range(0)), ')');
  parse_as_proposition(state, text);
}
BENCHMARK(BM_NestedSums)->RangeMultiplier(10)->Range(10, 100000);

}  // namespace
}  // namespace mirtova
