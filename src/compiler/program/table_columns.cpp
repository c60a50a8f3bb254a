// Column names by table, gathered from heads and calls.
#include "compiler/program/table_columns.h"

#include "common/strings.h"
#include "compiler/rule_translate/rule_translate.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"

namespace mirtova {

namespace {

// Calls every visit(name, call) for the calls of a tree: body conjuncts and
// calls inside expressions, combines' included.
template <class Visit>
void for_each_call(const Json& tree, Visit&& visit) {
  walk_tree(tree, [&](const Json& node, std::string_view key) {
    if (key == "predicate" || key == "call")
      if (const Json* name = node.get("predicate_name"); name != nullptr && name->is_str())
        visit(name->as_str(), node);
  });
}

}  // namespace

TableColumns collect_table_columns(const std::vector<Json>& rules,
                                   const std::function<bool(std::string_view)>& is_table) {
  TableColumns out;
  for (const Json& rule : rules) {
    const std::string& head = head_name(rule);
    if (!head.empty() && head[0] != '@') {
      std::set<std::string>& columns = out[head];
      for (const std::string& c : head_columns(rule))
        if (c != "*") columns.insert(ascii_lower(c));
    }
    for_each_call(rule, [&](const std::string& name, const Json& call) {
      if (!is_table(name)) return;
      std::set<std::string>& columns = out[name];
      for (const Json& f : call_fields(call)) {
        std::string c = field_column(f);
        if (c != "*") columns.insert(ascii_lower(c));
      }
    });
  }
  return out;
}

std::set<std::string> columns_in_reach(const Json& rule, const TableColumns& tables) {
  std::set<std::string> out;
  auto add = [&](std::string_view name) {
    auto it = tables.find(name);
    if (it != tables.end()) out.insert(it->second.begin(), it->second.end());
  };
  if (const Json* head = rule.get("head"))
    if (const Json* name = head->get("predicate_name"); name != nullptr && name->is_str())
      add(name->as_str());
  for_each_call(rule, [&](const std::string& name, const Json&) { add(name); });
  return out;
}

}  // namespace mirtova
