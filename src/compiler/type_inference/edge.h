// Edges of the types graph, and the key under which duplicate edges are recognised.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compiler/type_inference/expression.h"

namespace mirtova {

enum class EdgeKind : uint8_t {
  Equality = 0,     // both ends receive the meet of their types
  Inclusion = 1,    // left is a list whose elements have right's type
  FieldAccess = 2,  // left is a record holding the field that right names
  Argument = 3,     // left is a call's value column, right one argument column; not propagated
};

struct Edge {
  EdgeKind kind = EdgeKind::Equality;
  // Position numbers a conflict along this edge reports as "at ({start}, {stop})".
  int64_t start = 0;
  int64_t stop = 0;
  Expression left;
  Expression right;
};

// An edge's identity: the two end digests in ascending order (so swapping the
// ends gives the same key), the position numbers and the kind.
struct EdgeKey {
  Digest128 lower;
  Digest128 higher;
  int64_t start = 0;
  int64_t stop = 0;
  EdgeKind kind = EdgeKind::Equality;
  friend bool operator==(const EdgeKey&, const EdgeKey&) = default;
};

EdgeKey edge_key(const Edge& edge);
EdgeKey edge_key(EdgeKind kind, int64_t start, int64_t stop, const Expression& left, const Expression& right);

struct EdgeKeyHash {
  size_t operator()(const EdgeKey& key) const;
};

}  // namespace mirtova
