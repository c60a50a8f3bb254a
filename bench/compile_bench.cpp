// Compile time of a one-rule and a 200-rule program: parse, build the program
// object, and write the SQL of its last predicate (which reaches every other
// one) or of all of them; and the scripts of every predicate of a chain of
// WITH clauses, each script holding every clause before it.
#include <benchmark/benchmark.h>

#include <string>

#include "compiler/program/universe.h"
#include "generated_programs.h"
#include "parser/parse_file.h"

namespace {

// A chain of layers: facts, single-rule joins (injected), multi-rule unions
// (WITH clauses), aggregations and negations, 200 rules in all.
std::string layered_program(std::string* last = nullptr) {
  std::string text = "Base0(1, 2); Base0(2, 3); Base0(3, 4);\n";
  int rules = 3;
  for (int i = 1; rules < 200; ++i) {
    std::string n = std::to_string(i), p = std::to_string(i - 1);
    text += "Base" + n + "(x, z) :- Base" + p + "(x, y), Edge(y, z), x != z;\n";
    text += "Alt" + n + "(x, y) :- Base" + n + "(x, y);\n";
    text += "Alt" + n + "(x, y) :- Base" + p + "(y, x), ~Blocked(x);\n";
    text += "Count" + n + "(x, n? += 1) distinct :- Alt" + n + "(x, y), y > " + n + ";\n";
    rules += 4;
    if (last) *last = "Count" + n;
  }
  return text;
}

void BM_CompileLastPredicate(benchmark::State& state) {
  std::string last;
  const std::string text = layered_program(&last);
  auto probe = mirtova::parse_file(text);
  if (!probe.ok()) {
    state.SkipWithError("the program does not parse in this build");
    return;
  }
  for (auto _ : state) {
    auto tree = mirtova::parse_file(text);
    auto program = mirtova::QuorilProgram::new_with_engine(tree.value(), {}, {}, mirtova::Engine::kDuckdb);
    if (!program.ok()) {
      state.SkipWithError(program.error().message.c_str());
      return;
    }
    auto sql = program.value()->formatted_predicate_sql_impl(last, {}, std::nullopt);
    if (!sql.ok()) {
      state.SkipWithError(sql.error().message.c_str());
      return;
    }
    benchmark::DoNotOptimize(sql);
  }
}

void BM_CompileAll(benchmark::State& state) {
  const std::string text = layered_program();
  auto tree = mirtova::parse_file(text);
  if (!tree.ok()) {
    state.SkipWithError("the program does not parse in this build");
    return;
  }
  for (auto _ : state) {
    auto program = mirtova::QuorilProgram::new_with_engine(tree.value(), {}, {}, mirtova::Engine::kSqlite);
    if (!program.ok()) {
      state.SkipWithError(program.error().message.c_str());
      return;
    }
    program.value()->reuse_clauses();
    size_t bytes = 0;
    for (const std::string& name : program.value()->user_defined_predicates()) {
      auto sql = program.value()->formatted_predicate_sql_impl(name, {}, std::nullopt);
      if (sql.ok()) bytes += sql.value().size();
    }
    benchmark::DoNotOptimize(bytes);
  }
}

// A one-line program, compiled again and again as a host does: what every call
// costs whatever the program, the engine's library included.
void BM_CompileOneRule(benchmark::State& state) {
  const std::string text = "Q(x, y) :- T(x, y), x > 1;";
  for (auto _ : state) {
    auto tree = mirtova::parse_file(text);
    if (!tree.ok()) {
      state.SkipWithError("the program does not parse in this build");
      return;
    }
    auto program =
        mirtova::QuorilProgram::new_with_engine(std::move(tree).value(), {}, {}, mirtova::Engine::kDuckdb);
    if (!program.ok()) {
      state.SkipWithError(program.error().message.c_str());
      return;
    }
    auto sql = program.value()->formatted_predicate_sql_impl("Q", {}, std::nullopt);
    if (!sql.ok()) {
      state.SkipWithError(sql.error().message.c_str());
      return;
    }
    benchmark::DoNotOptimize(sql);
  }
}

BENCHMARK(BM_CompileOneRule)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompileLastPredicate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileAll)->Unit(benchmark::kMillisecond);

// Past 250 clauses waiting on one another the deepest are put off and written
// later, which changes their text: those nearest the bound are written anew
// in each script.
void BM_CompileAllLongChain(benchmark::State& state) {
  const mirtova::GeneratedProgram generated =
      mirtova::generate_program(mirtova::Shape::LongChain, static_cast<int>(state.range(0)));
  auto tree = mirtova::parse_file(generated.text);
  if (!tree.ok()) {
    state.SkipWithError("the program does not parse in this build");
    return;
  }
  size_t bytes = 0;
  for (auto _ : state) {
    auto program = mirtova::QuorilProgram::new_with_engine(tree.value(), {}, {}, mirtova::Engine::kDuckdb);
    if (!program.ok()) {
      state.SkipWithError(program.error().message.c_str());
      return;
    }
    program.value()->reuse_clauses();
    bytes = 0;
    for (const std::string& name : program.value()->user_defined_predicates()) {
      auto sql = program.value()->formatted_predicate_sql_impl(name, {}, std::nullopt);
      if (sql.ok()) bytes += sql.value().size();
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["script_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CompileAllLongChain)->Arg(200)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond);

}  // namespace
