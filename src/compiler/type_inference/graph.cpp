#include "compiler/type_inference/graph.h"

#include <limits>
#include <utility>

#include "common/internal_fault.h"

namespace mirtova {

namespace {

constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();

// Whether the end can be kept as its text: a variable, a predicate column or a
// scalar literal whose type is all in its kind, with a call number that fits.
bool kept_as_text(const Expression& end, size_t texts_size) {
  if (Expression::has_fixed_type(end.kind())) return true;
  if (end.kind() != Expression::Kind::Variable && end.kind() != Expression::Kind::PredicateAddressing)
    return false;
  const Type& type = end.type();
  return !type.is_list() && !type.is_record() && type.origin() == nullptr && end.call_number() <= kMax32 &&
         texts_size + end.name().size() <= kMax32;
}

}  // namespace

Expression GraphEnd::to_expression() const {
  if (const Expression* kept = whole()) return *kept;
  switch (kind()) {
    case Expression::Kind::StringLiteral:
      return Expression::string_literal();
    case Expression::Kind::NumberLiteral:
      return Expression::number_literal();
    case Expression::Kind::BooleanLiteral:
      return Expression::boolean_literal();
    case Expression::Kind::NullLiteral:
      return Expression::null_literal();
    case Expression::Kind::PredicateAddressing: {
      Expression end = Expression::predicate_addressing(name(), column(), call_number());
      end.set_type(type());
      return end;
    }
    default:
      return Expression::variable(std::string(name()), type());
  }
}

template <class End>
uint32_t TypesGraph::end_number(End&& end, const Digest128& digest) {
  const auto fresh = static_cast<uint32_t>(ends_.size());
  if (!kept_as_text(end, texts_.size())) {
    StoredEnd stored;
    std::vector<Expression>& wholes = rare().wholes;
    stored.at = static_cast<uint32_t>(wholes.size());
    stored.whole = true;
    wholes.push_back(std::forward<End>(end));
    ends_.push_back(stored);
    building_->digests.push_back(digest);
    return fresh;
  }
  const std::string_view name = end.name(), column = end.column();
  const uint64_t hash = digest.high ^ (digest.low * 0x9e3779b97f4a7c15ULL) ^ end.call_number();
  // Equal in every detail inference reads: the text (by digest and by bytes),
  // the call number, and the type's kind.
  auto [id, stored] = building_->end_index.find_or_insert(hash, fresh, [&](uint32_t id) {
    const StoredEnd& other = ends_[id];
    return !other.whole && other.kind == end.kind() && building_->digests[id] == digest &&
           other.call_number == end.call_number() && other.type == end.type().kind() &&
           GraphEnd(*this, id).name() == name && GraphEnd(*this, id).column() == column;
  });
  if (!stored) return id;
  StoredEnd kept;
  if (end.kind() == Expression::Kind::Variable) {
    kept.at = static_cast<uint32_t>(texts_.size());
    kept.column = static_cast<uint32_t>(name.size());
    texts_.append(name);
  } else {
    // Number 0 is the empty text: a literal's name and column.
    kept.at = name.empty() ? 0 : pool_->intern(name);
    kept.column = column.empty() ? 0 : pool_->intern(column);
  }
  kept.call_number = static_cast<uint32_t>(end.call_number());
  kept.kind = end.kind();
  kept.type = end.type().kind();
  ends_.push_back(kept);
  building_->digests.push_back(digest);
  return id;
}

template <class Left, class Right>
bool TypesGraph::connect_ends(EdgeKind kind, int64_t start, int64_t stop, Left&& left, Right&& right) {
  if (!building_) {
    // Sealing let go of what keeps duplicates out.
    if (!edges_.empty()) throw InternalFault("an edge connected to a sealed types graph");
    building_ = std::make_unique<Building>();
    if (!pool_) pool_ = std::make_shared<TextPool>();
  }
  const EdgeKey key = edge_key(kind, start, stop, left, right);
  const auto fresh = static_cast<uint32_t>(edges_.size());
  if (!building_->key_index
           .find_or_insert(EdgeKeyHash()(key), fresh,
                           [&](uint32_t id) {
                             const GraphEdge& e = edges_[id];
                             Digest128 a = building_->digests[e.left];
                             Digest128 b = building_->digests[e.right];
                             if (b < a) std::swap(a, b);
                             const EdgeBounds at = bounds(id);
                             return EdgeKey{a, b, at.start, at.stop, e.kind()} == key;
                           })
           .second) {
    return false;
  }
  GraphEdge stored;
  if (start == static_cast<int32_t>(start) && stop == static_cast<int32_t>(stop)) {
    stored.start = static_cast<int32_t>(start);
    stored.stop = static_cast<int32_t>(stop);
  } else {
    stored.far = 1;
    std::vector<EdgeBounds>& far = rare().far;
    stored.start = static_cast<int32_t>(far.size());
    far.push_back(EdgeBounds{start, stop});
  }
  stored.set_kind(kind);
  const Digest128 left_digest = text_digest(left), right_digest = text_digest(right);
  stored.left = end_number(std::forward<Left>(left), left_digest);
  stored.right = end_number(std::forward<Right>(right), right_digest);
  edges_.push_back(stored);
  return true;
}

bool TypesGraph::connect(Edge edge) {
  return connect_ends(edge.kind, edge.start, edge.stop, std::move(edge.left), std::move(edge.right));
}

bool TypesGraph::connect(EdgeKind kind, int64_t start, int64_t stop, const Expression& left,
                         const Expression& right) {
  return connect_ends(kind, start, stop, left, right);
}

bool TypesGraph::connect(EdgeKind kind, int64_t start, int64_t stop, const Expression& left,
                         Expression&& right) {
  return connect_ends(kind, start, stop, left, std::move(right));
}

void TypesGraph::merge(TypesGraph other) {
  aggregates_ = aggregates_ || other.aggregates_;
  for (Edge& edge : other.edges()) connect(std::move(edge));
}

void TypesGraph::seal() {
  building_.reset();
  edges_.shrink_to_fit();
  ends_.shrink_to_fit();
  texts_.shrink_to_fit();
  if (rare_) {
    rare_->wholes.shrink_to_fit();
    rare_->far.shrink_to_fit();
  }
}

void TypesGraph::move_to(const std::shared_ptr<TextPool>& pool) {
  if (pool_ == pool) return;
  for (StoredEnd& end : ends_) {
    if (end.whole || end.kind == Expression::Kind::Variable) continue;
    end.at = pool->intern(pool_->text(end.at));
    end.column = pool->intern(pool_->text(end.column));
  }
  pool_ = pool;
}

bool TypesGraph::has_column(std::string_view predicate, std::string_view column) const {
  // Asked once per graph, so a walk costs less than an index kept up per edge.
  for (uint32_t number = 0; number < ends_.size(); ++number) {
    const GraphEnd end(*this, number);
    if (end.is_predicate_addressing() && end.name() == predicate && end.column() == column) return true;
  }
  return false;
}

std::vector<Edge> TypesGraph::edges() const {
  std::vector<Edge> out;
  out.reserve(edges_.size());
  for (size_t at = 0; at < edges_.size(); ++at) {
    const GraphEdge& e = edges_[at];
    const EdgeBounds b = bounds(at);
    out.push_back(Edge{e.kind(), b.start, b.stop, left(at).to_expression(), right(at).to_expression()});
  }
  return out;
}

}  // namespace mirtova
