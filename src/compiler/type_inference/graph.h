// TypesGraph: the edges of one predicate's rules, free of duplicates, with the columns they name.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "compiler/type_inference/edge.h"
#include "compiler/type_inference/flat_index.h"

namespace mirtova {

// An accepted edge: its ends are numbers in the graph's list of ends. A
// program's graphs hold a few edges per rule of every copy recursion unfolding
// makes, so an edge is a fraction of the two ends it joins: the kind shares a
// word with the right end's number, as no graph comes near 2^30 ends (that
// many would take a hundred gigabytes).
struct GraphEdge {
  int64_t start = 0;
  int64_t stop = 0;
  uint32_t left = 0;
  uint32_t right : 30 = 0;
  uint32_t kind_bits : 2 = 0;

  EdgeKind kind() const { return static_cast<EdgeKind>(kind_bits); }
  void set_kind(EdgeKind kind) { kind_bits = static_cast<uint32_t>(kind) & 3u; }
};
static_assert(sizeof(GraphEdge) == 24);

class TypesGraph {
 public:
  // Appends the edge unless an edge with the same key was accepted before;
  // answers whether it was accepted.
  bool connect(Edge edge);
  // Connects each edge of `other` in its order.
  void merge(TypesGraph other);
  // Ends the building: no edge is connected after, so the indexes that kept
  // duplicates out are let go and the lists take only the room they fill
  // (a program has a graph per predicate, most of them of a few edges).
  void seal();
  // Whether an accepted edge has a PredicateAddressing end of (predicate, column).
  bool has_column(std::string_view predicate, std::string_view column) const;

  size_t size() const { return edges_.size(); }
  const GraphEdge& edge(size_t at) const { return edges_[at]; }
  const Expression& left(size_t at) const { return ends_[edges_[at].left]; }
  const Expression& right(size_t at) const { return ends_[edges_[at].right]; }
  // For inference, which changes the types that ends without a node carry
  // (literals, shared between edges only when their type is fixed); their
  // text, and so the keys, must stay as they are.
  Expression& end_mut(uint32_t end) { return ends_[end]; }
  // The accepted edges as values, in order.
  std::vector<Edge> edges() const;

 private:
  // The number of an end equal to `end` in every detail, stored now if new.
  // Only variables and predicate columns with scalar types are shared: every
  // end of their key is one node of inference, which never changes their own
  // type. So are the scalar literals, whose type never changes at all; any
  // other literal keeps a type of its own per edge.
  uint32_t end_number(Expression end);

  std::vector<GraphEdge> edges_;  // in the order accepted
  std::vector<Expression> ends_;
  // Over the edges' keys, made again from the digests the ends carry.
  FlatIndex key_index_{FlatIndex::kEmpty};
  // Over the shared ends, by their digests.
  FlatIndex end_index_{FlatIndex::kEmpty};
};

}  // namespace mirtova
