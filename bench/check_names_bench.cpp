// Time of check over a program of 2,000 predicates with 200 misspelt calls,
// each of which looks for the closest of the 2,000 names, against the time of
// compiling the same program spelt right; and the time of check as the
// program and its misspelt names grow together, which should grow about as
// the program does, every misspelt name keeping its suggestion.
#include <benchmark/benchmark.h>

#include <string>
#include <variant>

#include "compiler/program/universe.h"
#include "parser/parse_file.h"
#include "verifier/validate.h"

namespace mirtova {
namespace {

constexpr int kPredicates = 2000;
constexpr int kMisspelt = 200;
constexpr int kChain = 100;  // predicates that wait on one another in a row

std::string number(int i) {
  std::string n = std::to_string(i);
  return std::string(4 - n.size(), '0') + n;
}

// Chains of predicates Pred0000, Pred0001, ... met in Top; with `misspelt`,
// 200 more rules that call "Perd" for "Pred", two edits from the name meant
// and from many names of the same length.
std::string program(bool misspelt) {
  std::string text = "Base(a: 1, b: 2);\nBase(a: 2, b: 3);\n";
  for (int i = 0; i < kPredicates; ++i) {
    const std::string before = i % kChain == 0 ? "Base" : "Pred" + number(i - 1);
    text += "Pred" + number(i) + "(a:, b:) :- " + before + "(a:, b: c), Base(a: c, b:);\n";
    if (i % kChain == kChain - 1) text += "Top(a:, b:) :- Pred" + number(i) + "(a:, b:);\n";
  }
  if (misspelt)
    for (int k = 0; k < kMisspelt; ++k)
      text += "Typo" + number(k) + "(a:, b:) :- Perd" + number(k * 7) + "(a:, b:);\n";
  return text;
}

void BM_CheckMisspeltCalls(benchmark::State& state) {
  const std::string text = program(true);
  size_t errors = 0, suggestions = 0;
  for (auto _ : state) {
    auto tree = parse_file(text);
    if (!tree.ok()) {
      state.SkipWithError(tree.error().message.c_str());
      return;
    }
    const verifier::CheckResult result = verifier::validate(tree.value());
    errors = result.errors.size();
    suggestions = 0;
    for (const verifier::CheckError& error : result.errors)
      if (const auto* undefined = std::get_if<verifier::UndefinedError>(&error))
        suggestions += undefined->suggestion.has_value() ? 1 : 0;
  }
  // Every misspelt call is one error, each with the name meant as suggestion.
  state.counters["errors"] = static_cast<double>(errors);
  state.counters["suggestions"] = static_cast<double>(suggestions);
}

void BM_CompileSpeltRight(benchmark::State& state) {
  const std::string text = program(false);
  for (auto _ : state) {
    auto tree = parse_file(text);
    if (!tree.ok()) {
      state.SkipWithError(tree.error().message.c_str());
      return;
    }
    auto compiled = QuorilProgram::new_with_engine(std::move(tree).value(), {}, {}, Engine::kDuckdb);
    if (!compiled.ok()) {
      state.SkipWithError(compiled.error().message.c_str());
      return;
    }
    auto sql = compiled.value()->formatted_predicate_sql_impl("Top", {}, std::nullopt);
    if (!sql.ok()) {
      state.SkipWithError(sql.error().message.c_str());
      return;
    }
    benchmark::DoNotOptimize(sql);
  }
}

// `rules` predicates, each calling the one before, and one rule for every
// second predicate that calls it misspelt: by one edit (a letter left out)
// or by two (two letters swapped), alike in length and spelling to thousands
// of others.
std::string misspelt_program(int rules) {
  std::string text = "Base(a: 1, b: 2);\n";
  auto name = [](int i) { return "Pred" + std::to_string(100000 + i); };
  for (int i = 0; i < rules; ++i)
    text += name(i) + "(a:, b:) :- " + (i == 0 ? std::string("Base") : name(i - 1)) + "(a:, b:);\n";
  for (int i = 0; i < rules; i += 2) {
    const std::string wrong = i % 4 == 0 ? "Prd" + name(i).substr(4) : "Perd" + name(i).substr(4);
    text += "Typo" + std::to_string(i) + "(a:, b:) :- " + wrong + "(a:, b:);\n";
  }
  return text;
}

void BM_CheckMisspeltNames(benchmark::State& state) {
  const int rules = static_cast<int>(state.range(0));
  const std::string text = misspelt_program(rules);
  auto tree = parse_file(text);
  if (!tree.ok()) {
    state.SkipWithError(tree.error().message.c_str());
    return;
  }
  size_t misspelt = 0, suggestions = 0;
  for (auto _ : state) {
    const verifier::CheckResult result = verifier::validate(tree.value());
    misspelt = suggestions = 0;
    for (const verifier::CheckError& error : result.errors)
      if (const auto* undefined = std::get_if<verifier::UndefinedError>(&error)) {
        ++misspelt;
        suggestions += undefined->suggestion.has_value() ? 1 : 0;
      }
  }
  state.counters["rules"] = static_cast<double>(rules + rules / 2);
  state.counters["misspelt"] = static_cast<double>(misspelt);
  state.counters["suggestions"] = static_cast<double>(suggestions);
}

BENCHMARK(BM_CheckMisspeltCalls)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckMisspeltNames)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Arg(16000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileSpeltRight)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mirtova
