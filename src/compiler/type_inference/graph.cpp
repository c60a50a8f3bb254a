#include "compiler/type_inference/graph.h"

#include <utility>

namespace mirtova {

namespace {

// Names hold no NUL, so the pair reads back unambiguously.
void column_key(std::string_view predicate, std::string_view column, std::string& out) {
  out.assign(predicate);
  out += '\0';
  out += column;
}

}  // namespace

bool TypesGraph::connect(Edge edge) {
  const EdgeKey key = edge_key(edge);
  return connect_keyed(std::move(edge), key);
}

bool TypesGraph::connect_keyed(Edge edge, const EdgeKey& key) {
  if (!edge_keys_.insert(key).second) return false;
  for (const Expression* end : {&edge.left, &edge.right}) {
    if (end->is_predicate_addressing()) {
      column_key(end->name(), end->column(), scratch_);
      if (!columns_.contains(scratch_)) columns_.insert(scratch_);
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
  std::string key;
  column_key(predicate, column, key);
  return columns_.contains(key);
}

}  // namespace mirtova
