// Walks over syntax trees that find and rename predicates.
#include "compiler/functors/tree_walks.h"

namespace mirtova {

namespace {

template <class Visit>
NameSet collect_names(const Json& tree, const std::set<std::string>* taboo_keys, Visit accept) {
  NameSet found;
  for_each_predicate_name(
      tree,
      [&](std::string_view key) { return taboo_keys != nullptr && taboo_keys->count(std::string(key)) != 0; },
      [&](std::string_view name) {
        if (accept(name)) found.emplace(name);
      });
  return found;
}

}  // namespace

NameSet extract_predicate_names(const Json& tree) {
  return collect_names(tree, nullptr, [](std::string_view) { return true; });
}

NameSet walk_with_taboo(const Json& tree, const NameSet& names, const std::set<std::string>& taboo_keys) {
  return collect_names(tree, &taboo_keys,
                       [&](std::string_view name) { return names.count(std::string(name)) != 0; });
}

void walk_replace_predicate(Json& tree, std::string_view old_name, std::string_view new_name) {
  walk_tree_mut(tree, [&](Json& node) {
    Json* name = node.get_mut("predicate_name");
    if (name != nullptr && name->is_str() && name->as_str() == old_name) *name = Json(new_name);
  });
}

}  // namespace mirtova
