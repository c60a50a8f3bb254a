// TypesGraph: the edges of one predicate's rules, free of duplicates, with the columns they name.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "compiler/type_inference/edge.h"

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
  // Moves the edges out; the column index and the known keys stay.
  std::vector<Edge> take_edges();

 private:
  bool connect_keyed(Edge edge, const EdgeKey& key);

  std::vector<Edge> edges_;  // in the order accepted
  std::vector<EdgeKey> keys_;  // the key of each edge, so a merge need not digest again
  // Only looked up, never walked, so the hash order reaches nothing.
  std::unordered_set<EdgeKey, EdgeKeyHash> edge_keys_;
  // "predicate\0column" of every PredicateAddressing end; only looked up.
  std::unordered_set<std::string> columns_;
  std::string scratch_;  // reused to build a lookup key without allocating
};

}  // namespace mirtova
