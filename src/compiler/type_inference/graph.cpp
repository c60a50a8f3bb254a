#include "compiler/type_inference/graph.h"

#include <utility>

namespace mirtova {

bool TypesGraph::connect(Edge edge) {
  if (!edge_keys_.insert(edge_key(edge)).second) return false;
  for (const Expression* end : {&edge.left, &edge.right}) {
    if (end->is_predicate_addressing()) {
      auto it = columns_.find(end->name());
      if (it == columns_.end()) it = columns_.emplace(end->name(), std::set<std::string, std::less<>>{}).first;
      it->second.insert(end->column());
    }
  }
  edges_.push_back(std::move(edge));
  return true;
}

void TypesGraph::merge(TypesGraph other) {
  for (Edge& edge : other.edges_) connect(std::move(edge));
}

bool TypesGraph::has_column(std::string_view predicate, std::string_view column) const {
  auto it = columns_.find(predicate);
  return it != columns_.end() && it->second.find(column) != it->second.end();
}

}  // namespace mirtova
