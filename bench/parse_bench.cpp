// Parse time of whole programs of plain rules, by program size.
#include <benchmark/benchmark.h>

#include <string>

#include "parser/parse_file.h"

namespace {

// About 100 bytes per rule: a join of two relations with a condition.
std::string plain_rules(size_t bytes) {
  std::string text;
  text.reserve(bytes + 200);
  for (size_t i = 0; text.size() < bytes; ++i) {
    std::string n = std::to_string(i);
    text += "Path" + n + "(x, z, w: y) :- Edge" + n + "(x, y), Edge(y, z), y != z, Label(x, name: w);\n";
  }
  return text;
}

void BM_ParsePlainRules(benchmark::State& state) {
  const std::string text = plain_rules(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    auto tree = mirtova::parse_file(text);
    if (!tree.ok()) state.SkipWithError(tree.error().message.c_str());
    benchmark::DoNotOptimize(tree);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_ParsePlainRules)->Arg(64 << 10)->Arg(256 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
