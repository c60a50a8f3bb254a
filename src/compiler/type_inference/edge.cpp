#include "compiler/type_inference/edge.h"

#include <utility>

namespace mirtova {

EdgeKey edge_key(const Edge& edge) {
  Digest128 a = text_digest(edge.left);
  Digest128 b = text_digest(edge.right);
  if (b < a) std::swap(a, b);
  return EdgeKey{a, b, edge.start, edge.stop, edge.kind};
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
