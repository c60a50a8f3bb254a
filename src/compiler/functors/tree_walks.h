// Walks over syntax trees that find and rename predicates.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/functors/functors.h"
#include "parser/json.h"
#include "parser/tree_walk.h"

namespace mirtova {

// Calls visit(name) for every text held under a "predicate_name" key, in
// document order, not looking into the value of a key for which skip(key) holds.
template <class Skip, class Visit>
void for_each_predicate_name(const Json& tree, Skip&& skip, Visit&& visit) {
  walk_tree(tree, [&](const Json& node, std::string_view key) {
    if (skip(key)) return Walk::Skip;
    const Json* name = node.get("predicate_name");
    if (name != nullptr && name->is_str()) visit(name->as_str());
    return Walk::Enter;
  });
}

// Every text held under a "predicate_name" key anywhere in the tree.
NameSet extract_predicate_names(const Json& tree);

// The members of `names` held under a "predicate_name" key, not looking into
// the value of any key in `taboo_keys`.
NameSet walk_with_taboo(const Json& tree, const NameSet& names, const std::set<std::string>& taboo_keys);

// Renames, in place, every "predicate_name" equal to `old_name`; nothing else
// (texts, variable names, "full_text") changes.
void walk_replace_predicate(Json& tree, std::string_view old_name, std::string_view new_name);

}  // namespace mirtova
