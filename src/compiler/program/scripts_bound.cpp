#include "compiler/program/scripts_bound.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace mirtova {

namespace {

bool is_word_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

size_t saturating_add(size_t a, size_t b) {
  return a > std::numeric_limits<size_t>::max() - b ? std::numeric_limits<size_t>::max() : a + b;
}

}  // namespace

size_t least_clause_bytes(std::string_view sql) {
  size_t least = sql.size();
  for (size_t at = 0; at + 2 < sql.size(); ++at) {
    if (sql[at] != 't' || sql[at + 1] != '_' || !is_digit(sql[at + 2])) continue;
    if (at > 0 && is_word_byte(sql[at - 1])) continue;
    size_t end = at + 2;
    while (end < sql.size() && is_digit(sql[end])) ++end;
    if (end < sql.size() && sql[end] == '_') ++end;
    least -= end - at;
    at = end - 1;
  }
  return least;
}

ScriptsBound::ScriptsBound(const DependencyGraph& calls, const std::vector<std::string>& scripts)
    : calls_(calls), component_(calls.size()), least_(calls.size(), 0), rest_(scripts.size() + 1, 0) {
  for (const std::string& name : scripts) {
    std::optional<size_t> node = calls.find(name);
    scripts_.push_back(node ? *node : calls.size());
  }
  ahead_.assign(scripts_.size(), false);
  std::vector<Component> components = strongly_connected_components(calls);
  for (size_t c = 0; c < components.size(); ++c)
    for (size_t node : components[c]) {
      component_[node] = c;
      order_.push_back(node);
    }
  std::vector<size_t> longest(calls.size(), 1);
  std::vector<bool> called(calls.size(), false);
  for (size_t node : order_)
    for (const DependencyGraph::Edge& edge : calls.successors(node))
      if (component_[edge.to] != component_[node]) {
        longest[node] = std::max(longest[node], longest[edge.to] + 1);
        called[edge.to] = true;
      }
  for (size_t i = 0; i < scripts_.size(); ++i)
    if (scripts_[i] < calls.size() && !called[scripts_[i]]) heads_.push_back(i);
  std::stable_sort(heads_.begin(), heads_.end(),
                   [&](size_t a, size_t b) { return longest[scripts_[a]] > longest[scripts_[b]]; });
}

void ScriptsBound::write_ahead(size_t script) {
  ahead_[script] = true;
  ahead_since_.push_back(script);
}

void ScriptsBound::learn(const std::vector<std::pair<std::string, std::string_view>>& clauses) {
  for (const auto& [predicate, sql] : clauses) {
    std::optional<size_t> node = calls_.find(predicate);
    if (!node || least_[*node] != 0) continue;
    least_[*node] = least_clause_bytes(sql);
    known_ = saturating_add(known_, least_[*node]);
    unmeasured_ = saturating_add(unmeasured_, least_[*node]);
  }
}

void ScriptsBound::measure() {
  // A predicate's script carries its callees' clauses and, through each, the
  // clauses of that callee's callees: at least those of its longest chain.
  // Calls within a component (a recursion) are left out.
  std::vector<size_t> below(calls_.size(), 0);
  chain_.assign(calls_.size(), 0);
  std::vector<size_t>& chain = chain_;
  for (size_t node : order_) {
    for (const DependencyGraph::Edge& edge : calls_.successors(node))
      if (component_[edge.to] != component_[node]) below[node] = std::max(below[node], chain[edge.to]);
    chain[node] = saturating_add(below[node], least_[node]);
  }
  for (size_t i = scripts_.size(); i-- > 0;)
    rest_[i] =
        saturating_add(rest_[i + 1], scripts_[i] < calls_.size() && !ahead_[i] ? chain[scripts_[i]] : 0);
  unmeasured_ = 0;
  ahead_since_.clear();
}

bool ScriptsBound::passes(size_t done, size_t written, size_t bound) {
  // Measured again once what was learned since grows the known sizes by an
  // eighth: a few dozen walks over the graph, however many scripts there are.
  if (unmeasured_ != 0 && unmeasured_ >= known_ / 8) measure();
  size_t rest = rest_[std::min(done, scripts_.size())];
  // Those written ahead since the measure are counted in `written`.
  for (size_t script : ahead_since_)
    if (script >= done && scripts_[script] < chain_.size()) rest -= std::min(rest, chain_[scripts_[script]]);
  return saturating_add(written, rest) > bound;
}

}  // namespace mirtova
