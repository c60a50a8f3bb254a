// The dependency graph: components and their orders, the calls of rules with
// their negations, and the mentioned-names graph the recursion passes read.
#include "compiler/functors/dependency_graph.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/parse_file.h"

namespace mirtova {
namespace {

// Components as "[members] " in output order, a "*" after a recursive one.
std::string components_text(const DependencyGraph& graph) {
  std::string out;
  for (const Component& component : strongly_connected_components(graph)) {
    out += "[";
    for (size_t i = 0; i < component.size(); ++i) out += (i > 0 ? " " : "") + graph.name(component[i]);
    out += is_recursive(graph, component) ? "]* " : "] ";
  }
  return out;
}

TEST(DependencyGraph, ComponentsInCompletionOrder) {
  struct Row {
    std::vector<std::pair<const char*, const char*>> edges;
    const char* components;
  };
  const Row rows[] = {
      {{{"A", "B"}, {"B", "C"}}, "[C] [B] [A] "},
      {{{"A", "B"}, {"B", "A"}}, "[B A]* "},
      {{{"P", "P"}, {"Q", "P"}}, "[P]* [Q] "},
      // Searches start in order of first appearance: X's component completes first.
      {{{"X", "Y"}, {"Y", "X"}, {"Z", "X"}, {"Z", "Z"}}, "[Y X]* [Z]* "},
      {{{"A", "B"}, {"B", "C"}, {"C", "A"}, {"C", "D"}, {"D", "E"}, {"E", "D"}}, "[E D]* [C B A]* "},
  };
  for (const Row& row : rows) {
    DependencyGraph graph;
    for (const auto& [from, to] : row.edges) graph.add_edge(from, to);
    EXPECT_EQ(components_text(graph), row.components) << row.components;
  }
}

TEST(DependencyGraph, LongChainsNeedNoCallStack) {
  constexpr size_t kLength = 100000;
  DependencyGraph graph;
  for (size_t i = 0; i + 1 < kLength; ++i)
    graph.add_edge("P" + std::to_string(i), "P" + std::to_string(i + 1));
  graph.add_edge("P" + std::to_string(kLength - 1), "P0");
  const std::vector<Component> components = strongly_connected_components(graph);
  ASSERT_EQ(components.size(), 1u);
  EXPECT_EQ(components[0].size(), kLength);
  EXPECT_EQ(components[0].back(), 0u);  // the root leaves the stack last
}

// A program's call edges as "from>to", "~" marking a negated one.
std::vector<std::string> call_edges(const std::string& program) {
  auto parsed = parse_file(program);
  EXPECT_TRUE(parsed.ok()) << program;
  std::vector<std::string> out;
  if (!parsed.ok()) return out;
  for (const Json& rule : parsed.value().at("rule").as_array())
    for (const DepEdge& edge : extract_deps(rule))
      out.push_back(edge.from + ">" + (edge.negated ? "~" : "") + edge.to);
  return out;
}

TEST(DependencyGraph, CallsOfRules) {
  struct Row {
    const char* program;
    std::vector<std::string> edges;
  };
  const Row rows[] = {
      {"P(x) :- Q(x), ~P(x);", {"P>Q", "P>~P"}},
      {"A(x) :- B(x), ~(C(x), ~D(x)), E(x);", {"A>B", "A>~C", "A>~IsNull", "A>E"}},
      // A disjunct is read through its conjunction: a lone call written as a
      // disjunct has none.
      {"A(x) :- B(x), ~((C(x), E(x)) | D(x));", {"A>B", "A>~C", "A>~E"}},
      // An aggregation is no call of the rule's own: its predicates give no edge
      // (the equation is a call of "=").
      {"A(x) :- B(x), x = Sum{y :- C(y)};", {"A>B", "A>="}},
      {"F(1); G(x) :- x == 2;", {}},
      // A disjunction of the body is split into rules before anything reads it.
      {"A(x) :- B(x) | ~C(x);", {"A>B", "A>~C"}},
  };
  for (const Row& row : rows) EXPECT_EQ(call_edges(row.program), row.edges) << row.program;
}

TEST(DependencyGraph, GraphOfCallsKeepsEveryEdge) {
  auto parsed = parse_file("A(x) :- B(x), B(x), ~A(x); B(x) :- T(x);");
  ASSERT_TRUE(parsed.ok());
  std::vector<const Json*> rules;
  for (const Json& rule : parsed.value().at("rule").as_array()) rules.push_back(&rule);
  const DependencyGraph graph = build_dep_graph(rules);
  ASSERT_EQ(graph.size(), 3u);  // A, B, T: T only as a callee
  EXPECT_EQ(graph.name(2), "T");
  const auto& edges = graph.successors(*graph.find("A"));
  ASSERT_EQ(edges.size(), 3u);
  EXPECT_FALSE(edges[1].negated);
  EXPECT_TRUE(edges[2].negated);
  EXPECT_EQ(components_text(graph), "[T] [B] [A]* ");
}

TEST(DependencyGraph, MentionedNamesIncludeValuesAndHeads) {
  auto parsed = parse_file("A(x, f: B) :- C(x); D(x) :- A(x);");
  ASSERT_TRUE(parsed.ok());
  std::vector<Json> rules = parsed.value().at("rule").as_array();
  const DependencyGraph graph = mentioned_names_graph(rules);
  std::vector<std::string> names;
  for (size_t node = 0; node < graph.size(); ++node) names.push_back(graph.name(node));
  EXPECT_EQ(names, (std::vector<std::string>{"A", "C", "B", "D"}));
}

}  // namespace
}  // namespace mirtova
