// The stratification check: no predicate may depend on itself through a negation.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct StratificationError {
  std::vector<std::string> cycle;  // the members of one negative cycle

  std::string text() const;
};

// At most one error, whatever the number of negative cycles: the first
// component, in the completion order of the search over the rules' call graph,
// that holds a negated call between two of its members; the members in the
// order they left the search stack. The graph (build_dep_graph) and its
// components (strongly_connected_components) are the compiler's own, in
// compiler/functors/dependency_graph.h, found from the predicates in order of
// first appearance, so the error is the same in every run.
std::optional<StratificationError> check_stratification(const RuleList& plain);

}  // namespace mirtova::verifier
