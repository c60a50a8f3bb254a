// Checking against compiling: the verifier over generated programs of 1,000 and
// 10,000 rules, next to parsing and compiling the same programs. Checking, the
// parse included, is meant to take less time than compiling; and checking one
// rule of 1,000 and 10,000 alternatives.
#include <benchmark/benchmark.h>

#include <string>

#include "compiler/program/universe.h"
#include "generated_programs.h"
#include "parser/parse_file.h"
#include "verifier/rule_lists.h"
#include "verifier/safety.h"
#include "verifier/stratification.h"
#include "verifier/validate.h"

namespace mirtova {
namespace {

enum class Stage {
  Check,   // parse, then every check of the verifier
  Safety,  // parse, then safety and stratification alone
  Compile  // parse, build the program and write the SQL of the predicate that reaches all others
};

void run(benchmark::State& state, Shape shape, Stage stage) {
  const GeneratedProgram generated = generate_program(shape, static_cast<int>(state.range(0)));
  auto probe = parse_file(generated.text);
  if (!probe.ok()) {
    state.SkipWithError(probe.error().message.c_str());
    return;
  }
  for (auto _ : state) {
    auto tree = parse_file(generated.text);
    if (stage == Stage::Check) {
      benchmark::DoNotOptimize(verifier::validate(tree.value()));
    } else if (stage == Stage::Safety) {
      const verifier::RuleLists lists = verifier::rule_lists(tree.value());
      benchmark::DoNotOptimize(verifier::check_safety(lists.plain));
      benchmark::DoNotOptimize(verifier::check_stratification(lists.plain));
    } else {
      auto program = QuorilProgram::new_with_engine(std::move(tree).value(), {}, {}, Engine::kDuckdb);
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
  }
  state.counters["rules"] = static_cast<double>(generated.rules);
}

#define MIRTOVA_CHECK_BENCH(shape, stage)                                                        \
  void BM_##stage##_##shape(benchmark::State& state) { run(state, Shape::shape, Stage::stage); } \
  BENCHMARK(BM_##stage##_##shape)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)

MIRTOVA_CHECK_BENCH(Chain, Check);
MIRTOVA_CHECK_BENCH(Chain, Safety);
MIRTOVA_CHECK_BENCH(Chain, Compile);
MIRTOVA_CHECK_BENCH(Wide, Check);
MIRTOVA_CHECK_BENCH(Wide, Safety);
MIRTOVA_CHECK_BENCH(Wide, Compile);
// Each alternative becomes a rule of its own that quotes the statement: the
// quotes together are bounded, so the time grows with the alternatives.
MIRTOVA_CHECK_BENCH(Disjunction, Check);

}  // namespace
}  // namespace mirtova
