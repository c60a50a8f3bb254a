// Cost of type inference on the generated programs (parsed, with the duckdb
// library appended, as a program build hands them over): the whole chain, and
// its stages one by one for the 1,000-rule Chain program.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "compiler/program/library_rules.h"
#include "compiler/type_inference/inference.h"
#include "generated_programs.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

// The rules a program build would type: its own and the library's, annotations left out.
struct TypedRules {
  std::vector<Json> rules;
  std::vector<const Json*> typed;
  std::string error;
};

std::unique_ptr<TypedRules> typed_rules(Shape shape, int count) {
  auto out = std::make_unique<TypedRules>();
  auto tree = parse_file(generate_program(shape, count).text);
  if (!tree.ok()) {
    out->error = tree.error().message;
    return out;
  }
  if (Json* r = tree.value().get_mut("rule")) out->rules = std::move(r->as_array_mut());
  auto library = library_rules(Engine::kDuckdb);
  if (!library.ok()) {
    out->error = library.error().message;
    return out;
  }
  for (const Json& r : *library.value()) out->rules.push_back(r);
  for (const Json& r : out->rules) {
    const Json* head = r.get("head");
    const Json* name = head != nullptr ? head->get("predicate_name") : nullptr;
    if (name == nullptr || !name->is_str() || name->as_str().empty() || name->as_str()[0] == '@') continue;
    out->typed.push_back(&r);
  }
  return out;
}

void run_whole(benchmark::State& state, Shape shape) {
  const auto input = typed_rules(shape, static_cast<int>(state.range(0)));
  if (!input->error.empty()) {
    state.SkipWithError(input->error.c_str());
    return;
  }
  for (auto _ : state) {
    auto result = infer_predicate_types(input->typed);
    if (!result.ok()) {
      state.SkipWithError(result.error().message.c_str());
      return;
    }
    benchmark::DoNotOptimize(result);
  }
  state.SetComplexityN(state.range(0));
}

void BM_TypeSpeed_Chain(benchmark::State& state) { run_whole(state, Shape::Chain); }
void BM_TypeSpeed_Wide(benchmark::State& state) { run_whole(state, Shape::Wide); }
BENCHMARK(BM_TypeSpeed_Chain)->Arg(1000)->Arg(2000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeSpeed_Wide)->Arg(1000)->Arg(2000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The stages of the chain on the 1,000-rule Chain program.
enum class Stage { Build, Infer, Read, Destroy };

void run_stage(benchmark::State& state, Stage stage) {
  const auto input = typed_rules(Shape::Chain, 1000);
  if (!input->error.empty()) {
    state.SkipWithError(input->error.c_str());
    return;
  }
  for (auto _ : state) {
    if (stage == Stage::Build) {
      TypesGraphBuilder builder;
      TypesGraphs graphs = builder.run_rules(input->typed);
      benchmark::DoNotOptimize(graphs);
      state.PauseTiming();
      graphs.clear();
      state.ResumeTiming();
      continue;
    }
    state.PauseTiming();
    auto inference = std::make_unique<TypeInference>(TypesGraphBuilder().run_rules(input->typed));
    if (stage != Stage::Infer) {
      if (!inference->infer().ok()) state.SkipWithError("conflict");
    }
    state.ResumeTiming();
    switch (stage) {
      case Stage::Infer:
        if (!inference->infer().ok()) state.SkipWithError("conflict");
        break;
      case Stage::Read:
        benchmark::DoNotOptimize(inference->all_predicate_types());
        break;
      default:
        break;
    }
    if (stage != Stage::Destroy) state.PauseTiming();
    inference.reset();
    if (stage != Stage::Destroy) state.ResumeTiming();
  }
}

void BM_TypeSpeed_Stage_Build(benchmark::State& state) { run_stage(state, Stage::Build); }
void BM_TypeSpeed_Stage_Infer(benchmark::State& state) { run_stage(state, Stage::Infer); }
void BM_TypeSpeed_Stage_Read(benchmark::State& state) { run_stage(state, Stage::Read); }
void BM_TypeSpeed_Stage_Destroy(benchmark::State& state) { run_stage(state, Stage::Destroy); }
BENCHMARK(BM_TypeSpeed_Stage_Build)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeSpeed_Stage_Infer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeSpeed_Stage_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeSpeed_Stage_Destroy)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirtova
