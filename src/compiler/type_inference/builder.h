// TypesGraphBuilder: turns a program's rules into one types graph per head predicate.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "compiler/type_inference/graph.h"
#include "parser/json.h"

namespace mirtova {

// Sorted by predicate name: inference walks the graphs in this order, so a
// program is accepted or refused the same way on every run.
using TypesGraphs = std::map<std::string, TypesGraph>;

// The builder never fails on parser-made trees; a tree of another shape stops
// it with an InternalFault from the Json accessors.
class TypesGraphBuilder {
 public:
  // The rules in program order. Annotations (heads beginning with "@") and rules
  // without a head name are skipped. Each run starts from a fresh state.
  TypesGraphs run_rules(const std::vector<const Json*>& rules);
  TypesGraphs run_rules(std::span<const Json> rules);
  // After a run: the position, among the rules given, of each rule built, in
  // order; the rule numbered n in variable names ("x@n") is at entry n - 1.
  const std::vector<size_t>& built_rule_positions() const { return built_positions_; }

 private:
  struct Converted {
    Expression node;
    int64_t start = 0;
    int64_t stop = 0;
  };
  struct Bounds {
    int64_t start = 0;
    int64_t stop = 0;
  };

  void build_rule(const Json& rule, TypesGraphs& result);
  Converted convert_expression(TypesGraph& graph, const Json& e);
  Converted convert_call(TypesGraph& graph, const std::string& predicate, const Json& call);
  // Per predicate called: its calls so far, and the nodes of its first
  // columns. A column's node differs from call to call only in the call
  // number, which its printed text (and so its digest) leaves out: it is made
  // and digested once, then copied. Looked up one by one, so only the first
  // few columns are kept, and only from a predicate's second call on: most
  // predicates are called once, and would hold their nodes for nothing.
  struct Calls {
    uint64_t count = 0;
    std::vector<Expression> columns;
  };
  static constexpr size_t kColumnsKept = 16;
  Expression column_of(Calls& calls, std::string_view predicate, std::string_view column,
                       uint64_t call_number);
  Bounds fill_fields(TypesGraph& graph, const std::string& predicate, uint64_t call_number, const Json& call,
                     const Expression& value, Calls& calls, bool through_links = false);
  Converted convert_record(TypesGraph& graph, const Json& field_values);
  Converted convert_subscript(TypesGraph& graph, const Json& subscript);
  Converted convert_implication(TypesGraph& graph, const Json& implication);
  Converted convert_combine(TypesGraph& graph, const Json& combine);
  // The unifications, inclusions and predicate calls of a rule's or a
  // combine's body.
  void convert_conjuncts(TypesGraph& graph, const Json* body);

  Expression rule_variable(std::string_view name);
  Expression unknown();
  std::unordered_map<std::string, Calls> calls_;
  uint64_t if_node_counter_ = 0;
  uint64_t rule_counter_ = 0;
  std::vector<size_t> built_positions_;
  // The names of the graphs of a run, held once for all of them.
  std::shared_ptr<TextPool> pool_;
  uint64_t unknown_counter_ = 0;
  // The variables of the rule being built that occur outside its combines;
  // any other variable of a combine is its own, told apart by the combine's
  // number (0 outside combines).
  std::set<std::string, std::less<>> rule_names_;
  // The first variables made for the rule being built, by name and combine:
  // a variable stands in a rule several times, and a copy of the one made
  // first is cheaper than naming and digesting it again. Looked up one by
  // one, so only the first few are kept.
  struct MadeVariable {
    std::string name;
    uint64_t scope = 0;
    Expression node;
  };
  static constexpr size_t kMadeVariablesKept = 16;
  std::vector<MadeVariable> made_variables_;
  uint64_t combine_counter_ = 0;
  uint64_t combine_scope_ = 0;
};

}  // namespace mirtova
