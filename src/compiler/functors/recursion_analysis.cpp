// Recursion analysis and the unfolding driver.
#include "compiler/functors/recursion_analysis.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string_view>

#include "compiler/functors/dependency_graph.h"
#include "compiler/functors/generated_names.h"
#include "compiler/functors/horizontal.h"
#include "compiler/functors/rewrite_candidates.h"
#include "compiler/functors/vertical.h"
#include "parser/tree_walk.h"

namespace mirtova {

namespace {

constexpr int64_t kDefaultDepth = 8;
constexpr int64_t kInfiniteDepth = -1;
constexpr int64_t kDepthForInfinite = 1000000000;
constexpr int64_t kIterationThreshold = 20;

const SerdeLikeValue* option(const RecursionArgs& recursion_args, const std::string& predicate,
                             const std::string& key) {
  auto of = recursion_args.find(predicate);
  if (of == recursion_args.end()) return nullptr;
  auto value = of->second.find(key);
  return value == of->second.end() ? nullptr : &value->second;
}

// How often the rules of `member` mention each name: as body conjuncts, and as
// calls of the program's predicates.
std::map<std::string, uint64_t> mentions(const Functors& index, const std::string& member) {
  std::map<std::string, uint64_t> counts;
  auto positions = index.rules_by_predicate.find(member);
  if (positions == index.rules_by_predicate.end()) return counts;
  for (size_t position : positions->second) {
    walk_tree(index.rules[position], [&](const Json& node) {
      for (std::string_view key : {"predicate", "call"}) {
        const Json* called = node.get(key);
        const Json* name = called == nullptr ? nullptr : called->get("predicate_name");
        if (name == nullptr || !name->is_str()) continue;
        if (key == "call" && index.rules_by_predicate.count(std::string(name->as_str())) == 0) continue;
        ++counts[std::string(name->as_str())];
      }
      return Walk::Enter;
    });
  }
  return counts;
}

}  // namespace

uint64_t unfolded_table_references(const Functors& index, const NameSet& component, int64_t depth,
                                   uint64_t cap) {
  const uint64_t most = cap == UINT64_MAX ? cap : cap + 1;
  auto add = [most](uint64_t a, uint64_t b) { return a >= most - std::min(b, most) ? most : a + b; };
  auto times = [most](uint64_t a, uint64_t b) {
    return b != 0 && a > most / b ? most : std::min(a * b, most);
  };
  const std::vector<std::string> members(component.begin(), component.end());
  std::vector<std::map<std::string, uint64_t>> mentioned;
  NameSet tables;
  for (const std::string& member : members) {
    mentioned.push_back(mentions(index, member));
    for (const auto& [name, count] : mentioned.back())
      if (component.count(name) == 0) tables.insert(name);
  }
  auto count_of = [&](size_t member, const std::string& name) {
    auto found = mentioned[member].find(name);
    return found == mentioned[member].end() ? uint64_t{0} : found->second;
  };
  // An auxiliary member (the rules of a predicate that has several) belongs to
  // the level of the member that reads it: each level computes them first.
  std::vector<size_t> order;
  for (size_t m = 0; m < members.size(); ++m)
    if (is_aux_predicate(members[m])) order.push_back(m);
  const size_t auxiliary = order.size();
  for (size_t m = 0; m < members.size(); ++m)
    if (!is_aux_predicate(members[m])) order.push_back(m);
  uint64_t largest = 0;
  for (const std::string& table : tables) {
    std::vector<uint64_t> level(members.size());
    for (int64_t k = 0; k <= depth && largest < most; ++k) {
      std::vector<uint64_t> next(members.size());
      for (size_t i = 0; i < order.size(); ++i) {
        const size_t m = order[i];
        next[m] = count_of(m, table);
        for (size_t n = 0; n < members.size(); ++n) {
          const bool same_level = i >= auxiliary && is_aux_predicate(members[n]);
          next[m] = add(next[m], times(count_of(m, members[n]), same_level ? next[n] : level[n]));
        }
      }
      level = std::move(next);
      for (uint64_t count : level) largest = std::max(largest, count);
    }
  }
  return largest;
}

namespace {

// The names of a component that is a recursion with a member that is not
// auxiliary; nothing for any other.
std::optional<NameSet> recursive_members(const DependencyGraph& graph, const Component& component) {
  if (!is_recursive(graph, component)) return std::nullopt;
  NameSet members;
  for (size_t node : component) members.insert(graph.name(node));
  if (std::none_of(members.begin(), members.end(),
                   [](const std::string& name) { return !is_aux_predicate(name); }))
    return std::nullopt;
  return members;
}

}  // namespace

std::vector<NameSet> recursive_components(const Functors& index) {
  const DependencyGraph graph = index.direct_graph();
  // By the smallest member that is not auxiliary: the name that finds the component.
  std::vector<std::pair<std::string, NameSet>> found;
  for (const Component& component : strongly_connected_components(graph)) {
    std::optional<NameSet> members = recursive_members(graph, component);
    if (!members) continue;
    const std::string seed = *std::find_if(members->begin(), members->end(),
                                           [](const std::string& name) { return !is_aux_predicate(name); });
    found.emplace_back(seed, std::move(*members));
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<NameSet> components;
  for (auto& [seed, members] : found) components.push_back(std::move(members));
  return components;
}

// Every member is reached from `main` by a path that meets `main` only at its
// start, so a cycle avoiding `main` is a cycle among the other members.
bool has_cycle_avoiding(const Functors& index, const std::string& main, const NameSet& component) {
  // Built from the members alone: a pass over every direct set per component
  // would make a program of many recursions quadratic.
  DependencyGraph graph;
  for (const std::string& member : component) {
    if (member == main) continue;
    auto direct = index.direct_args.find(member);
    if (direct == index.direct_args.end()) continue;
    const size_t from = graph.add_node(member);
    for (const std::string& callee : direct->second)
      if (callee != main && component.count(callee) != 0) graph.add_edge(from, graph.add_node(callee));
  }
  for (const Component& members : strongly_connected_components(graph))
    if (is_recursive(graph, members)) return true;
  return false;
}

int64_t recursion_depth(const RecursionArgs& recursion_args, const std::string& predicate) {
  const SerdeLikeValue* depth = option(recursion_args, predicate, "1");
  if (depth == nullptr || !std::holds_alternative<int64_t>(*depth)) return kDefaultDepth;
  return std::get<int64_t>(*depth);
}

int64_t default_ignition(size_t component_size, int64_t depth) {
  const int64_t n = int64_t(component_size);
  return (n + 3) % 2 == depth % 2 ? n + 4 : n + 3;
}

namespace {

uint64_t saturating_times(uint64_t a, uint64_t b) {
  return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b;
}
uint64_t saturating_add(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

// Where the engine bounds a statement's table references, a recursion read
// from several places of one statement is expanded at each of them: its
// levels count once per read. A predicate no other reads is read once; any
// other as often as the rules of its readers mention it, times their own
// reads, and times the references of a level where the reader is an unfolded
// recursion. Summed over every reader, which overcounts where they lead to
// different statements, never the other way. Readers come first, so each
// recursion's choice knows its reads, and its readers' choices.
class StatementReads {
 public:
  explicit StatementReads(const Functors& index) : graph_(index.direct_graph()) {
    components_ = strongly_connected_components(graph_);
    std::reverse(components_.begin(), components_.end());
    reads_.assign(graph_.size(), 0);
  }
  const std::vector<Component>& readers_first() const { return components_; }
  const DependencyGraph& graph() const { return graph_; }
  uint64_t reads(const Component& component) const {
    uint64_t most = 1;
    for (size_t node : component) most = std::max(most, reads_[node]);
    return most;
  }
  // What the component's rules read outside it: each mention `per_mention`
  // times (the unfolded levels' references, or 1), times the component's reads.
  void pass_on(const Functors& index, const Component& component, uint64_t per_mention) {
    const uint64_t own = reads(component);
    for (size_t node : component) {
      for (const auto& [name, count] : mentions(index, graph_.name(node))) {
        const std::optional<size_t> callee = graph_.find(name);
        if (!callee || std::find(component.begin(), component.end(), *callee) != component.end()) continue;
        const uint64_t each = per_mention == 1 ? count : per_mention;
        reads_[*callee] = saturating_add(reads_[*callee], saturating_times(each, own));
      }
    }
  }

 private:
  DependencyGraph graph_;
  std::vector<Component> components_;
  std::vector<uint64_t> reads_;
};

}  // namespace

std::vector<UnfoldingChoice> choose_unfoldings(const Functors& index, RecursionArgs& recursion_args,
                                               bool iterative, uint64_t most_references) {
  const bool bounded = most_references != UINT64_MAX;
  // A quarter of the bound is the most a recursion's own levels may take, and
  // half the most they may take counted for each read of them: the rest is
  // left to what else the statement reads (other recursions of the same
  // tables, the tables themselves).
  const uint64_t own_most = bounded ? most_references / 4 : most_references;
  const uint64_t read_most = bounded ? most_references / 2 : most_references;
  auto choose = [&](NameSet component, uint64_t reads, uint64_t& level_references) {
    auto annotated = std::find_if(component.begin(), component.end(),
                                  [&](const std::string& m) { return recursion_args.count(m) != 0; });
    const std::string main = annotated != component.end() ? *annotated : *component.begin();
    const int64_t depth = recursion_depth(recursion_args, main);
    std::string style;
    level_references = 1;
    if (depth == kInfiniteDepth) {
      recursion_args[main]["1"] = kDepthForInfinite;
      style = "iterative_horizontal";
    } else if (iterative || depth > kIterationThreshold) {
      style = "iterative_horizontal";
    } else if (bounded && ((level_references = unfolded_table_references(index, component, depth,
                                                                         most_references)) > own_most ||
                           saturating_times(level_references, reads) > read_most)) {
      level_references = 1;
      style = "iterative_horizontal";
    } else if (visible_members(component).size() != 1 || has_cycle_avoiding(index, main, component)) {
      style = "horizontal";
    } else {
      style = "vertical";
    }
    return UnfoldingChoice{main, std::move(component), std::move(style)};
  };
  std::vector<UnfoldingChoice> choices;
  StatementReads reads(index);
  for (const Component& component : reads.readers_first()) {
    uint64_t level_references = 1;
    if (std::optional<NameSet> members = recursive_members(reads.graph(), component))
      choices.push_back(choose(std::move(*members), reads.reads(component), level_references));
    if (bounded) reads.pass_on(index, component, level_references);
  }
  std::sort(choices.begin(), choices.end(),
            [](const UnfoldingChoice& a, const UnfoldingChoice& b) { return a.main < b.main; });
  return choices;
}

Result<std::vector<Json>, CompileError> Functors::unfold_recursions(RecursionArgs& recursion_args,
                                                                    bool iterative, GeneratedNames& names,
                                                                    uint64_t most_references) const {
  const std::vector<UnfoldingChoice> choices =
      choose_unfoldings(*this, recursion_args, iterative, most_references);
  std::vector<Json> out(rules.begin(),
                        rules.begin() + std::ptrdiff_t(std::min<uint64_t>(input_rule_count, rules.size())));
  RewriteCandidates candidates(out);
  for (const UnfoldingChoice& choice : choices) {
    const int64_t depth = recursion_depth(recursion_args, choice.main);
    if (depth == 0) continue;  // asked for no unfolding: the component stays recursive
    // Any other negative depth would write levels with negative numbers, which
    // name nothing sensible once parsed back.
    if (depth < 0) {
      return CompileError(
          "@Recursive(" + choice.main +
          "): the depth is a whole number of steps, 1 or more, or -1 to recurse until nothing changes");
    }
    const std::vector<size_t> positions = candidates.of_component(out, choice.component);
    const size_t appended_from = out.size();
    if (choice.style == "vertical") {
      TRY_VOID(unfold_vertical(out, positions, choice.main, choice.component, depth, names));
      candidates.refresh(out, positions, appended_from);
      continue;
    }
    int64_t ignition = default_ignition(choice.component.size(), depth);
    if (const SerdeLikeValue* given = option(recursion_args, choice.main, "ignition");
        given != nullptr && std::holds_alternative<int64_t>(*given)) {
      ignition = std::get<int64_t>(*given);
    }
    std::optional<std::string> stop_signal;
    if (const SerdeLikeValue* stop = option(recursion_args, choice.main, "stop");
        stop != nullptr && std::holds_alternative<std::string>(*stop)) {
      const std::string& name = std::get<std::string>(*stop);
      if (choice.component.count(name) == 0) {
        return CompileError("Recursive predicate '" + choice.main + "' uses stop signal '" + name +
                                "' that does not exist or is outside of the recursive component.",
                            choice.main);
      }
      stop_signal = name;
    }
    TRY_VOID(unfold_recursive_predicate_flat(choice.component, depth, out, positions,
                                             choice.style == "iterative_horizontal", ignition, stop_signal,
                                             names));
    candidates.refresh(out, positions, appended_from);
  }
  return out;
}

}  // namespace mirtova
