#include "compiler/program/injection_size.h"

#include <set>
#include <vector>

namespace mirtova {

namespace {

// A rule's own nodes and every predicate it names (its own head too), with
// repeats: each call is injected on its own.
struct Footprint {
  size_t nodes = 0;
  std::vector<std::string_view> calls;
};

// One pass over every node, in document order (an object before its values,
// those in key order; an array's items in order): the order a walk meets the
// names in.
Footprint footprint_of(const Json& rule) {
  Footprint footprint;
  std::vector<const Json*> stack;
  stack.reserve(64);
  stack.push_back(&rule);
  while (!stack.empty()) {
    const Json& node = *stack.back();
    stack.pop_back();
    ++footprint.nodes;
    if (node.is_array()) {
      const Json::ArrayType& items = node.as_array();
      for (auto it = items.rbegin(); it != items.rend(); ++it) stack.push_back(&*it);
    } else if (node.is_object()) {
      if (const Json* name = node.get("predicate_name"); name != nullptr && name->is_str())
        footprint.calls.push_back(name->as_str());
      const Json::ObjectType& entries = node.as_object();
      for (auto it = entries.end(); it != entries.begin();) stack.push_back(&(--it)->second);
    }
  }
  return footprint;
}

}  // namespace

bool InjectionSizes::within_bound(std::string_view predicate, const RuleOf& rule_of) {
  return expanded_size(predicate, rule_of) <= kMaxInjectedNodes;
}

size_t InjectionSizes::expanded_size(std::string_view predicate, const RuleOf& rule_of) {
  if (auto known = expanded_.find(predicate); known != expanded_.end()) return known->second;
  // Depth-first over the calls with a stack of its own: a chain of predicates
  // may be as long as the program. A predicate met again while under way (a
  // recursion) adds nothing; it is never injected into itself.
  struct Frame {
    std::string name;
    Footprint footprint;
    size_t next = 0;
    size_t total = 0;
  };
  std::vector<Frame> stack;
  std::set<std::string, std::less<>> under_way;
  auto open = [&](std::string_view name, const Json& rule) {
    Frame frame{std::string(name), footprint_of(rule), 0, 0};
    frame.total = frame.footprint.nodes;
    under_way.insert(frame.name);
    stack.push_back(std::move(frame));
  };
  // A callee past the bound is read as a table: one call's worth of nodes.
  auto share = [](size_t size) { return size <= kMaxInjectedNodes ? size : 0; };
  const Json* root = rule_of(predicate);
  if (!root) return 0;
  open(predicate, *root);
  while (true) {
    Frame& frame = stack.back();
    if (frame.next == frame.footprint.calls.size()) {
      const size_t total = frame.total;
      under_way.erase(frame.name);
      expanded_.emplace(std::move(frame.name), total);
      stack.pop_back();
      if (stack.empty()) return total;
      stack.back().total += share(total);
      continue;
    }
    const std::string_view callee = frame.footprint.calls[frame.next++];
    if (auto known = expanded_.find(callee); known != expanded_.end()) {
      frame.total += share(known->second);
      continue;
    }
    if (under_way.count(callee) > 0) continue;
    if (const Json* rule = rule_of(callee)) open(callee, *rule);
  }
}

}  // namespace mirtova
