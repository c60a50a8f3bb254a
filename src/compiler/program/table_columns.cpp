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

TableColumns TableColumns::collect(const std::vector<Json>& rules,
                                   const std::function<bool(std::string_view)>& is_table) {
  TableColumns out;
  out.add_rules(rules, is_table);
  return out;
}

void TableColumns::add_rules(const std::vector<Json>& rules,
                             const std::function<bool(std::string_view)>& is_table) {
  auto add = [&](const std::string& column, const std::string& table) {
    if (column != "*") tables_of_column_[ascii_lower(column)].insert(table);
  };
  for (const Json& rule : rules) {
    const std::string& head = head_name(rule);
    if (!head.empty() && head[0] != '@')
      for (const std::string& c : head_columns(rule)) add(c, head);
    for_each_call(rule, [&](const std::string& name, const Json& call) {
      if (!is_table(name)) return;
      for (const Json& f : call_fields(call)) add(field_column(f), name);
    });
  }
}

void TableColumns::share(std::shared_ptr<const TableColumns> shared) { shared_ = std::move(shared); }

std::map<std::string, std::vector<std::string>, std::less<>> TableColumns::calls_of(
    const std::vector<Json>& rules, const std::function<bool(std::string_view)>& keep) {
  std::map<std::string, std::vector<std::string>, std::less<>> out;
  for (const Json& rule : rules) {
    for_each_call(rule, [&](const std::string& name, const Json& call) {
      if (!keep(name)) return;
      std::vector<std::string>& columns = out[name];
      for (const Json& f : call_fields(call)) columns.push_back(field_column(f));
    });
  }
  return out;
}

void TableColumns::add_columns(const std::string& table, const std::vector<std::string>& columns) {
  for (const std::string& column : columns)
    if (column != "*") tables_of_column_[ascii_lower(column)].insert(table);
}

std::set<std::string, std::less<>> TableColumns::tables_in_reach(const Json& rule) {
  std::set<std::string, std::less<>> out;
  if (const Json* head = rule.get("head"))
    if (const Json* name = head->get("predicate_name"); name != nullptr && name->is_str())
      out.insert(name->as_str());
  for_each_call(rule, [&](const std::string& name, const Json&) { out.insert(name); });
  return out;
}

bool TableColumns::has_numbered_alias_name() const {
  if (shared_ && shared_->has_numbered_alias_name()) return true;
  // ':' follows '9': the keys from "t_0" up to it start with "t_" and a digit.
  auto first = tables_of_column_.lower_bound(std::string_view("t_0"));
  return first != tables_of_column_.end() && first->first < std::string_view("t_:");
}

bool TableColumns::is_column_of(const std::string& lower,
                                const std::set<std::string, std::less<>>& tables) const {
  if (shared_ && shared_->is_column_of(lower, tables)) return true;
  auto found = tables_of_column_.find(lower);
  if (found == tables_of_column_.end()) return false;
  const std::set<std::string, std::less<>>& having = found->second;
  // Walks the smaller of the two, looking each up in the other.
  const auto& walked = having.size() < tables.size() ? having : tables;
  const auto& looked_in = having.size() < tables.size() ? tables : having;
  for (const std::string& table : walked)
    if (looked_in.count(table)) return true;
  return false;
}

}  // namespace mirtova
