#include "compiler/type_inference/edge.h"

#include <utility>

namespace mirtova {

EdgeKey edge_key(const Edge& edge) {
  return edge_key(edge.kind, edge.start, edge.stop, edge.left, edge.right);
}

EdgeKey edge_key(EdgeKind kind, int64_t start, int64_t stop, const Expression& left,
                 const Expression& right) {
  Digest128 a = text_digest(left);
  Digest128 b = text_digest(right);
  if (b < a) std::swap(a, b);
  return EdgeKey{a, b, start, stop, kind};
}

size_t EdgeKeyHash::operator()(const EdgeKey& key) const {
  // The digests are already well mixed; fold the small fields in.
  uint64_t h =
      key.lower.high ^ (key.lower.low * 0x9e3779b97f4a7c15ULL) ^ (key.higher.high << 1) ^ key.higher.low;
  h ^= static_cast<uint64_t>(key.start) * 0xff51afd7ed558ccdULL;
  h ^= static_cast<uint64_t>(key.stop) * 0xc4ceb9fe1a85ec53ULL;
  h ^= static_cast<uint64_t>(key.kind) << 7;
  return static_cast<size_t>(h);
}

}  // namespace mirtova
