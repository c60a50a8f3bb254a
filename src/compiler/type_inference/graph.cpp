#include "compiler/type_inference/graph.h"

#include <utility>

namespace mirtova {

namespace {

bool shareable(const Expression& end) {
  if (end.has_fixed_type()) return true;
  if (end.kind() != Expression::Kind::Variable && end.kind() != Expression::Kind::PredicateAddressing)
    return false;
  const Type& type = end.type();
  return !type.is_list() && !type.is_record();
}

// Equal in every detail inference reads: the text (by digest and by bytes),
// the call number, and the type, scalar here, with its source column.
bool same_end(const Expression& a, const Expression& b) {
  return a.kind() == b.kind() && text_digest(a) == text_digest(b) && a.name() == b.name() &&
         a.column() == b.column() && a.call_number() == b.call_number() &&
         a.type().kind() == b.type().kind() && a.type().origin() == b.type().origin();
}

}  // namespace

uint32_t TypesGraph::end_number(Expression end) {
  const auto fresh = static_cast<uint32_t>(ends_.size());
  if (!shareable(end)) {
    ends_.push_back(std::move(end));
    return fresh;
  }
  const Digest128 digest = text_digest(end);
  const uint64_t hash = digest.high ^ (digest.low * 0x9e3779b97f4a7c15ULL) ^ end.call_number();
  auto [id, stored] =
      end_index_.find_or_insert(hash, fresh, [&](uint32_t id) { return same_end(ends_[id], end); });
  if (stored) ends_.push_back(std::move(end));
  return id;
}

bool TypesGraph::connect(Edge edge) {
  const EdgeKey key = edge_key(edge);
  const auto fresh = static_cast<uint32_t>(edges_.size());
  if (!key_index_
           .find_or_insert(EdgeKeyHash()(key), fresh,
                           [&](uint32_t id) {
                             const GraphEdge& e = edges_[id];
                             Digest128 a = text_digest(ends_[e.left]);
                             Digest128 b = text_digest(ends_[e.right]);
                             if (b < a) std::swap(a, b);
                             return EdgeKey{a, b, e.start, e.stop, e.kind()} == key;
                           })
           .second) {
    return false;
  }
  GraphEdge stored;
  stored.start = edge.start;
  stored.stop = edge.stop;
  stored.set_kind(edge.kind);
  stored.left = end_number(std::move(edge.left));
  stored.right = end_number(std::move(edge.right));
  edges_.push_back(stored);
  return true;
}

void TypesGraph::merge(TypesGraph other) {
  for (Edge& edge : other.edges()) connect(std::move(edge));
}

void TypesGraph::seal() {
  key_index_ = FlatIndex(FlatIndex::kEmpty);
  end_index_ = FlatIndex(FlatIndex::kEmpty);
  edges_.shrink_to_fit();
  ends_.shrink_to_fit();
}

bool TypesGraph::has_column(std::string_view predicate, std::string_view column) const {
  // Asked once per graph, so a walk costs less than an index kept up per edge.
  for (const Expression& end : ends_) {
    if (end.is_predicate_addressing() && end.name() == predicate && end.column() == column) return true;
  }
  return false;
}

std::vector<Edge> TypesGraph::edges() const {
  std::vector<Edge> out;
  out.reserve(edges_.size());
  for (const GraphEdge& e : edges_)
    out.push_back(Edge{e.kind(), e.start, e.stop, ends_[e.left], ends_[e.right]});
  return out;
}

}  // namespace mirtova
