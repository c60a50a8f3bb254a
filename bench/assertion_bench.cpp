// Time of assertion statements through parsing and the normal forms as they
// grow: nested equivalences double the form at every level until the bound
// refuses them, so their time must stop growing there; operator chains are
// refused past the nesting bound, so theirs must grow no faster than the text;
// and so must the writing of the rules of a long conjunction of equalities.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "assertion/normal_form.h"
#include "assertion/parser.h"
#include "assertion/resolver.h"
#include "assertion/translate.h"

namespace mirtova::assertion {
namespace {

std::string chain(size_t operators, std::string_view op) {
  std::string text = "P x";
  for (size_t i = 0; i < operators; ++i) (text += op) += "P x";
  return text;
}

// Parse, resolve and take both normal forms of the statement's negation.
void normal_forms(benchmark::State& state, const std::string& statement) {
  for (auto _ : state) {
    Result<Expr, std::string> tree = parse_statement(statement);
    if (!tree.ok()) {
      benchmark::DoNotOptimize(tree);
      continue;
    }
    Resolver resolver;
    Result<Expr, TranslateError> resolved = resolver.resolve(tree.value());
    if (!resolved.ok()) continue;
    Result<Nnf, TranslateError> form = nnf(resolved.value(), true);
    if (!form.ok()) {
      benchmark::DoNotOptimize(form);
      continue;
    }
    Result<Dnf, TranslateError> conjuncts = dnf(form.value());
    benchmark::DoNotOptimize(conjuncts);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * statement.size()));
}

void BM_AssertionNestedEquivalences(benchmark::State& state) {
  normal_forms(state, chain(static_cast<size_t>(state.range(0)), " \u2194 "));
}
BENCHMARK(BM_AssertionNestedEquivalences)->DenseRange(5, 30, 5);

void BM_AssertionConjunction(benchmark::State& state) {
  normal_forms(state, chain(static_cast<size_t>(state.range(0)), " \u2227 "));
}
BENCHMARK(BM_AssertionConjunction)->RangeMultiplier(10)->Range(10, 100000);

void BM_AssertionSum(benchmark::State& state) {
  normal_forms(state,
               "x" + std::string(chain(static_cast<size_t>(state.range(0)), " + ")).substr(3) + " > 0");
}
BENCHMARK(BM_AssertionSum)->RangeMultiplier(10)->Range(10, 100000);

void BM_AssertionNestedParentheses(benchmark::State& state) {
  const size_t depth = static_cast<size_t>(state.range(0));
  normal_forms(state, std::string(depth, '(') + "P x" + std::string(depth, ')'));
}
BENCHMARK(BM_AssertionNestedParentheses)->RangeMultiplier(10)->Range(10, 100000);

// The items joined by "∧" in a balanced tree, so that no nesting bound applies.
std::string both(const std::vector<std::string>& items, size_t from, size_t to) {
  if (to - from == 1) return items[from];
  const size_t half = from + (to - from) / 2;
  return "(" + both(items, from, half) + " \u2227 " + both(items, half, to) + ")";
}

// ∀ x0, P x0 → ∃ x1 … xn, with equalities written from the last: each defines
// the variable that the one before it needs, so that a pass over them in
// order binds one variable at a time.
void BM_AssertionEqualitiesDefinedBackwards(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  std::vector<std::string> equalities;
  std::string statement = "\u2200 x0, P x0 \u2192 \u2203";
  for (size_t i = n; i-- > 0;) {
    equalities.push_back("x" + std::to_string(i + 1) + " = x" + std::to_string(i));
    statement += " x" + std::to_string(n - i);
  }
  statement += ", " + both(equalities, 0, n);
  const Schema schema{{"P", {"x"}}};
  for (auto _ : state) {
    Result<Expr, std::string> tree = parse_statement(statement);
    if (!tree.ok()) state.SkipWithError("the statement does not parse");
    Result<Translation, TranslateError> rules = translate(tree.value(), schema, "Assert_P_a");
    benchmark::DoNotOptimize(rules);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * statement.size()));
}
BENCHMARK(BM_AssertionEqualitiesDefinedBackwards)->RangeMultiplier(4)->Range(1000, 16000);

}  // namespace
}  // namespace mirtova::assertion
