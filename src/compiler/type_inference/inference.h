// TypeInference: propagates types over the types graphs and reads off every predicate's column types.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/type_inference/builder.h"
#include "compiler/type_inference/compact_types.h"
#include "compiler/type_inference/intersection.h"
#include "parser/json.h"

namespace mirtova {

// Predicate name -> column name -> type, both levels in byte order.
using PredicateTypes = std::map<std::string, std::map<std::string, Type>>;
// Variable name -> type, for the variables of one rule.
using RuleVariableTypes = std::map<std::string, Type, std::less<>>;
// Predicate name -> column name -> the type of each edge end naming the column,
// in edge order, with the name of the graph holding the edge.
using ColumnEndTypes =
    std::map<std::string, std::map<std::string, std::vector<std::pair<std::string, Type>>>>;

// The host's tables a program reads (predicates without rules that are not
// built in), by name, with the reference that names each in SQL. Their
// columns are the sources of the values read from them (Type::origin).
using HostTables = std::map<std::string, std::string, std::less<>>;

// What inference learnt of a program: its predicates' column types, and per
// rule given (in the order given; empty for rules it skipped) its variables' types.
struct ProgramTypes {
  PredicateTypes predicates;
  std::vector<RuleVariableTypes> rule_variables;
  // Of a part typed once and shared by every program joined to it (an
  // engine's library), read in place, as a copy for every program would cost
  // more than the program's own rules: the variables of the rules after
  // rule_variables, and the column types `predicates` does not hold (a column
  // both name is in `predicates`).
  std::shared_ptr<const std::vector<RuleVariableTypes>> shared_rule_variables;
  std::shared_ptr<const PredicateTypes> shared_predicates;

  size_t rule_count() const {
    return rule_variables.size() + (shared_rule_variables ? shared_rule_variables->size() : 0);
  }
  const RuleVariableTypes& variables_of(size_t rule) const {
    return rule < rule_variables.size() ? rule_variables[rule]
                                        : (*shared_rule_variables)[rule - rule_variables.size()];
  }
};

// An edge end's node number, or none (a literal, which keeps its own type):
// four bytes, as every edge has two.
class NodeRef {
 public:
  NodeRef() = default;
  // Implicit, so that the node numbers and std::nullopt read as before.
  NodeRef(std::nullopt_t) {}
  NodeRef(size_t node) : plus_one_(static_cast<uint32_t>(node + 1)) {}
  explicit operator bool() const { return plus_one_ != 0; }
  size_t operator*() const { return plus_one_ - 1; }
  friend bool operator==(NodeRef, NodeRef) = default;

 private:
  uint32_t plus_one_ = 0;
};

class TypeInference {
 public:
  explicit TypeInference(TypesGraphs graphs, HostTables host_tables = {});

  // Meets types along the edges until nothing changes (at most 1000 passes);
  // the first pair that does not meet is the error. The final types stay with
  // the nodes; the ends keep the types they were built with. A type that would
  // grow past a fixed size (one that contains itself) also ends the passes,
  // without an error.
  Result<Unit, TypeInferenceError> infer();

  // After a successful infer(): every predicate named on an edge end, with the
  // type of each column seen; the per-call nodes of one column are folded into
  // one type, a pair that does not meet settling on the more specific one.
  PredicateTypes all_predicate_types() const;
  // The same in two steps, for a caller that lets the graphs go between them
  // (release_variable_types): each column's folded type with the names of
  // its predicate and column, read while the graphs are there; then
  // predicate_types_of builds the maps, whose nodes would otherwise stand
  // beside the whole graphs.
  // Each name is held once for the columns that follow one another with it:
  // a predicate's columns are numbered together, and a program has few
  // column names. In blocks rather than arrays: an array the size of the
  // program, once freed, would leave the allocator keeping every later large
  // block.
  struct FoldedColumns {
    struct Column {
      uint32_t predicate;  // into predicates
      uint32_t column;     // into column_names
      uint32_t type;       // into types
    };
    std::deque<std::string> predicates;
    std::vector<std::string> column_names;
    std::deque<Column> columns;
    CompactTypes types;
  };
  FoldedColumns folded_column_types() const;
  static PredicateTypes predicate_types_of(FoldedColumns columns);

  // After a successful infer(), as the last thing read of it: hands every rule
  // variable on an edge end to `take` once, under the builder's name for it
  // (the name, "@" and the rule's number), in edge order. Each graph is let go
  // once its edges are read: the ends are most of an inference's room, and the
  // variables' types then take the room the ends give back rather than more.
  void release_variable_types(const std::function<void(std::string_view, const Type&)>& take);

  // After a successful infer(): the ends that all_predicate_types folds, by
  // column; only the columns `only` names, when given.
  ColumnEndTypes column_end_types(const PredicateTypes* only = nullptr) const;

  // Whether the last infer() stopped because a type grew past its bound.
  bool ran_away() const { return runaway_; }

 private:
  // One run of infer(), step by step (inference.cpp).
  class Propagation;

  // Which end of an edge: false the left (first), true the right (second).
  using Side = bool;

  // Every edge of every graph, graphs in name order; the edges stay in their
  // graphs, with the graph's name. Per edge, the number of its graph in
  // graph_list_; per graph, the number of its first edge: an edge's place in
  // its graph is the difference, and the list as long as the edges holds the
  // graph's number alone.
  size_t at(size_t edge) const { return edge - graph_firsts_[edge_graphs_[edge]]; }
  std::pair<const std::string, TypesGraph>& graph_of(size_t edge) const {
    return *graph_list_[edge_graphs_[edge]];
  }
  const GraphEdge& edge(size_t edge) const { return graph_of(edge).second.edge(at(edge)); }
  GraphEnd end(size_t edge, Side side) const {
    const TypesGraph& graph = graph_of(edge).second;
    return side ? graph.right(at(edge)) : graph.left(at(edge));
  }
  Type& whole_type_mut(size_t edge, Side side) {
    TypesGraph& graph = graph_of(edge).second;
    const GraphEdge& e = graph.edge(at(edge));
    return graph.whole_type_mut(side ? e.right : e.left);
  }
  const Type* node_type(size_t edge, Side side) const;
  const Type& end_type(size_t edge, Side side) const;
  bool update_end(size_t edge, Side side, Type type);

  TypesGraphs graphs_;
  std::shared_ptr<TextPool> pool_;  // the graphs' names
  HostTables host_tables_;
  std::vector<std::pair<const std::string, TypesGraph>*> graph_list_;  // in name order
  std::vector<uint32_t> edge_graphs_;
  std::vector<uint32_t> graph_firsts_;
  // State of one infer() run: node types and, per edge end, its node (if any).
  CompactTypes nodes_;
  std::vector<NodeRef> left_nodes_;
  std::vector<NodeRef> right_nodes_;
  // Set when the edge being visited changed one of its ends in any detail.
  bool touched_ = false;
  // Per side of the edge being visited, whether it changed that end's node in
  // any detail: only an edge's own end nodes change as it is visited.
  bool node_changed_[2] = {false, false};
  // Set when a type grew past its bound; ends the passes at once.
  bool runaway_ = false;
  size_t work_ = 0;  // type nodes written by updates so far
  // Each PredicateAddressing end's column number is its node's, as a node is
  // keyed by its column's joined text (and call), so all its ends name one
  // column; but for a predicate's name holding the "." that joins it to the
  // column's, which splits one text two ways: such ends are listed aside, in
  // edge order. An entry per node rather than per end.
  static constexpr uint32_t kNoColumn = ~uint32_t{0};
  struct ColumnEnd {
    ColumnEnd(uint32_t edge, uint32_t column, Side side) : edge(edge), column(column), right(side) {}
    Side side() const { return right != 0; }
    uint32_t edge;
    uint32_t column : 31;
    uint32_t right : 1;
  };
  static_assert(sizeof(ColumnEnd) == 8);
  std::vector<uint32_t> node_columns_;  // kNoColumn for a node of no column
  std::vector<ColumnEnd> odd_column_ends_;
  // Per column, its first end in edge order (2 * edge + side), which tells
  // the predicate and the column.
  std::vector<uint32_t> column_firsts_;
  GraphEnd column_first(size_t column) const {
    const uint32_t first = column_firsts_[column];
    return end(first >> 1, (first & 1) != 0);
  }
  // Calls visit(edge, side, column) for every PredicateAddressing end in
  // edge order.
  template <class Visit>
  void for_each_column_end(Visit&& visit) const {
    size_t odd = 0;
    for (size_t e = 0; e < edge_graphs_.size(); ++e) {
      for (Side side : {false, true}) {
        const NodeRef node = side ? right_nodes_[e] : left_nodes_[e];
        if (!node) continue;
        uint32_t column = node_columns_[*node];
        if (odd < odd_column_ends_.size() && odd_column_ends_[odd].edge == e &&
            odd_column_ends_[odd].side() == side)
          column = odd_column_ends_[odd++].column;
        if (column != kNoColumn) visit(e, side, column);
      }
    }
  }
};

// One more end of a column folded into the column's type: the first end's
// type is taken; a later one is met with it, a pair that does not meet
// settling on the more specific type, then on the one printed first.
void fold_column_type(Type& kept, bool first, const Type& end);

// The whole chain over a program's rules in program order: build the graphs,
// infer, read off the column types. A conflict is the compile error
// "Type inference error: {0}" without rule text.
Result<PredicateTypes, CompileError> infer_predicate_types(const std::vector<const Json*>& rules);
// The same chain, keeping the rules' variable types too; the columns of
// `host_tables` are the sources of what is read from them.
Result<ProgramTypes, CompileError> infer_program_types(const std::vector<const Json*>& rules,
                                                       const HostTables& host_tables = {});

// A part of a program typed on its own, to be joined to the rest of the
// program by infer_joined_types: its outcome and the ends of its columns.
struct TypedPart {
  ProgramTypes types;
  ColumnEndTypes column_ends;
  bool ran_away = false;  // a type grew past its bound: the part cannot be joined
};
Result<TypedPart, CompileError> infer_part_types(const std::vector<const Json*>& rules);

// What infer_program_types gives for `rules` followed by `part_rules`, whose
// outcome alone `part` is, when the two share no types-graph node: no
// predicate heads rules in both, no predicate heading rules in one is named in
// the other unless it is a function (a value column), and `rules` come first,
// so that the calls of a function in `rules` are numbered before any head of
// it in the part. Inference then never carries a type from one to the other;
// only the column types they both name are folded anew, end by end in the
// order the whole program's edges would give. `rules` are typed alone, and
// the part's outcome is read as it is (its rule numbers and call numbers are
// shifted, which renames nodes without joining or parting any).
// The part is typed with no host tables; `host_tables` are those of `rules`.
// The part's rule variables and column types are shared, not copied.
Result<ProgramTypes, CompileError> infer_joined_types(const std::vector<const Json*>& rules,
                                                      const std::vector<const Json*>& part_rules,
                                                      const std::shared_ptr<const TypedPart>& shared_part,
                                                      const HostTables& host_tables = {});

}  // namespace mirtova
