// Walks over syntax trees that find and rename predicates. They use explicit
// stacks, so a deep tree cannot exhaust the call stack.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/functors/functors.h"
#include "parser/json.h"

namespace mirtova {

// Calls visit(name) for every text held under a "predicate_name" key, in walk
// order, not looking into the value of a key for which skip(key) holds.
template <class Skip, class Visit>
void for_each_predicate_name(const Json& tree, Skip&& skip, Visit&& visit) {
  std::vector<const Json*> stack{&tree};
  while (!stack.empty()) {
    const Json* node = stack.back();
    stack.pop_back();
    if (node->is_array()) {
      for (const Json& item : node->as_array()) stack.push_back(&item);
    } else if (node->is_object()) {
      for (const auto& [key, value] : node->as_object()) {
        if (key == "predicate_name" && value.is_str()) visit(value.as_str());
        if (skip(key)) continue;
        stack.push_back(&value);
      }
    }
  }
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
