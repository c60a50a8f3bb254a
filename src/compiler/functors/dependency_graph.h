// The predicate dependency graph: each predicate with the predicates it depends
// on, in order, and whether through a negation; and its strongly connected
// components, found without recursion in an order that is fixed.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/string_hash.h"
#include "parser/json.h"

namespace mirtova {

class DependencyGraph {
 public:
  struct Edge {
    size_t to;
    bool negated;
  };

  // The node of `name`, added on its first appearance: nodes are numbered in
  // that order, which every search over the graph follows.
  size_t add_node(std::string_view name);
  // Appends `to` to the successors of `from` (a dependency found twice stands
  // twice); names become nodes in the order given.
  void add_edge(size_t from, size_t to, bool negated = false);
  void add_edge(std::string_view from, std::string_view to, bool negated = false);

  size_t size() const { return names_.size(); }
  const std::string& name(size_t node) const { return names_[node]; }
  std::optional<size_t> find(std::string_view name) const;
  const std::vector<Edge>& successors(size_t node) const { return successors_[node]; }

 private:
  std::vector<std::string> names_;
  std::vector<std::vector<Edge>> successors_;
  // Looked up by name only; the numbering follows names_.
  std::unordered_map<std::string, size_t, StringHash, std::equal_to<>> nodes_;
};

using Component = std::vector<size_t>;

// Tarjan's algorithm with an explicit stack: searches start from the nodes in
// order of first appearance and follow successors in order. Components come in
// completion order (a component after every component it depends on); members
// in the order they leave the search stack (the one visited last first, the
// root of the search last).
std::vector<Component> strongly_connected_components(const DependencyGraph& graph);

// Two or more members, or one that depends on itself.
bool is_recursive(const DependencyGraph& graph, const Component& component);

// The dependency graph of rules by the names they mention: each rule's head
// depends on every "predicate_name" in its body and head record (predicates
// passed as values, and tables, too), none of them negated.
DependencyGraph mentioned_names_graph(const std::vector<Json>& rules);

// One dependency of a rule's head on a predicate its body calls; `negated`
// when the call stands inside a negation.
struct DepEdge {
  std::string from;
  std::string to;
  bool negated;
};

// The calls of one rule's body, in order: a "predicate" conjunct gives an edge
// to its name, except "IsNull", whose combine arguments' bodies are walked as
// negated (there every call, "IsNull" too, gives a negated edge and goes no
// deeper); disjunctions are followed into the conjunction of each disjunct (a
// disjunct without one gives nothing). A rule without a body has none.
std::vector<DepEdge> extract_deps(const Json& rule);
// The graph of the edges, in their order.
DependencyGraph build_graph(const std::vector<DepEdge>& edges);
// The graph of every rule's calls, rule after rule.
DependencyGraph build_dep_graph(const std::vector<const Json*>& rules);

}  // namespace mirtova
