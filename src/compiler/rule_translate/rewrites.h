// Rewrites of a rule's tree made before it is translated: combine decoration,
// elimination of compiler variables, and the variable walks they share.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "parser/json.h"

namespace mirtova {

// Wraps the argument of the combine head's aggregation in MagicalEntangle(argument, var)
// and adds the conjunct `var in [0]`, so that engines which would otherwise fold
// the sub-query see the aggregate tied to a row of its own FROM list.
Json decorate_combine_rule(Json combine, const std::string& var);

// Removes the unifications that bind compiler variables ("x_" names), putting
// the other side in every place the variable stood.
void eliminate_compiler_variables(Json& rule);

// Whether the tree mentions the variable.
bool contains_variable(const Json& node, std::string_view name);
// Replaces each mention of the variable by a copy of `replacement`.
void substitute_variable(Json& node, std::string_view name, const Json& replacement);
// Renames every variable through `rename` (names missing from it get `fresh()`);
// "_" is left alone.
template <class Fresh>
void rename_variables(Json& node, std::map<std::string, std::string>& rename, Fresh&& fresh);
// Turns `{f: e, ...}.f` into `e` wherever a record literal is subscripted by one of its fields.
void simplify_record_subscripts(Json& node);
// The names of the variables the tree mentions ("_" excluded).
void collect_variables(const Json& node, std::set<std::string>& out);

template <class Fresh>
void rename_variables(Json& node, std::map<std::string, std::string>& rename, Fresh&& fresh) {
  if (node.is_array()) {
    for (Json& item : node.as_array_mut()) rename_variables(item, rename, fresh);
    return;
  }
  if (!node.is_object()) return;
  if (Json* v = node.get_mut("variable")) {
    if (Json* name_node = v->get_mut("var_name")) {
      std::string name = name_node->as_var_name();
      if (name == "_") return;
      auto it = rename.find(name);
      if (it == rename.end()) it = rename.emplace(name, fresh()).first;
      *name_node = Json(it->second);
      return;
    }
  }
  for (auto& [key, child] : node.as_object_mut())
    if (child.is_container()) rename_variables(child, rename, fresh);
}

}  // namespace mirtova
