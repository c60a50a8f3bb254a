// Column names by table, gathered from heads and calls.
#include "compiler/program/table_columns.h"

#include <algorithm>

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
    // A variable's name holds no call.
    if (key == "variable") return Walk::Skip;
    if (key == "predicate" || key == "call")
      if (const Json* name = node.get("predicate_name"); name != nullptr && name->is_str())
        visit(name->as_str(), node);
    return Walk::Enter;
  });
}

}  // namespace

TableColumns TableColumns::collect(const std::vector<Json>& rules,
                                   const std::function<bool(std::string_view)>& is_table) {
  TableColumns out;
  out.add_rules(rules, is_table);
  return out;
}

TableColumns TableColumns::collect(const std::vector<Json>& rules,
                                   const std::function<bool(std::string_view)>& is_table,
                                   const Mentions& mentions) {
  TableColumns out;
  out.add_rules(rules, is_table, &mentions);
  return out;
}

void TableColumns::add(std::string_view column, std::string_view table, std::string& lower) {
  if (column == "*") return;
  lower.assign(column);
  for (char& c : lower) c = ascii_lower(c);
  if (lower.size() > 2 && lower[0] == 't' && lower[1] == '_' && lower[2] >= '0' && lower[2] <= '9')
    numbered_alias_name_ = true;
  auto number = column_numbers_.find(lower);
  if (number == column_numbers_.end())
    number = column_numbers_.emplace(lower, static_cast<uint32_t>(column_numbers_.size())).first;
  if (auto wide = wide_tables_.find(table); wide != wide_tables_.end()) {
    wide->second.insert(number->second);
    return;
  }
  auto at = set_of_table_.try_emplace(table, 0).first;
  const std::vector<uint32_t>& columns = column_sets_[at->second];
  if (std::binary_search(columns.begin(), columns.end(), number->second)) return;
  if (columns.size() < kMostSharedColumns) {
    at->second = with_column(at->second, number->second);
    return;
  }
  std::unordered_set<uint32_t>& own = wide_tables_[table];
  own.insert(columns.begin(), columns.end());
  own.insert(number->second);
  set_of_table_.erase(at);
}

uint32_t TableColumns::with_column(uint32_t set, uint32_t column) {
  const uint64_t step = uint64_t{set} << 32 | column;
  if (auto known = grown_sets_.find(step); known != grown_sets_.end()) return known->second;
  std::vector<uint32_t> grown = column_sets_[set];
  grown.insert(std::upper_bound(grown.begin(), grown.end(), column), column);
  auto [found, fresh] = set_numbers_.try_emplace(grown, static_cast<uint32_t>(column_sets_.size()));
  if (fresh) column_sets_.push_back(std::move(grown));
  grown_sets_.emplace(step, found->second);
  return found->second;
}

void TableColumns::add_rules(const std::vector<Json>& rules,
                             const std::function<bool(std::string_view)>& is_table,
                             const Mentions* mentions) {
  std::string lower;
  auto add_call = [&](std::string_view name, const Json& call) {
    if (!is_table(name)) return;
    for (const Json& f : call_fields(call)) add(field_column(f), name, lower);
  };
  for (size_t at = 0; at < rules.size(); ++at) {
    const Json& rule = rules[at];
    const std::string_view head = head_name(rule);
    if (!head.empty() && head[0] != '@')
      for (const std::string& c : head_columns(rule)) add(c, head, lower);
    if (mentions == nullptr) {
      for_each_call(rule, add_call);
      continue;
    }
    walk_tree(rule, [&](const Json& node, std::string_view key) {
      if (key == "variable") {
        // A variable's name holds no predicate name.
        if (const Json* name = node.get("var_name"); name != nullptr && name->is_str())
          mentions->variable(at, name->as_str());
        return Walk::Skip;
      }
      const Json* name = node.get("predicate_name");
      if (name == nullptr || !name->is_str()) return Walk::Enter;
      mentions->named(at, name->as_str());
      if (key == "predicate" || key == "call") add_call(name->as_str(), node);
      return Walk::Enter;
    });
  }
}

void TableColumns::share(std::shared_ptr<const TableColumns> shared) { shared_ = std::move(shared); }

std::map<std::string, std::vector<std::string>, std::less<>> TableColumns::calls_of(
    const std::vector<Json>& rules, const std::function<bool(std::string_view)>& keep) {
  std::map<std::string, std::vector<std::string>, std::less<>> out;
  for (const Json& rule : rules) {
    for_each_call(rule, [&](std::string_view name, const Json& call) {
      if (!keep(name)) return;
      std::vector<std::string>& columns = out[std::string(name)];
      for (const Json& f : call_fields(call)) columns.push_back(field_column(f));
    });
  }
  return out;
}

void TableColumns::add_columns(const std::string& table, const std::vector<std::string>& columns) {
  std::string lower;
  const std::string_view kept = own_names_.emplace_back(table);
  for (const std::string& column : columns) add(column, kept, lower);
}

std::vector<std::string> TableColumns::tables_in_reach(const Json& rule) {
  // Names are gathered as views into the rule, and only the distinct ones copied.
  std::vector<std::string_view> names;
  if (const Json* head = rule.get("head"))
    if (const Json* name = head->get("predicate_name"); name != nullptr && name->is_str())
      names.push_back(name->as_str());
  for_each_call(rule, [&](std::string_view name, const Json&) { names.emplace_back(name); });
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return std::vector<std::string>(names.begin(), names.end());
}

bool TableColumns::has_numbered_alias_name() const {
  return numbered_alias_name_ || (shared_ && shared_->has_numbered_alias_name());
}

bool TableColumns::is_any_column(const std::string& lower) const {
  return (shared_ && shared_->is_any_column(lower)) || column_numbers_.contains(lower);
}

bool TableColumns::is_column_of(const std::string& lower, const std::vector<std::string>& tables) const {
  if (shared_ && shared_->is_column_of(lower, tables)) return true;
  auto number = column_numbers_.find(lower);
  if (number == column_numbers_.end()) return false;
  for (const std::string& table : tables) {
    if (auto wide = wide_tables_.find(std::string_view(table)); wide != wide_tables_.end()) {
      if (wide->second.contains(number->second)) return true;
      continue;
    }
    auto found = set_of_table_.find(std::string_view(table));
    if (found == set_of_table_.end()) continue;
    const std::vector<uint32_t>& columns = column_sets_[found->second];
    if (std::binary_search(columns.begin(), columns.end(), number->second)) return true;
  }
  return false;
}

}  // namespace mirtova
