// Walks over syntax trees that find and rename predicates. They use explicit
// stacks, so a deep tree cannot exhaust the call stack.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "compiler/functors/functors.h"
#include "parser/json.h"

namespace mirtova {

// Every text held under a "predicate_name" key anywhere in the tree.
NameSet extract_predicate_names(const Json& tree);

// The members of `names` held under a "predicate_name" key, not looking into
// the value of any key in `taboo_keys`.
NameSet walk_with_taboo(const Json& tree, const NameSet& names, const std::set<std::string>& taboo_keys);

// Renames, in place, every "predicate_name" equal to `old_name`; nothing else
// (texts, variable names, "full_text") changes.
void walk_replace_predicate(Json& tree, std::string_view old_name, std::string_view new_name);

}  // namespace mirtova
