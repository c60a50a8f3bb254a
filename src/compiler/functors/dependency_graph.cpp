// The predicate dependency graph and its strongly connected components.
#include "compiler/functors/dependency_graph.h"

#include <algorithm>

#include "compiler/functors/tree_walks.h"
#include "parser/tree_access.h"

namespace mirtova {

size_t DependencyGraph::add_node(std::string_view name) {
  auto found = nodes_.find(name);
  if (found != nodes_.end()) return found->second;
  const size_t node = names_.size();
  names_.emplace_back(name);
  successors_.emplace_back();
  nodes_.emplace(names_.back(), node);
  return node;
}

void DependencyGraph::add_edge(size_t from, size_t to, bool negated) {
  successors_[from].push_back(Edge{to, negated});
}

void DependencyGraph::add_edge(std::string_view from, std::string_view to, bool negated) {
  const size_t source = add_node(from);
  add_edge(source, add_node(to), negated);
}

std::optional<size_t> DependencyGraph::find(std::string_view name) const {
  auto found = nodes_.find(name);
  if (found == nodes_.end()) return std::nullopt;
  return found->second;
}

std::vector<Component> strongly_connected_components(const DependencyGraph& graph) {
  constexpr size_t kUnvisited = SIZE_MAX;
  std::vector<size_t> order(graph.size(), kUnvisited);  // visit index
  std::vector<size_t> low(graph.size(), 0);
  std::vector<bool> on_stack(graph.size(), false);
  std::vector<size_t> stack;
  // The search's own frames: a node and the position of its next successor.
  struct Frame {
    size_t node;
    size_t next;
  };
  std::vector<Frame> frames;
  std::vector<Component> components;
  size_t counter = 0;
  auto enter = [&](size_t node) {
    order[node] = low[node] = counter++;
    stack.push_back(node);
    on_stack[node] = true;
    frames.push_back(Frame{node, 0});
  };
  for (size_t root = 0; root < graph.size(); ++root) {
    if (order[root] != kUnvisited) continue;
    enter(root);
    while (!frames.empty()) {
      Frame& frame = frames.back();
      const size_t node = frame.node;
      const std::vector<DependencyGraph::Edge>& next = graph.successors(node);
      if (frame.next < next.size()) {
        const size_t to = next[frame.next++].to;
        if (order[to] == kUnvisited) {
          enter(to);  // invalidates `frame`
        } else if (on_stack[to]) {
          low[node] = std::min(low[node], order[to]);
        }
        continue;
      }
      frames.pop_back();
      if (!frames.empty()) low[frames.back().node] = std::min(low[frames.back().node], low[node]);
      if (low[node] != order[node]) continue;
      Component component;
      do {
        component.push_back(stack.back());
        stack.pop_back();
        on_stack[component.back()] = false;
      } while (component.back() != node);
      components.push_back(std::move(component));
    }
  }
  return components;
}

bool is_recursive(const DependencyGraph& graph, const Component& component) {
  if (component.size() != 1) return component.size() > 1;
  for (const DependencyGraph::Edge& edge : graph.successors(component.front()))
    if (edge.to == component.front()) return true;
  return false;
}

DependencyGraph mentioned_names_graph(const std::vector<Json>& rules) {
  DependencyGraph graph;
  for (const Json& rule : rules) {
    if (rule.get("head") == nullptr) continue;
    const size_t head = graph.add_node(head_name(rule));
    auto mention = [&](std::string_view name) { graph.add_edge(head, graph.add_node(name)); };
    // A variable's name holds no predicate name.
    auto variable = [](std::string_view key) { return key == "variable"; };
    if (const Json* body = rule.get("body")) for_each_predicate_name(*body, variable, mention);
    if (const Json* record = rule.at("head").get("record"))
      for_each_predicate_name(*record, variable, mention);
  }
  return graph;
}

namespace {

// Depth first, as the propositions nest: a negated or disjoined proposition is
// walked whole where it stands, before the conjuncts after it. The frames keep
// the nesting off the call stack.
void collect_deps(const Json& body, const std::string& head, std::vector<DepEdge>& edges) {
  struct Frame {
    const Json::ArrayType* conjuncts;
    size_t next;
    bool negated;
  };
  std::vector<Frame> frames;
  // Pushed in reverse, the propositions of one conjunct are walked in order.
  std::vector<const Json*> nested;
  auto push_nested = [&](bool negated) {
    for (auto it = nested.rbegin(); it != nested.rend(); ++it)
      if (const Json::ArrayType* conjuncts = proposition_conjuncts(**it))
        frames.push_back(Frame{conjuncts, 0, negated});
    nested.clear();
  };
  if (const Json::ArrayType* conjuncts = proposition_conjuncts(body))
    frames.push_back(Frame{conjuncts, 0, false});
  while (!frames.empty()) {
    Frame& frame = frames.back();
    if (frame.next == frame.conjuncts->size()) {
      frames.pop_back();
      continue;
    }
    const Json& conjunct = (*frame.conjuncts)[frame.next++];
    const bool negated = frame.negated;
    if (const Json* call = conjunct.get("predicate")) {
      const std::string name(call->at("predicate_name").as_str());
      if (negated || name != "IsNull") {
        edges.push_back(DepEdge{head, name, negated});
        continue;
      }
      const Json* record = call->get("record");
      const Json* entries = record != nullptr ? record->get("field_value") : nullptr;
      if (entries == nullptr) continue;
      for (const Json& entry : entries->as_array()) {
        const Json* value = entry.get("value");
        const Json* expression = value != nullptr ? value->get("expression") : nullptr;
        const Json* combine = expression != nullptr ? expression->get("combine") : nullptr;
        const Json* combine_body = combine != nullptr ? combine->get("body") : nullptr;
        if (combine_body != nullptr) nested.push_back(combine_body);
      }
      push_nested(true);  // invalidates `frame`
    } else if (const Json* disjunction = conjunct.get("disjunction")) {
      if (const Json* disjuncts = disjunction->get("disjunct"))
        for (const Json& disjunct : disjuncts->as_array()) nested.push_back(&disjunct);
      push_nested(negated);  // invalidates `frame`
    }
  }
}

}  // namespace

std::vector<DepEdge> extract_deps(const Json& rule) {
  std::vector<DepEdge> edges;
  if (const Json* body = rule.get("body")) collect_deps(*body, std::string(head_name(rule)), edges);
  return edges;
}

DependencyGraph build_graph(const std::vector<DepEdge>& edges) {
  DependencyGraph graph;
  for (const DepEdge& edge : edges) graph.add_edge(edge.from, edge.to, edge.negated);
  return graph;
}

DependencyGraph build_dep_graph(const std::vector<const Json*>& rules) {
  std::vector<DepEdge> edges;
  for (const Json* rule : rules) {
    std::vector<DepEdge> mine = extract_deps(*rule);
    edges.insert(edges.end(), std::make_move_iterator(mine.begin()), std::make_move_iterator(mine.end()));
  }
  return build_graph(edges);
}

}  // namespace mirtova
