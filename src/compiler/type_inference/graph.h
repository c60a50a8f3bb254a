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
  // Ends the building: no edge is connected after, so the index that kept
  // duplicates out is let go and the edges take only the room they fill
  // (a program has a graph per predicate, most of them of a few edges).
  void seal();
  // Whether an accepted edge has a PredicateAddressing end of (predicate, column).
  bool has_column(std::string_view predicate, std::string_view column) const;

  const std::vector<Edge>& edges() const { return edges_; }
  // For inference, which changes the types the ends carry; their text, and so
  // the keys, must stay as they are.
  std::vector<Edge>& edges_mut() { return edges_; }

 private:
  std::vector<Edge> edges_;  // in the order accepted
  // Over the edges' keys, made again from the digests the ends carry.
  FlatIndex key_index_{FlatIndex::kEmpty};
};

}  // namespace mirtova
