// TypesGraph: the edges of one predicate's rules, free of duplicates, with the columns they name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/type_inference/edge.h"
#include "compiler/type_inference/flat_index.h"
#include "compiler/type_inference/text_pool.h"

namespace mirtova {

// An accepted edge: its ends are numbers in the graph's list of ends. A
// program's graphs hold a few edges per rule of every copy recursion unfolding
// makes, so an edge is a fraction of the two ends it joins: the kind shares a
// word with the right end's number, as no graph comes near 2^30 ends (that
// many would take a hundred gigabytes). Its position numbers are read through
// TypesGraph::bounds: those of a text past 2^31 bytes are kept aside.
struct GraphEdge {
  int32_t start = 0;  // when far, the number in the graph's far positions
  int32_t stop = 0;
  uint32_t left : 31 = 0;
  uint32_t far : 1 = 0;
  uint32_t right : 30 = 0;
  uint32_t kind_bits : 2 = 0;

  EdgeKind kind() const { return static_cast<EdgeKind>(kind_bits); }
  void set_kind(EdgeKind kind) { kind_bits = static_cast<uint32_t>(kind) & 3u; }
};
static_assert(sizeof(GraphEdge) == 16);

// An edge's position numbers: where a conflict along it is reported.
struct EdgeBounds {
  int64_t start = 0;
  int64_t stop = 0;
};

class TypesGraph;

// One end of a graph's edges, read in place; valid while its graph is neither
// changed nor gone. It answers what an Expression would.
class GraphEnd {
 public:
  Expression::Kind kind() const;
  bool is_predicate_addressing() const { return kind() == Expression::Kind::PredicateAddressing; }
  bool is_subscript_addressing() const { return kind() == Expression::Kind::SubscriptAddressing; }
  bool has_fixed_type() const { return Expression::has_fixed_type(kind()); }
  std::string_view name() const;
  std::string_view column() const;
  uint64_t call_number() const;
  const Type& type() const;
  // The end as it was built, for the ends kept whole (subscripts, list and
  // record literals, ends of a type not of one scalar kind); null for the rest.
  const Expression* whole() const;
  // The end as an Expression equal to the one it was built from.
  Expression to_expression() const;
  // Its number in the graph's list of ends: ends of one number are one end.
  uint32_t number() const { return number_; }
  // For a predicate column or a literal not kept whole, the numbers of its
  // name and column in the graph's pool: ends of one pool name one text by
  // one number.
  uint32_t name_id() const;
  uint32_t column_id() const;

 private:
  friend class TypesGraph;
  GraphEnd(const TypesGraph& graph, uint32_t number) : graph_(&graph), number_(number) {}

  const TypesGraph* graph_;
  uint32_t number_;
};

class TypesGraph {
 public:
  TypesGraph() = default;
  // A graph whose names are held in `pool`, which the graphs of one program
  // share; a graph made without one takes a pool of its own.
  explicit TypesGraph(std::shared_ptr<TextPool> pool) : pool_(std::move(pool)) {}

  // Appends the edge unless an edge with the same key was accepted before;
  // answers whether it was accepted.
  bool connect(Edge edge);
  // The same for ends the caller keeps using: they are read in place, and
  // copied only when kept whole (a builder joins one call's value to each of
  // its columns, and a copy per edge would cost more than the edge).
  bool connect(EdgeKind kind, int64_t start, int64_t stop, const Expression& left, const Expression& right);
  bool connect(EdgeKind kind, int64_t start, int64_t stop, const Expression& left, Expression&& right);
  // Connects each edge of `other` in its order.
  void merge(TypesGraph other);
  // Ends the building: no edge is connected after, so the indexes that kept
  // duplicates out, and the ends' digests they compared, are let go and the
  // lists take only the room they fill (a program has a graph per predicate,
  // most of them of a few edges).
  void seal();
  // Whether an accepted edge has a PredicateAddressing end of (predicate, column).
  bool has_column(std::string_view predicate, std::string_view column) const;
  // Whether its predicate's rules aggregate into their value column: a table
  // of the rows of its groups, whose calls all read the one table.
  bool aggregates() const { return aggregates_; }
  void set_aggregates() { aggregates_ = true; }

  size_t size() const { return edges_.size(); }
  size_t end_count() const { return ends_.size(); }
  const GraphEdge& edge(size_t at) const { return edges_[at]; }
  EdgeBounds bounds(size_t at) const {
    const GraphEdge& e = edges_[at];
    return e.far ? rare_->far[static_cast<uint32_t>(e.start)] : EdgeBounds{e.start, e.stop};
  }
  GraphEnd left(size_t at) const { return GraphEnd(*this, edges_[at].left); }
  GraphEnd right(size_t at) const { return GraphEnd(*this, edges_[at].right); }
  // The type of an end kept whole, for inference, which changes the types
  // that ends without a node carry (list and record literals, subscripts of
  // them, each an end of its own per edge); their text, and so the keys, must
  // stay as they are. An end of a scalar literal has a fixed type and no
  // other end lacks a node: none of the rest is asked for.
  Type& whole_type_mut(uint32_t end) { return rare_->wholes[ends_[end].at].type_mut(); }
  // The accepted edges as values, in order.
  std::vector<Edge> edges() const;

  // The pool its names are numbered in; null while it has no end.
  const std::shared_ptr<TextPool>& pool() const { return pool_; }
  // Numbers its names in `pool` instead, for a reader that compares the
  // numbers of several graphs.
  void move_to(const std::shared_ptr<TextPool>& pool);

 private:
  friend class GraphEnd;

  // Most ends are variables, predicate columns and scalar literals of a type
  // of one scalar kind: they are kept as their texts, their call number and
  // their type's kind, a sixth of the room of an Expression. Every other end
  // is kept whole in Rare::wholes. A predicate's name stands in the graphs of
  // all its callers, and is numbered in the pool; a variable's stands in its
  // rule's graph alone, and is kept in texts_, which goes with the graph.
  struct StoredEnd {
    // The name's number in the pool, its offset in texts_ for a variable, or
    // the number in Rare::wholes.
    uint32_t at = 0;
    uint32_t column = 0;  // the column's number in the pool; a variable's name's size
    uint32_t call_number = 0;
    Expression::Kind kind = Expression::Kind::Variable;
    Type::Kind type = Type::Kind::Any;
    bool whole = false;
  };
  static_assert(sizeof(StoredEnd) == 16);

  // The number of an end equal to `end` in every detail, stored now if new.
  // Only the ends kept as text are shared: a variable's or a predicate
  // column's end is one node of inference, which never changes their own
  // type, and a scalar literal's type never changes at all. Any other end
  // keeps a type of its own per edge.
  template <class End>
  uint32_t end_number(End&& end, const Digest128& digest);
  template <class Left, class Right>
  bool connect_ends(EdgeKind kind, int64_t start, int64_t stop, Left&& left, Right&& right);

  std::vector<GraphEdge> edges_;  // in the order accepted
  std::vector<StoredEnd> ends_;
  std::shared_ptr<TextPool> pool_;
  bool aggregates_ = false;
  std::string texts_;  // the variables' names
  // What most graphs have none of, out of line: a program has a graph per
  // predicate, most of them of plain ends and positions.
  struct Rare {
    std::vector<Expression> wholes;
    std::vector<EdgeBounds> far;
  };
  Rare& rare() {
    if (!rare_) rare_ = std::make_unique<Rare>();
    return *rare_;
  }
  std::unique_ptr<Rare> rare_;
  // What only the building reads, out of line: a program has a graph per
  // predicate, and a sealed graph holds none of it.
  struct Building {
    // Per end: what the indexes compare.
    std::vector<Digest128> digests;
    // Over the edges' keys, made again from the ends' digests.
    FlatIndex key_index{FlatIndex::kEmpty};
    // Over the shared ends, by their digests.
    FlatIndex end_index{FlatIndex::kEmpty};
  };
  std::unique_ptr<Building> building_;
};

inline Expression::Kind GraphEnd::kind() const {
  const TypesGraph::StoredEnd& end = graph_->ends_[number_];
  return end.whole ? graph_->rare_->wholes[end.at].kind() : end.kind;
}

inline std::string_view GraphEnd::name() const {
  const TypesGraph::StoredEnd& end = graph_->ends_[number_];
  if (end.whole) return graph_->rare_->wholes[end.at].name();
  if (end.kind == Expression::Kind::Variable)
    return std::string_view(graph_->texts_).substr(end.at, end.column);
  return graph_->pool_->text(end.at);
}

inline std::string_view GraphEnd::column() const {
  const TypesGraph::StoredEnd& end = graph_->ends_[number_];
  if (end.whole) return graph_->rare_->wholes[end.at].column();
  if (end.kind == Expression::Kind::Variable) return {};
  return graph_->pool_->text(end.column);
}

inline uint32_t GraphEnd::name_id() const { return graph_->ends_[number_].at; }

inline uint32_t GraphEnd::column_id() const { return graph_->ends_[number_].column; }

inline uint64_t GraphEnd::call_number() const {
  const TypesGraph::StoredEnd& end = graph_->ends_[number_];
  return end.whole ? graph_->rare_->wholes[end.at].call_number() : end.call_number;
}

inline const Type& GraphEnd::type() const {
  const TypesGraph::StoredEnd& end = graph_->ends_[number_];
  return end.whole ? graph_->rare_->wholes[end.at].type() : Type::scalar(end.type);
}

inline const Expression* GraphEnd::whole() const {
  const TypesGraph::StoredEnd& end = graph_->ends_[number_];
  return end.whole ? &graph_->rare_->wholes[end.at] : nullptr;
}

}  // namespace mirtova
