// A depth-first search with colours over the predicate dependency graph, with
// an explicit stack: a chain of many thousands of predicates is common.
#include "compiler/functors/dependency_cycles.h"

#include <map>
#include <string>
#include <utility>

#include "compiler/functors/tree_walks.h"
#include "parser/tree_access.h"

namespace mirtova {

bool has_dependency_cycle(const std::vector<Json>& rules) {
  std::map<std::string, NameSet, std::less<>> callees;
  for (const Json& rule : rules) {
    if (rule.get("head") == nullptr) continue;
    NameSet& mine = callees[head_name(rule)];
    if (const Json* body = rule.get("body")) mine.merge(extract_predicate_names(*body));
    if (const Json* record = rule.at("head").get("record")) mine.merge(extract_predicate_names(*record));
  }
  enum class Colour { Open, Done };
  std::map<std::string_view, Colour> colour;
  using Frame = std::pair<const NameSet*, NameSet::const_iterator>;
  for (const auto& [root, root_callees] : callees) {
    if (colour.count(root) != 0) continue;
    colour[root] = Colour::Open;
    std::vector<std::pair<std::string_view, Frame>> stack = {{root, {&root_callees, root_callees.begin()}}};
    while (!stack.empty()) {
      auto& [name, frame] = stack.back();
      if (frame.second == frame.first->end()) {
        colour[name] = Colour::Done;
        stack.pop_back();
        continue;
      }
      const std::string& next = *frame.second++;
      auto found = callees.find(next);
      if (found == callees.end()) continue;  // a table, not a rule head
      auto seen = colour.find(next);
      if (seen != colour.end()) {
        if (seen->second == Colour::Open) return true;
        continue;
      }
      colour[next] = Colour::Open;
      stack.push_back({found->first, {&found->second, found->second.begin()}});
    }
  }
  return false;
}

}  // namespace mirtova
