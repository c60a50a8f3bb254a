#include "compiler/type_inference/inference.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <queue>
#include <string_view>
#include <type_traits>

#include "common/bounds.h"
#include "compiler/type_inference/flat_index.h"

namespace mirtova {

namespace {

constexpr size_t kMaxPasses = 1000;

// What make_nodes knows of an end before and after its lookup.
constexpr uint32_t kUnknown = ~uint32_t{0};
constexpr uint32_t kNoKey = kUnknown - 1;

// A type that holds itself (x in x, r in r.a, r.a = r) grows at every change:
// deeper, and for r.a = r, r.b = r twice as large. Past these bounds
// propagation stops the way it stops after its last pass, keeping the types
// reached, instead of spending its 1000 passes on ever larger types or
// exhausting memory. No other type comes near them: the parser nests at most
// kMaxParseDepth levels.
constexpr size_t kMaxTypeNodes = 10000;
constexpr size_t kMaxTypeDepth = kMaxParseDepth + 50;
// Type nodes that all the updates of one inference may write, summed: a chain
// of a few hundred field accesses settles one level per pass, each pass
// copying the whole chain's type. The largest test programs write a quarter of
// this; past it propagation stops as after its last pass.
constexpr size_t kMaxTypeWork = 1000000;

// The nodes of a list or record type (0 for any other), or nothing when it has
// more nodes or levels than the bounds allow.
std::optional<size_t> nodes_within_bounds(const Type& type) {
  if (!type.is_list() && !type.is_record()) return size_t{0};
  size_t count = 0;
  std::vector<std::pair<const Type*, size_t>> pending = {{&type, 1}};
  while (!pending.empty()) {
    auto [t, depth] = pending.back();
    pending.pop_back();
    if (++count > kMaxTypeNodes || depth > kMaxTypeDepth) return std::nullopt;
    if (t->is_list()) pending.emplace_back(&t->element(), depth + 1);
    if (t->is_record()) {
      for (const auto& field : t->fields()) pending.emplace_back(&field.second, depth + 1);
    }
  }
  return count;
}

// What a pass does with an edge.
enum class Step : uint8_t { Nothing, Meet, ListElement, RecordField };

// What a pass does with an edge of this kind.
Step step_of(EdgeKind kind) {
  switch (kind) {
    case EdgeKind::Equality:
      return Step::Meet;
    case EdgeKind::Inclusion:
      return Step::ListElement;
    case EdgeKind::Argument:
      return Step::Nothing;
    case EdgeKind::FieldAccess:
      return Step::RecordField;
  }
  return Step::Nothing;
}

uint64_t mix(uint64_t x) {
  x ^= x >> 31;
  x *= 0x7fb5d329728ea185ULL;
  return x ^ (x >> 27);
}

// A set of names that outlive it; only looked up, never walked.
class NameViews {
 public:
  void insert(std::string_view name) {
    const auto fresh = static_cast<uint32_t>(names_.size());
    if (index_.find_or_insert(hash(name), fresh, [&](uint32_t id) { return names_[id] == name; }).second) {
      names_.push_back(name);
    }
  }
  bool contains(std::string_view name) const {
    return index_.find(hash(name), [&](uint32_t id) { return names_[id] == name; }).second;
  }

 private:
  static uint64_t hash(std::string_view name) { return std::hash<std::string_view>()(name); }

  std::vector<std::string_view> names_;
  FlatIndex index_;
};

// Makes `list[at]` exist, new entries `fill`; grows by a block at a time, as
// the numbers come nearly in order.
void grow_to_hold(std::deque<uint32_t>& list, size_t at, uint32_t fill) {
  if (at >= list.size()) list.resize(std::max(at + 1, list.size() + 1024), fill);
}

// Names (variables', and subscripts' fields) numbered in order of first
// appearance. They are read in place, in the ends that outlive the numbering:
// a copy of each would be as large as the graphs' own texts, at the moment
// inference holds the most.
class NameNumbers {
 public:
  uint32_t of(std::string_view name) {
    const auto fresh = static_cast<uint32_t>(names_.size());
    const auto [id, stored] = index_.find_or_insert(std::hash<std::string_view>()(name), fresh,
                                                    [&](uint32_t id) { return names_[id] == name; });
    if (stored) names_.push_back(name);
    return id;
  }

 private:
  // In blocks: a list the size of the program grown by doubling would, as
  // it moves, stand twice over at the moment inference holds the most.
  std::deque<std::string_view> names_;
  FlatIndex index_;  // over names_
};

// Whether a + "." + b and c + "." + d are one text.
bool same_joined(std::string_view a, std::string_view b, std::string_view c, std::string_view d) {
  if (a.size() + b.size() != c.size() + d.size()) return false;
  auto at = [](std::string_view x, std::string_view y, size_t i) {
    return i < x.size() ? x[i] : i == x.size() ? '.' : y[i - x.size() - 1];
  };
  for (size_t i = 0; i <= a.size() + b.size(); ++i)
    if (at(a, b, i) != at(c, d, i)) return false;
  return true;
}

// Node keys of edge ends, each interned to a number. A variable's key is its
// name, a predicate column's its predicate and column joined by "." and,
// unless the predicate is a relation, its call number. A subscript's key is
// its record's key and its field name: a key determines the printed text of
// its end, so the pair tells subscripts apart exactly as that text would, and
// long subscript chains cost no more than short ones. Texts are numbered
// first (predicates and columns in the graphs' pool, names and joined texts
// here), so keys compare as numbers.
//
// Predicate columns are numbered too, by (joined text, length of the
// predicate name), which is the pair (predicate, column) exactly; a column's
// number carries whether its predicate is a relation, looked up once.
class NodeKeys {
 public:
  // The indexes grow as the keys come rather than being sized for every end:
  // the texts are a third to a half of the ends, the keys most of them, and
  // an index sized for every end would be twice the room it needs.
  NodeKeys(const NameViews& relations, TextPool& pool) : relations_(relations), pool_(pool) {}

  // None for literals, which have no node and keep their own type. A
  // relation's columns are one key across all its calls and heads; any other
  // predicate (functional, built-in, without rules) has a key per call. For a
  // predicate column, `column` is set to its column's number.
  std::optional<size_t> of(const GraphEnd& end, uint32_t* column) {
    if (const Expression* whole = end.whole()) return of_whole(*whole, column);
    switch (end.kind()) {
      case Expression::Kind::Variable:
        return variable_key(names_.of(end.name()));
      case Expression::Kind::PredicateAddressing:
        return column_key(end.name_id(), end.column_id(), end, column);
      default:
        return std::nullopt;
    }
  }

  size_t column_count() const { return columns_.size(); }

 private:
  static uint64_t hash(std::string_view text) { return std::hash<std::string_view>()(text); }
  // The hash of `a` + "." + `b`, which (name, column) pairs split
  // differently may print alike.
  static uint64_t hash_joined(std::string_view a, std::string_view b) {
    return hash(std::string(a) + "." + std::string(b));
  }

  // An end kept whole: its texts are numbered in the pool as the others are.
  std::optional<size_t> of_whole(const Expression& end, uint32_t* column) {
    switch (end.kind()) {
      case Expression::Kind::Variable:
        return variable_key(names_.of(end.name()));
      case Expression::Kind::PredicateAddressing:
        return column_key(pool_.intern(end.name()), pool_.intern(end.column()), end, column);
      case Expression::Kind::SubscriptAddressing: {
        std::optional<size_t> record = of_whole(end.children().front(), nullptr);
        if (!record) return std::nullopt;
        return intern(names_.of(end.column()) << 1 | 1u, *record);
      }
      default:
        return std::nullopt;
    }
  }

  // A variable's key is a function of its name alone.
  size_t variable_key(uint32_t name) {
    return remembered(variable_keys_, name, [&] { return unindexed(); });
  }

  template <class End>
  size_t column_key(uint32_t name, uint32_t column_name, const End& end, uint32_t* column) {
    const uint32_t text = joined_of(name, column_name);
    const uint32_t number = column_of(text, end.name());
    if (column != nullptr) *column = number;
    if (columns_[number].relation) {
      // A relation column's key is a function of its text alone: it is
      // kept with the first column of that text.
      uint32_t& key = columns_[by_joined_[text] - 1].relation_key;
      if (key == 0) key = static_cast<uint32_t>(unindexed()) + 1;
      return key - 1;
    }
    return intern(text << 1, end.call_number());
  }

  // The number of name + "." + column. A pair with no "." in either part is
  // the only one of its joined text; the rest are compared by that text.
  uint32_t joined_of(uint32_t name, uint32_t column) {
    const auto fresh = static_cast<uint32_t>(pairs_.size());
    const auto [id, stored] = pair_index_.find_or_insert(
        mix(uint64_t{name} << 32 | column), fresh,
        [&](uint32_t id) { return pairs_[id].name == name && pairs_[id].column == column; });
    if (!stored) return pairs_[id].joined;
    const std::string_view a = pool_.text(name), b = pool_.text(column);
    uint32_t joined = joined_count_;
    if (a.find('.') != std::string_view::npos || b.find('.') != std::string_view::npos) {
      const auto [same, first] = dotted_index_.find_or_insert(
          hash_joined(a, b), static_cast<uint32_t>(dotted_.size()), [&](uint32_t d) {
            const Pair& other = pairs_[dotted_[d]];
            return same_joined(pool_.text(other.name), pool_.text(other.column), a, b);
          });
      if (first)
        dotted_.push_back(fresh);
      else
        joined = pairs_[dotted_[same]].joined;
    }
    if (joined == joined_count_) ++joined_count_;
    pairs_.push_back(Pair{name, column, joined});
    return joined;
  }

  // Only the keys of call columns and subscripts are kept, to be found
  // again; the joined texts of the one are told from the field names of the
  // other by the text's low bit.
  struct Key {
    uint32_t text;
    uint32_t number;
    uint64_t extra;  // the call number; the record's key for subscripts
  };
  struct Column {
    uint32_t text;
    uint32_t name_size : 31;
    uint32_t relation : 1;
    uint32_t relation_key;  // 1 + the key of the text's relation columns; 0 while unknown
  };
  static_assert(sizeof(Column) == 12);
  struct Pair {
    uint32_t name;
    uint32_t column;
    uint32_t joined;
  };

  size_t intern(uint32_t text, uint64_t extra) {
    const auto fresh = static_cast<uint32_t>(keys_.size());
    const uint64_t hash = mix(uint64_t{text} ^ mix(extra));
    auto [id, stored] = index_.find_or_insert(
        hash, fresh, [&](uint32_t id) { return keys_[id].text == text && keys_[id].extra == extra; });
    if (!stored) return keys_[id].number;
    keys_.push_back(Key{text, static_cast<uint32_t>(key_count_), extra});
    return key_count_++;
  }

  // A key only ever made once, as remembered() makes it: numbered without
  // taking room in the index.
  size_t unindexed() { return key_count_++; }

  // The key `make` gives for `number`, made once and then remembered by number:
  // an array read instead of a probe of the key index.
  template <class Make>
  static size_t remembered(std::deque<uint32_t>& keys, uint32_t number, Make&& make) {
    grow_to_hold(keys, number, 0);
    if (keys[number] == 0) keys[number] = static_cast<uint32_t>(make()) + 1;
    return keys[number] - 1;
  }

  uint32_t column_of(uint32_t text, std::string_view predicate) {
    const auto name_size = static_cast<uint32_t>(predicate.size());
    grow_to_hold(by_joined_, text, 0);
    const auto fresh = static_cast<uint32_t>(columns_.size());
    // Almost every joined text names one column, the first: only the others,
    // split elsewhere, are in the index.
    if (by_joined_[text] == 0) {
      by_joined_[text] = fresh + 1;
    } else {
      const uint32_t first = by_joined_[text] - 1;
      if (columns_[first].name_size == name_size) return first;
      auto [id, stored] = column_index_.find_or_insert(
          mix(uint64_t{text} << 32 | name_size), fresh,
          [&](uint32_t id) { return columns_[id].text == text && columns_[id].name_size == name_size; });
      if (!stored) return id;
    }
    columns_.push_back(Column{text, name_size, relations_.contains(predicate) ? 1u : 0u, 0});
    return fresh;
  }

  const NameViews& relations_;
  TextPool& pool_;
  size_t key_count_ = 0;
  std::deque<Key> keys_;
  FlatIndex index_;  // over keys_
  // In blocks, as a program has about as many columns as rules.
  std::deque<Column> columns_;
  FlatIndex column_index_{FlatIndex::kEmpty};  // over the columns not first of their text
  // The (name, column) pairs met, and those of them with a "." in a part.
  std::deque<Pair> pairs_;
  FlatIndex pair_index_;                       // over pairs_
  std::vector<uint32_t> dotted_;               // into pairs_
  FlatIndex dotted_index_{FlatIndex::kEmpty};  // over dotted_, by joined text
  uint32_t joined_count_ = 0;
  NameNumbers names_;
  // By name number, a variable's key; by joined text, the first column of
  // that text. Each entry is 1 + the number, 0 while unknown.
  std::deque<uint32_t> variable_keys_;
  std::deque<uint32_t> by_joined_;
};

// Whether two types are the same in every detail, open flags and every field
// included (Type::eq is looser on open records).
bool identical(const Type& a, const Type& b) {
  if (!a.is_list() && !a.is_record()) return a.kind() == b.kind();
  std::vector<std::pair<const Type*, const Type*>> pending = {{&a, &b}};
  while (!pending.empty()) {
    auto [x, y] = pending.back();
    pending.pop_back();
    if (x->kind() != y->kind() || x->is_open() != y->is_open()) return false;
    if (x->is_list()) pending.emplace_back(&x->element(), &y->element());
    if (x->is_record()) {
      const Type::Fields& fx = x->fields();
      const Type::Fields& fy = y->fields();
      if (fx.size() != fy.size()) return false;
      for (auto ix = fx.begin(), iy = fy.begin(); ix != fx.end(); ++ix, ++iy) {
        if (ix->first != iy->first) return false;
        pending.emplace_back(&ix->second, &iy->second);
      }
    }
  }
  return true;
}

int specificity(const Type& t) {
  if (t.is_any()) return 0;
  if (t.is_atomic()) return 1;
  return 2;
}

}  // namespace

TypeInference::TypeInference(TypesGraphs graphs, HostTables host_tables)
    : graphs_(std::move(graphs)), host_tables_(std::move(host_tables)) {
  size_t count = 0;
  for (const auto& entry : graphs_) count += entry.second.size();
  edge_graphs_.reserve(count);
  graph_list_.reserve(graphs_.size());
  graph_firsts_.reserve(graphs_.size());
  // The node keys compare names by their numbers: the graphs of one builder
  // share a pool already, and any other is numbered anew in the first one's.
  for (auto& entry : graphs_) {
    if (!entry.second.pool()) continue;
    if (!pool_)
      pool_ = entry.second.pool();
    else
      entry.second.move_to(pool_);
  }
  if (!pool_) pool_ = std::make_shared<TextPool>();
  for (auto& entry : graphs_) {
    const auto graph = static_cast<uint32_t>(graph_list_.size());
    graph_list_.push_back(&entry);
    graph_firsts_.push_back(static_cast<uint32_t>(edge_graphs_.size()));
    edge_graphs_.insert(edge_graphs_.end(), entry.second.size(), graph);
  }
}

const Type* TypeInference::node_type(size_t edge, Side side) const {
  const NodeRef node = side ? right_nodes_[edge] : left_nodes_[edge];
  return node ? &nodes_[*node] : nullptr;
}

const Type& TypeInference::end_type(size_t edge, Side side) const {
  if (const Type* t = node_type(edge, side)) return *t;
  return end(edge, side).type();
}

bool TypeInference::update_end(size_t edge, Side side, Type type) {
  const std::optional<size_t> nodes = nodes_within_bounds(type);
  // Each update copies and compares its type: a long chain of fields settles
  // one level per pass, at a cost that grows with the cube of its length.
  work_ += 1 + nodes.value_or(0);
  if (!nodes || work_ > kMaxTypeWork) {
    runaway_ = true;
    return false;
  }
  const NodeRef node = side ? right_nodes_[edge] : left_nodes_[edge];
  if (!node && end(edge, side).has_fixed_type()) return false;
  const Type& stored = node ? nodes_[*node] : whole_type_mut(edge, side);
  // A source reaching a value is a change too: the passes go on until it has
  // reached every value it belongs to.
  const bool changed = !stored.eq(type) || (!host_tables_.empty() && !same_origins(stored, type));
  // eq overlooks a field that an open record gains; the edges reading this
  // node must still see the new type, so any difference counts for them.
  if (changed || !identical(stored, type)) {
    touched_ = true;
    if (node) node_changed_[side] = true;
  }
  if (node)
    nodes_.set(*node, std::move(type));
  else
    whole_type_mut(edge, side) = std::move(type);
  return changed;
}

// One run of infer(), in its steps: the nodes of the edge ends, the edges at
// each node, then the passes.
class TypeInference::Propagation {
 public:
  explicit Propagation(TypeInference& inference) : in_(inference) {}

  // Every edge end is a node by its key (ends of one key share one node, its
  // type the meet of theirs), except the ends of a key no node stands for.
  Result<Unit, TypeInferenceError> make_nodes() {
    NameViews relations;
    for (const auto& [predicate, graph] : in_.graphs_) {
      if (!predicate.empty() && predicate.front() == '@') continue;
      // A predicate of a value column is a function, each call with types of
      // its own, unless its rules aggregate into that column.
      if (graph.aggregates() || !graph.has_column(predicate, "quoril_value")) relations.insert(predicate);
    }

    const size_t edge_count = in_.edge_graphs_.size();
    in_.nodes_.clear();
    in_.left_nodes_.assign(edge_count, std::nullopt);
    in_.right_nodes_.assign(edge_count, std::nullopt);
    in_.odd_column_ends_.clear();
    // The keys of all ends first, held where the node numbers go: the nodes
    // then take the room they need at once, after the keys' index is let go,
    // instead of growing by doubling beside it.
    size_t key_count = 0;
    size_t column_count = 0;
    // Per key, the column of its first PredicateAddressing end.
    std::deque<uint32_t> key_columns;
    {
      NodeKeys keys(relations, *in_.pool_);
      // Per end of the graph being read, its key once known: a graph shares
      // an end between its edges, and its key is looked up once.
      struct Known {
        uint32_t key = kUnknown;
        uint32_t column = kNoColumn;
      };
      std::vector<Known> known;
      uint32_t graph = ~uint32_t{0};
      for (size_t i = 0; i < edge_count; ++i) {
        if (in_.edge_graphs_[i] != graph) {
          graph = in_.edge_graphs_[i];
          known.assign(in_.graph_list_[graph]->second.end_count(), Known{});
        }
        for (Side side : {false, true}) {
          const GraphEnd end = in_.end(i, side);
          Known& k = known[end.number()];
          if (k.key == kUnknown) {
            uint32_t column = 0;
            const std::optional<size_t> key = keys.of(end, &column);
            k.key = key ? static_cast<uint32_t>(*key) : kNoKey;
            if (key && end.is_predicate_addressing()) k.column = column;
          }
          if (k.key == kNoKey) continue;
          if (k.column != kNoColumn) {
            grow_to_hold(key_columns, k.key, kNoColumn);
            uint32_t& first = key_columns[k.key];
            if (first == kNoColumn)
              first = k.column;
            else if (first != k.column)
              in_.odd_column_ends_.push_back(ColumnEnd{static_cast<uint32_t>(i), k.column, side});
          }
          (side ? in_.right_nodes_ : in_.left_nodes_)[i] = k.key;
          key_count = std::max<size_t>(key_count, k.key + 1);
        }
      }
      column_count = keys.column_count();
    }
    // Nothing is numbered in the pool after the keys: what finds a name's
    // number is let go before the nodes take their room.
    in_.pool_->release_index();
    // Made after the keys' index is let go, not beside it.
    steps_.reserve(edge_count);
    for (size_t i = 0; i < edge_count; ++i) steps_.push_back(step_of(in_.edge(i).kind()));
    // Key number -> node number + 1 (0: no node yet). Subscripts intern their
    // records' keys too, so not every key has a node.
    std::vector<uint32_t> node_numbers(key_count, 0);
    in_.nodes_.reserve(key_count);
    in_.node_columns_.clear();
    in_.node_columns_.reserve(key_count);
    for (size_t i = 0; i < edge_count; ++i) {
      for (Side side : {false, true}) {
        NodeRef& ref = (side ? in_.right_nodes_ : in_.left_nodes_)[i];
        if (!ref) continue;
        const GraphEnd end = in_.end(i, side);
        uint32_t& number = node_numbers[*ref];
        if (number == 0) {
          Type type = end.type();
          if (end.is_predicate_addressing()) seed_origin(end, type);
          in_.nodes_.push_back(std::move(type));
          in_.node_columns_.push_back(*ref < key_columns.size() ? key_columns[*ref] : kNoColumn);
          number = static_cast<uint32_t>(in_.nodes_.size());
        } else if (const Type& type = end.type(); type.kind() != Type::Kind::Any ||
                                                  type.origin() != nullptr ||
                                                  in_.nodes_[number - 1].origin() != nullptr) {
          // An end that is Any with no origin leaves a node with none as it is.
          TRY(Type met, intersect(in_.nodes_[number - 1], type, 0, 0));
          in_.nodes_.set(number - 1, std::move(met));
        }
        ref = number - 1;
      }
    }
    key_columns = {};
    in_.node_columns_.shrink_to_fit();
    in_.column_firsts_.assign(column_count, kNoColumn);
    in_.for_each_column_end([&](size_t e, Side side, uint32_t column) {
      uint32_t& first = in_.column_firsts_[column];
      if (first == kNoColumn) first = static_cast<uint32_t>(2 * e + side);
    });
    return Unit{};
  }

  // The edges at each node, in index order: those of node n are
  // node_edges_[node_start_[n] .. node_start_[n + 1]). An edge whose step is
  // Nothing never changes anything and is at no node.
  void index_edges_by_node() {
    const size_t edge_count = in_.edge_graphs_.size();
    node_start_.assign(in_.nodes_.size() + 1, 0);
    for (size_t i = 0; i < edge_count; ++i) for_each_node_of(i, [&](size_t n) { ++node_start_[n + 1]; });
    for (size_t n = 0; n < in_.nodes_.size(); ++n) node_start_[n + 1] += node_start_[n];
    node_edges_.assign(node_start_.back(), 0);
    std::vector<uint32_t> filled(node_start_.begin(), node_start_.end() - 1);
    for (size_t i = 0; i < edge_count; ++i)
      for_each_node_of(i, [&](size_t n) { node_edges_[filled[n]++] = static_cast<uint32_t>(i); });
  }

  // An edge whose last visit changed none of its ends is settled: visiting it
  // again is a no-op for as long as its end nodes keep the versions they had,
  // so it is passed over until one of them changes. The outcome is that of
  // visiting every edge on every pass; long chains just cost far less.
  //
  // Settled edges are not even looked at: a pass visits, in index order, only
  // the edges due. An edge falls due when its visit touched it, or when a node
  // at one of its ends changes; it is visited later in the same pass if its
  // index is still ahead, and in the next pass otherwise -- the very visits a
  // scan of every edge would make, without a pass costing the whole edge list.
  Result<Unit, TypeInferenceError> run_passes() {
    const size_t edge_count = in_.edge_graphs_.size();
    // Edge numbers fit in 32 bits: these lists are as long as the edges.
    std::vector<uint32_t> next_due;
    next_due.reserve(edge_count);
    for (size_t i = 0; i < edge_count; ++i) {
      if (steps_[i] != Step::Nothing) next_due.push_back(static_cast<uint32_t>(i));
    }
    // Flags for membership of the two lists; due_now is all clear between passes.
    std::vector<char> due_now(edge_count, 0), due_next(edge_count, 1);

    in_.runaway_ = false;
    in_.work_ = 0;
    for (size_t pass = 0; pass < kMaxPasses && !in_.runaway_; ++pass) {
      bool changed = false;
      for (size_t e : next_due) {
        due_now[e] = 1;
        due_next[e] = 0;
      }
      // The edges due at the start of the pass, in index order, and those that
      // fall due during it (always ahead of the edge being visited) in a heap:
      // the next edge is the smaller of the two fronts.
      std::vector<uint32_t> due = std::move(next_due);
      std::sort(due.begin(), due.end());
      size_t cursor = 0;
      std::priority_queue<uint32_t, std::vector<uint32_t>, std::greater<uint32_t>> later;
      next_due = {};
      size_t i = 0;
      auto fall_due = [&](size_t node) {
        for (size_t k = node_start_[node]; k < node_start_[node + 1]; ++k) {
          const uint32_t e = node_edges_[k];
          if (e > i) {
            if (!due_now[e]) {
              due_now[e] = 1;
              later.push(e);
            }
          } else if (!due_next[e]) {
            due_next[e] = 1;
            next_due.push_back(e);
          }
        }
      };
      while (!in_.runaway_) {
        if (cursor < due.size() && (later.empty() || due[cursor] < later.top())) {
          i = due[cursor++];
        } else if (!later.empty()) {
          i = later.top();
          later.pop();
        } else {
          break;
        }
        due_now[i] = 0;
        in_.touched_ = false;
        in_.node_changed_[0] = in_.node_changed_[1] = false;
        TRY(bool visit_changed, visit(i));
        changed |= visit_changed;
        // Only this edge's own end nodes can have changed (one node, when
        // both ends are one: the edges due at it fall due once either way).
        if (in_.node_changed_[0]) fall_due(*in_.left_nodes_[i]);
        if (in_.node_changed_[1]) fall_due(*in_.right_nodes_[i]);
        if (in_.touched_ && !due_next[i]) {
          due_next[i] = 1;
          next_due.push_back(static_cast<uint32_t>(i));
        }
      }
      if (!changed) break;
    }
    return Unit{};
  }

 private:
  // A column of a host's table is the source of what is read from it: one
  // shared origin per column, given to each call's node of it.
  void seed_origin(const GraphEnd& end, Type& node) {
    if (!node.is_any() || end.column() == "quoril_value") return;
    auto table = in_.host_tables_.find(end.name());
    if (table == in_.host_tables_.end()) return;
    std::shared_ptr<const ColumnOrigin>& origin = origins_[{end.name(), end.column()}];
    if (!origin)
      origin = std::make_shared<const ColumnOrigin>(
          ColumnOrigin{table->second, std::string(end.column()), false, {}});
    node.set_origin(origin);
  }

  template <class Visit>
  void for_each_node_of(size_t i, Visit&& visit) const {
    if (steps_[i] == Step::Nothing) return;
    if (in_.left_nodes_[i]) visit(*in_.left_nodes_[i]);
    if (in_.right_nodes_[i] && in_.right_nodes_[i] != in_.left_nodes_[i]) visit(*in_.right_nodes_[i]);
  }

  // One edge's step; whether it changed an end.
  Result<bool, TypeInferenceError> visit(size_t i) {
    const EdgeBounds bounds = in_.graph_of(i).second.bounds(in_.at(i));
    const int64_t p1 = bounds.start, p2 = bounds.stop;
    bool changed = false;
    switch (steps_[i]) {
      case Step::Nothing:
        break;
      case Step::Meet: {
        const Type& left = in_.end_type(i, false);
        const Type& right = in_.end_type(i, true);
        // Two equal scalars of one source meet in themselves: updating the
        // ends with their own types would change nothing.
        if (left.kind() == right.kind() && !left.is_list() && !left.is_record() &&
            left.origin() == right.origin())
          break;
        TRY(Type met, intersect(left, right, p1, p2));
        changed |= in_.update_end(i, false, met);
        changed |= in_.update_end(i, true, std::move(met));
        break;
      }
      case Step::ListElement: {
        Type list = in_.end_type(i, false);
        if (list.is_any()) {
          changed |= in_.update_end(i, false, Type::list(Type::any()));
        } else if (list.is_list()) {
          TRY(Type met, intersect(std::move(list.element()), in_.end_type(i, true), p1, p2));
          changed |= in_.update_end(i, true, met);
          changed |= in_.update_end(i, false, Type::list(std::move(met)));
        } else {
          return TypeInferenceError{std::move(list), in_.end_type(i, true), p1, p2};
        }
        break;
      }
      case Step::RecordField: {
        const Type& current = in_.end_type(i, false);
        if (current.is_any()) {
          changed |= in_.update_end(i, false, Type::open_record({}));
          break;
        }
        // A scalar or a list here is no conflict: the edge simply does nothing.
        // Only a column or a subscript names a field.
        const GraphEnd named = in_.end(i, true);
        if ((!named.is_predicate_addressing() && !named.is_subscript_addressing()) || !current.is_record())
          break;
        const std::string_view field = named.column();
        Type record = current;
        Type met = in_.end_type(i, true);
        auto existing = record.fields().find(field);
        if (existing != record.fields().end()) {
          TRY(Type both, intersect(existing->second, std::move(met), p1, p2));
          met = std::move(both);
        }
        record.fields().insert_or_assign(std::string(field), met);
        changed |= in_.update_end(i, false, std::move(record));
        changed |= in_.update_end(i, true, std::move(met));
        break;
      }
    }
    return changed;
  }

  TypeInference& in_;
  std::map<std::pair<std::string_view, std::string_view>, std::shared_ptr<const ColumnOrigin>> origins_;
  // One byte an edge, held through every pass: the positions and the field a
  // visit needs are read from the edge itself.
  std::vector<Step> steps_;
  // Edge numbers fit in 32 bits, as in ColumnEnd: these lists are as long as
  // the edges and are held through every pass.
  std::vector<uint32_t> node_start_;
  std::vector<uint32_t> node_edges_;
};

Result<Unit, TypeInferenceError> TypeInference::infer() {
  Propagation run(*this);
  TRY_VOID(run.make_nodes());
  run.index_edges_by_node();
  return run.run_passes();
}

void fold_column_type(Type& kept_type, bool first, const Type& end) {
  if (first) {
    kept_type = end;
    return;
  }
  // Most columns are read as one scalar type at every end: the meet of two
  // equal plain scalars is that scalar, with nothing to copy or compare.
  const Type::Kind kind = kept_type.kind();
  if (kind == end.kind() && kept_type.origin() == nullptr && end.origin() == nullptr &&
      (kind == Type::Kind::Bool || kind == Type::Kind::Number || kind == Type::Kind::String))
    return;
  // Nor does an end that is Any with no origin (a column of a table nothing
  // tells about) change what is kept, unless that is Any too.
  if (end.kind() == Type::Kind::Any && end.origin() == nullptr && kept_type.origin() == nullptr) {
    if (kind == Type::Kind::Any) kept_type = end;
    return;
  }
  Type t = end;
  TypeResult met = intersect(kept_type, t, 0, 0);
  if (met.ok()) {
    kept_type = std::move(met).value();
    return;
  }
  // The per-call nodes disagree: keep the more specific, then the one
  // whose printed form sorts first.
  const int kept = specificity(kept_type), other = specificity(t);
  if (other > kept || (other == kept && t.to_string() < kept_type.to_string())) kept_type = std::move(t);
}

ColumnEndTypes TypeInference::column_end_types(const PredicateTypes* only) const {
  // Asked once per column number rather than once per end.
  std::vector<char> wanted(column_firsts_.size(), 1);
  if (only != nullptr) {
    for (size_t c = 0; c < column_firsts_.size(); ++c) {
      if (column_firsts_[c] == kNoColumn) continue;
      const GraphEnd first = column_first(c);
      auto columns = only->find(std::string(first.name()));
      wanted[c] = columns != only->end() && columns->second.count(std::string(first.column()));
    }
  }
  ColumnEndTypes result;
  for_each_column_end([&](size_t e, Side side, uint32_t column) {
    if (!wanted[column]) return;
    const GraphEnd first = column_first(column);
    result[std::string(first.name())][std::string(first.column())].emplace_back(graph_of(e).first,
                                                                                end_type(e, side));
  });
  return result;
}

PredicateTypes TypeInference::all_predicate_types() const {
  return predicate_types_of(folded_column_types());
}

TypeInference::FoldedColumns TypeInference::folded_column_types() const {
  // Each column's type so far, by column number; folded over the column ends
  // in edge order.
  FoldedColumns folded;
  CompactTypes& types = folded.types;
  types.reserve(column_firsts_.size());
  for (size_t c = 0; c < column_firsts_.size(); ++c) types.push_back(Type());
  std::vector<char> seen(column_firsts_.size(), 0);
  for_each_column_end([&](size_t e, Side side, uint32_t column) {
    const Type& end = end_type(e, side);
    if (!seen[column]) {
      types.set(column, end);
      seen[column] = 1;
      return;
    }
    // As fold_column_type has it, without a copy to fold into: two equal
    // plain scalars meet in themselves.
    const Type& held = types[column];
    const Type::Kind kind = held.kind();
    if (kind == end.kind() && held.origin() == nullptr && end.origin() == nullptr &&
        (kind == Type::Kind::Bool || kind == Type::Kind::Number || kind == Type::Kind::String))
      return;
    Type kept = held;
    fold_column_type(kept, false, end);
    types.set(column, std::move(kept));
  });
  std::map<std::string_view, uint32_t> column_numbers;  // views into the graphs, read while they stand
  for (size_t c = 0; c < column_firsts_.size(); ++c) {
    if (!seen[c]) continue;
    const GraphEnd first = column_first(c);
    if (folded.predicates.empty() || folded.predicates.back() != first.name())
      folded.predicates.emplace_back(first.name());
    auto [name, fresh] =
        column_numbers.try_emplace(first.column(), static_cast<uint32_t>(folded.column_names.size()));
    if (fresh) folded.column_names.emplace_back(first.column());
    folded.columns.push_back(FoldedColumns::Column{static_cast<uint32_t>(folded.predicates.size() - 1),
                                                   name->second, static_cast<uint32_t>(c)});
  }
  return folded;
}

PredicateTypes TypeInference::predicate_types_of(FoldedColumns columns) {
  // No two columns share both names: each (predicate, column) has one number.
  // Each block goes as its columns are moved into the maps.
  PredicateTypes result;
  for (; !columns.columns.empty(); columns.columns.pop_front()) {
    FoldedColumns::Column& column = columns.columns.front();
    result[columns.predicates[column.predicate]].emplace(columns.column_names[column.column],
                                                         columns.types.take(column.type));
  }
  return result;
}

void TypeInference::release_variable_types(const std::function<void(std::string_view, const Type&)>& take) {
  // The columns were read before: their lists go before the variables'
  // types take their room.
  column_firsts_ = {};
  node_columns_ = {};
  odd_column_ends_ = {};
  // A variable always has a node, so every end of one name carries the same
  // type: the first one met serves.
  NameViews given;
  for (size_t e = 0; e < edge_graphs_.size();) {
    const uint32_t number = edge_graphs_[e];
    auto* graph = graph_list_[number];
    for (; e < edge_graphs_.size() && edge_graphs_[e] == number; ++e) {
      for (Side side : {false, true}) {
        const GraphEnd end = this->end(e, side);
        if (end.kind() != Expression::Kind::Variable || given.contains(end.name())) continue;
        take(end.name(), end_type(e, side));
        given.insert(end.name());
      }
    }
    // The names seen are views into this graph's ends, and no later graph
    // has one of them: a rule's edges are all in its head's graph.
    given = NameViews();
    graph->second = TypesGraph();
  }
}

Result<PredicateTypes, CompileError> infer_predicate_types(const std::vector<const Json*>& rules) {
  TRY(ProgramTypes types, infer_program_types(rules));
  return std::move(types.predicates);
}

namespace {

// What run_chain gives: the outcome, and the column ends asked for.
struct Inferred {
  ProgramTypes types;
  ColumnEndTypes column_ends;
  bool ran_away = false;
};

// Which column ends run_chain keeps: none, all, or those of the columns a
// part's types name.
struct EndsWanted {
  bool any = false;
  const PredicateTypes* only = nullptr;
};

// run_chain but for the maps of the column types, whose columns it leaves in `folded`.
Result<Unit, CompileError> read_chain(const std::vector<const Json*>& rules, Inferred& out,
                                      TypeInference::FoldedColumns& folded, const HostTables& host_tables,
                                      EndsWanted ends) {
  TypesGraphBuilder builder;
  TypeInference inference(builder.run_rules(rules), host_tables);
  auto outcome = inference.infer();
  if (!outcome.ok()) return CompileError("Type inference error: " + outcome.error().to_string());
  out.ran_away = inference.ran_away();
  ProgramTypes& types = out.types;
  folded = inference.folded_column_types();
  if (ends.any) out.column_ends = inference.column_end_types(ends.only);
  types.rule_variables.resize(rules.size());
  const std::vector<size_t>& positions = builder.built_rule_positions();
  inference.release_variable_types([&](std::string_view full, const Type& type) {
    // "x@3" is the variable x of the third rule built; generated nodes have no "@".
    size_t at = full.rfind('@');
    if (at == std::string_view::npos) return;
    uint64_t number = 0;
    std::string_view digits = full.substr(at + 1);
    auto [end, failed] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (failed != std::errc() || end != digits.data() + digits.size() || number == 0 ||
        number > positions.size())
      return;
    RuleVariableTypes& variables = types.rule_variables[positions[number - 1]];
    const std::string_view name = full.substr(0, at);
    auto found = variables.lower_bound(name);
    if (found == variables.end() || found->first != name)
      variables.emplace_hint(found, std::string(name), type);
  });
  return Unit{};
}

// The graphs and the inference are gone when this returns: they are several
// times the room of what is read off them.
Result<Unit, CompileError> run_chain(const std::vector<const Json*>& rules, Inferred& out,
                                     const HostTables& host_tables = {}, EndsWanted ends = {}) {
  // The column types' maps are built once the inference is gone, which
  // holds more than they do.
  TypeInference::FoldedColumns folded;
  TRY_VOID(read_chain(rules, out, folded, host_tables, ends));
  out.types.predicates = TypeInference::predicate_types_of(std::move(folded));
  return Unit{};
}

}  // namespace

Result<ProgramTypes, CompileError> infer_program_types(const std::vector<const Json*>& rules,
                                                       const HostTables& host_tables) {
  Inferred inferred;
  TRY_VOID(run_chain(rules, inferred, host_tables));
  return std::move(inferred.types);
}

Result<TypedPart, CompileError> infer_part_types(const std::vector<const Json*>& rules) {
  Inferred inferred;
  TRY_VOID(run_chain(rules, inferred, {}, EndsWanted{true, nullptr}));
  TypedPart part;
  part.column_ends = std::move(inferred.column_ends);
  part.ran_away = inferred.ran_away;
  part.types = std::move(inferred.types);
  return part;
}

Result<ProgramTypes, CompileError> infer_joined_types(const std::vector<const Json*>& rules,
                                                      const std::vector<const Json*>& part_rules,
                                                      const std::shared_ptr<const TypedPart>& shared_part,
                                                      const HostTables& host_tables) {
  const TypedPart& part = *shared_part;
  auto whole = [&] {
    std::vector<const Json*> all = rules;
    all.insert(all.end(), part_rules.begin(), part_rules.end());
    return infer_program_types(all, host_tables);
  };
  // A type past its bound ends every pass of the whole program at once,
  // the part's too: only the whole run tells where they stop.
  if (part.ran_away) return whole();
  auto inferred = std::make_unique<Inferred>();
  TRY_VOID(run_chain(rules, *inferred, host_tables, EndsWanted{true, &part.types.predicates}));
  if (inferred->ran_away) {
    // Given back before the whole run: a run-away inference holds as much as
    // its bound allows, and two of them at once would hold twice that.
    inferred.reset();
    return whole();
  }
  ProgramTypes joined = std::move(inferred->types);
  joined.shared_rule_variables =
      std::shared_ptr<const std::vector<RuleVariableTypes>>(shared_part, &part.types.rule_variables);
  joined.shared_predicates = std::shared_ptr<const PredicateTypes>(shared_part, &part.types.predicates);
  const ColumnEndTypes& own_ends = inferred->column_ends;
  for (auto& [predicate, columns] : joined.predicates) {
    auto part_columns = part.types.predicates.find(predicate);
    if (part_columns == part.types.predicates.end()) continue;
    for (auto& [column, type] : columns) {
      if (!part_columns->second.count(column)) continue;
      // Both name the column: its ends are folded again in the order of the
      // whole program's edges, graphs in name order (no graph is in both).
      const auto& mine = own_ends.at(predicate).at(column);
      const auto& theirs = part.column_ends.at(predicate).at(column);
      Type kept;
      bool first = true;
      size_t i = 0, j = 0;
      while (i < mine.size() || j < theirs.size()) {
        const bool take_mine = j == theirs.size() || (i < mine.size() && mine[i].first < theirs[j].first);
        fold_column_type(kept, first, take_mine ? mine[i++].second : theirs[j++].second);
        first = false;
      }
      type = std::move(kept);
    }
  }
  return joined;
}

}  // namespace mirtova
