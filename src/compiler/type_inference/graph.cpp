#include "compiler/type_inference/graph.h"

#include <utility>

namespace mirtova {

bool TypesGraph::connect(Edge edge) {
  const EdgeKey key = edge_key(edge);
  const auto fresh = static_cast<uint32_t>(edges_.size());
  if (!key_index_
           .find_or_insert(EdgeKeyHash()(key), fresh,
                           [&](uint32_t id) { return edge_key(edges_[id]) == key; })
           .second) {
    return false;
  }
  edges_.push_back(std::move(edge));
  return true;
}

void TypesGraph::merge(TypesGraph other) {
  for (Edge& edge : other.edges_) connect(std::move(edge));
}

void TypesGraph::seal() {
  key_index_ = FlatIndex(FlatIndex::kEmpty);
  edges_.shrink_to_fit();
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
