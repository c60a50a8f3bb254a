// The stratification check and the text of its finding.
#include "verifier/stratification.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "common/strings.h"
#include "compiler/functors/dependency_graph.h"
#include "compiler/functors/functors.h"

namespace mirtova::verifier {

std::string StratificationError::text() const {
  return "Negative recursion cycle detected: " + join(cycle, " -> ");
}

std::optional<StratificationError> check_stratification(const RuleList& plain) {
  const DependencyGraph graph = build_dep_graph(plain);
  const std::vector<Component> components = strongly_connected_components(graph);
  std::vector<size_t> component_of(graph.size());
  for (size_t c = 0; c < components.size(); ++c)
    for (size_t node : components[c]) component_of[node] = c;
  // A negated edge between two members of one component lies on a cycle
  // through that negation (a component of one member is recursive exactly
  // when it holds an edge to itself). One pass over the edges finds the first
  // such component in completion order, which is the one reported.
  size_t first = components.size();
  for (size_t node = 0; node < graph.size(); ++node) {
    for (const DependencyGraph::Edge& edge : graph.successors(node)) {
      const size_t c = component_of[node];
      if (edge.negated && component_of[edge.to] == c && c < first) first = c;
    }
  }
  if (first == components.size()) return std::nullopt;
  StratificationError error;
  // A predicate and its auxiliary predicate are one predicate to the user.
  for (size_t node : components[first]) {
    std::string name(aggregated_predicate(graph.name(node)));
    if (std::find(error.cycle.begin(), error.cycle.end(), name) == error.cycle.end())
      error.cycle.push_back(std::move(name));
  }
  return error;
}

}  // namespace mirtova::verifier
