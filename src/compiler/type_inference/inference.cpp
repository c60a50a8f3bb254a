#include "compiler/type_inference/inference.h"

#include <set>
#include <unordered_map>

namespace mirtova {

namespace {

constexpr size_t kMaxPasses = 1000;

// A type that holds itself (r.a = r, r.b = r) doubles at every step; past this
// many nodes propagation stops the way it stops after its last pass, keeping
// the types reached, instead of exhausting memory. Every type a program can
// mean is far smaller, and so is the deepest list that "x in x" builds in
// 1000 passes.
constexpr size_t kMaxTypeNodes = 10000;

// The number of nodes of a type, counting no further than `limit`.
size_t type_nodes(const Type& type, size_t limit) {
  size_t count = 0;
  std::vector<const Type*> pending = {&type};
  while (!pending.empty() && count <= limit) {
    const Type* t = pending.back();
    pending.pop_back();
    ++count;
    if (t->is_list()) pending.push_back(&t->element());
    if (t->is_record()) {
      for (const auto& field : t->fields()) pending.push_back(&field.second);
    }
  }
  return count;
}

// What a pass does with an edge.
enum class Step : uint8_t { Nothing, Meet, ListElement, RecordField };

struct EdgeStep {
  Step step = Step::Nothing;
  std::optional<std::string> field;  // RecordField only
};

EdgeStep step_of(const Edge& edge) {
  switch (edge.kind) {
    case EdgeKind::Equality: return {Step::Meet, std::nullopt};
    case EdgeKind::Inclusion: return {Step::ListElement, std::nullopt};
    case EdgeKind::Argument: return {Step::Nothing, std::nullopt};
    case EdgeKind::FieldAccess: {
      std::optional<std::string> field;
      if (edge.right.is_predicate_addressing() || edge.right.is_subscript_addressing()) field = edge.right.column();
      return {Step::RecordField, std::move(field)};
    }
  }
  return {};
}

// The node key of an edge end; none for literals, which keep their own type.
// A relation's columns are one node across all its calls and heads; any other
// predicate (functional, built-in, without rules) has a node per call.
std::optional<std::string> node_key(const Expression& end, const std::set<std::string, std::less<>>& relations) {
  switch (end.kind()) {
    case Expression::Kind::Variable: return end.to_string();
    case Expression::Kind::PredicateAddressing: {
      std::string key = end.to_string();
      if (relations.find(end.name()) == relations.end()) key += "#" + std::to_string(end.call_number());
      return key;
    }
    case Expression::Kind::SubscriptAddressing: {
      std::optional<std::string> record = node_key(end.children().front(), relations);
      if (!record) return std::nullopt;
      return *record + "." + end.to_string();
    }
    default: return std::nullopt;
  }
}

int specificity(const Type& t) {
  if (t.is_any()) return 0;
  if (t.is_atomic()) return 1;
  return 2;
}

}  // namespace

TypeInference::TypeInference(TypesGraphs graphs) : graphs_(std::move(graphs)) {
  size_t count = 0;
  for (const auto& entry : graphs_) count += entry.second.edges().size();
  edges_.reserve(count);
  // The graphs stay for their column index; their edges move here.
  for (auto& [predicate, graph] : graphs_) {
    for (Edge& edge : graph.take_edges()) edges_.emplace_back(predicate, std::move(edge));
  }
}

const Type* TypeInference::node_type(size_t edge, Side side) const {
  const std::optional<size_t>& node = side ? right_nodes_[edge] : left_nodes_[edge];
  return node ? &nodes_[*node] : nullptr;
}

const Type& TypeInference::end_type(size_t edge, Side side) const {
  if (const Type* t = node_type(edge, side)) return *t;
  const Edge& e = edges_[edge].second;
  return side ? e.right.type() : e.left.type();
}

bool TypeInference::update_end(size_t edge, Side side, Type type) {
  if (type_nodes(type, kMaxTypeNodes) > kMaxTypeNodes) {
    runaway_ = true;
    return false;
  }
  const std::optional<size_t>& node = side ? right_nodes_[edge] : left_nodes_[edge];
  if (node) {
    bool changed = !nodes_[*node].eq(type);
    nodes_[*node] = std::move(type);
    return changed;
  }
  Expression& end = side ? edges_[edge].second.right : edges_[edge].second.left;
  Type before = end.type();
  end.set_type(std::move(type));
  return !before.eq(end.type());
}

Result<Unit, TypeInferenceError> TypeInference::infer() {
  std::set<std::string, std::less<>> relations;
  for (const auto& [predicate, graph] : graphs_) {
    if (!predicate.empty() && predicate.front() == '@') continue;
    if (!graph.has_column(predicate, "quoril_value")) relations.insert(predicate);
  }

  nodes_.clear();
  left_nodes_.assign(edges_.size(), std::nullopt);
  right_nodes_.assign(edges_.size(), std::nullopt);
  // Only looked up, never walked: its hash order reaches nothing.
  std::unordered_map<std::string, size_t> node_numbers;
  for (size_t i = 0; i < edges_.size(); ++i) {
    for (Side side : {false, true}) {
      const Expression& end = side ? edges_[i].second.right : edges_[i].second.left;
      std::optional<std::string> key = node_key(end, relations);
      if (!key) continue;
      auto [it, fresh] = node_numbers.emplace(std::move(*key), nodes_.size());
      if (fresh) {
        nodes_.push_back(end.type());
      } else {
        TRY(Type met, intersect(nodes_[it->second], end.type(), 0, 0));
        nodes_[it->second] = std::move(met);
      }
      (side ? right_nodes_ : left_nodes_)[i] = it->second;
    }
  }

  std::vector<EdgeStep> steps;
  steps.reserve(edges_.size());
  for (const auto& entry : edges_) steps.push_back(step_of(entry.second));

  runaway_ = false;
  for (size_t pass = 0; pass < kMaxPasses && !runaway_; ++pass) {
    bool changed = false;
    for (size_t i = 0; i < edges_.size() && !runaway_; ++i) {
      const Edge& edge = edges_[i].second;
      const int64_t p1 = edge.start, p2 = edge.stop;
      switch (steps[i].step) {
        case Step::Nothing:
          break;
        case Step::Meet: {
          TRY(Type met, intersect(end_type(i, false), end_type(i, true), p1, p2));
          changed |= update_end(i, false, met);
          changed |= update_end(i, true, std::move(met));
          break;
        }
        case Step::ListElement: {
          Type list = end_type(i, false);
          if (list.is_any()) {
            changed |= update_end(i, false, Type::list(Type::any()));
          } else if (list.is_list()) {
            TRY(Type met, intersect(std::move(list.element()), end_type(i, true), p1, p2));
            changed |= update_end(i, true, met);
            changed |= update_end(i, false, Type::list(std::move(met)));
          } else {
            return TypeInferenceError{std::move(list), end_type(i, true), p1, p2};
          }
          break;
        }
        case Step::RecordField: {
          const Type& current = end_type(i, false);
          if (current.is_any()) {
            changed |= update_end(i, false, Type::open_record({}));
            break;
          }
          // A scalar or a list here is no conflict: the edge simply does nothing.
          if (!steps[i].field || !current.is_record()) break;
          const std::string& field = *steps[i].field;
          Type record = current;
          Type met = end_type(i, true);
          auto existing = record.fields().find(field);
          if (existing != record.fields().end()) {
            TRY(Type both, intersect(existing->second, std::move(met), p1, p2));
            met = std::move(both);
          }
          record.fields().insert_or_assign(field, met);
          changed |= update_end(i, false, std::move(record));
          changed |= update_end(i, true, std::move(met));
          break;
        }
      }
    }
    if (!changed) break;
  }

  for (size_t i = 0; i < edges_.size(); ++i) {
    if (left_nodes_[i]) edges_[i].second.left.set_type(nodes_[*left_nodes_[i]]);
    if (right_nodes_[i]) edges_[i].second.right.set_type(nodes_[*right_nodes_[i]]);
  }
  return Unit{};
}

PredicateTypes TypeInference::all_predicate_types() const {
  PredicateTypes result;
  for (const auto& [predicate, edge] : edges_) {
    for (const Expression* end : {&edge.left, &edge.right}) {
      if (!end->is_predicate_addressing()) continue;
      Type t = end->type();
      auto& columns = result[end->name()];
      auto it = columns.find(end->column());
      if (it == columns.end()) {
        columns.emplace(end->column(), std::move(t));
        continue;
      }
      TypeResult met = intersect(it->second, t, 0, 0);
      if (met.ok()) {
        it->second = std::move(met).value();
        continue;
      }
      // The per-call nodes disagree: keep the more specific, then the one
      // whose printed form sorts first.
      const int kept = specificity(it->second), other = specificity(t);
      if (other > kept || (other == kept && t.to_string() < it->second.to_string())) it->second = std::move(t);
    }
  }
  return result;
}

Result<PredicateTypes, CompileError> infer_predicate_types(const std::vector<const Json*>& rules) {
  TypesGraphBuilder builder;
  TypeInference inference(builder.run_rules(rules));
  auto outcome = inference.infer();
  if (!outcome.ok()) return CompileError("Type inference error: " + outcome.error().to_string());
  return inference.all_predicate_types();
}

}  // namespace mirtova
