// Whether any predicate depends on itself, over the graph of mentioned names.
#include "compiler/functors/dependency_cycles.h"

#include "compiler/functors/dependency_graph.h"

namespace mirtova {

bool has_dependency_cycle(const std::vector<Json>& rules) {
  const DependencyGraph graph = mentioned_names_graph(rules);
  for (const Component& component : strongly_connected_components(graph))
    if (is_recursive(graph, component)) return true;
  return false;
}

}  // namespace mirtova
