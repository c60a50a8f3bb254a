// TypesGraph: the edges of one predicate's rules, free of duplicates, with the columns they name.
#pragma once

#include <string_view>
#include <vector>

#include "compiler/type_inference/edge.h"
#include "compiler/type_inference/flat_index.h"

namespace mirtova {

class TypesGraph {
 public:
  // Appends the edge unless an edge with the same key was accepted before;
  // answers whether it was accepted.
  bool connect(Edge edge);
  // Connects each edge of `other` in its order.
  void merge(TypesGraph other);
  // Whether an accepted edge has a PredicateAddressing end of (predicate, column).
  bool has_column(std::string_view predicate, std::string_view column) const;

  const std::vector<Edge>& edges() const { return edges_; }
  // For inference, which changes the types the ends carry; their text, and so
  // the keys, must stay as they are.
  std::vector<Edge>& edges_mut() { return edges_; }

 private:
  bool connect_keyed(Edge&& edge, const EdgeKey& key);

  std::vector<Edge> edges_;    // in the order accepted
  std::vector<EdgeKey> keys_;  // the key of each edge, so a merge need not digest again
  FlatIndex key_index_;        // over keys_
};

}  // namespace mirtova
