#include "compiler/type_inference/graph.h"

#include <utility>

namespace mirtova {

bool TypesGraph::connect(Edge edge) {
  const EdgeKey key = edge_key(edge);
  return connect_keyed(std::move(edge), key);
}

bool TypesGraph::connect_keyed(Edge edge, const EdgeKey& key) {
  if (!edge_keys_.insert(key).second) return false;
  for (const Expression* end : {&edge.left, &edge.right}) {
    if (end->is_predicate_addressing()) {
      auto it = columns_.find(end->name());
      if (it == columns_.end()) it = columns_.emplace(end->name(), std::set<std::string, std::less<>>{}).first;
      it->second.insert(end->column());
    }
  }
  edges_.push_back(std::move(edge));
  keys_.push_back(key);
  return true;
}

void TypesGraph::merge(TypesGraph other) {
  for (size_t i = 0; i < other.edges_.size(); ++i) connect_keyed(std::move(other.edges_[i]), other.keys_[i]);
}

std::vector<Edge> TypesGraph::take_edges() {
  keys_.clear();
  return std::move(edges_);
}

bool TypesGraph::has_column(std::string_view predicate, std::string_view column) const {
  auto it = columns_.find(predicate);
  return it != columns_.end() && it->second.find(column) != it->second.end();
}

}  // namespace mirtova
