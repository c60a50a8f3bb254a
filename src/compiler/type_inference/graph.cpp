#include "compiler/type_inference/graph.h"

#include <utility>

namespace mirtova {

bool TypesGraph::connect(Edge edge) {
  const EdgeKey key = edge_key(edge);
  return connect_keyed(std::move(edge), key);
}

bool TypesGraph::connect_keyed(Edge&& edge, const EdgeKey& key) {
  const auto fresh = static_cast<uint32_t>(keys_.size());
  if (!key_index_.find_or_insert(EdgeKeyHash()(key), fresh, [&](uint32_t id) { return keys_[id] == key; })
           .second) {
    return false;
  }
  // Most graphs hold a handful of edges: room for them at once spares the
  // moves of a vector doubling from one.
  if (edges_.empty()) {
    edges_.reserve(16);
    keys_.reserve(16);
  }
  edges_.push_back(std::move(edge));
  keys_.push_back(key);
  return true;
}

void TypesGraph::merge(TypesGraph other) {
  for (size_t i = 0; i < other.edges_.size(); ++i) connect_keyed(std::move(other.edges_[i]), other.keys_[i]);
}

bool TypesGraph::has_column(std::string_view predicate, std::string_view column) const {
  // Asked once per graph, so a walk costs less than an index kept up per edge.
  for (const Edge& edge : edges_) {
    for (const Expression* end : {&edge.left, &edge.right}) {
      if (end->is_predicate_addressing() && end->name() == predicate && end->column() == column) return true;
    }
  }
  return false;
}

}  // namespace mirtova
