// Rewrites of a rule's tree made before it is translated: combine decoration,
// elimination of compiler variables, and the variable walks they share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/expr_translate/subquery_translator.h"
#include "parser/json.h"
#include "parser/tree_walk.h"

namespace mirtova {

// The key of an inclusion spliced from a callee in whose own rule it ranges
// over a list that may repeat a value; it holds a fresh variable's name. Where
// the element is bound before the inclusion is read, the list still ranges, in
// that variable, and the element must equal it: a row for each time the list
// holds the value, as the callee's own rows would, not one test of membership.
inline constexpr std::string_view kRangesAs = "ranges_as";

// Wraps the argument of the combine head's aggregation in MagicalEntangle(argument, var)
// and adds the conjunct `var in [0]`, so that engines which would otherwise fold
// the sub-query see the aggregate tied to a row of its own FROM list.
Json decorate_combine_rule(Json combine, const std::string& var);

// The levels a rewritten rule may reach: `floor`, or the depth of `original`
// when more. Most rewritten rules stay below the floor, so the original is
// measured only when one passes it.
class DepthBound {
 public:
  DepthBound(size_t floor = SIZE_MAX, const Json* original = nullptr) : floor_(floor), original_(original) {}
  bool passed_by(size_t depth) const {
    if (depth <= floor_) return false;
    if (original_ == nullptr) return true;
    if (!own_) own_ = tree_extent(*original_).depth;
    return depth > *own_;
  }

 private:
  size_t floor_;
  const Json* original_;
  mutable std::optional<size_t> own_;
};

// Removes the unifications that bind compiler variables ("x_" names), putting
// the other side in every place the variable stood; the variables of `fixed`
// (those of the rule around a combine translated on its own) are never removed.
// False, with the rule left part-way, when that would grow it past `max_nodes`
// nodes or `max_depth` levels.
// `extent`, when given, is the rule's as the caller last measured it, or a bound of it.
bool eliminate_compiler_variables(Json& rule, size_t max_nodes = SIZE_MAX, const DepthBound& max_depth = {},
                                  const Vocabulary* fixed = nullptr,
                                  std::optional<TreeExtent> extent = std::nullopt);

// Whether the tree mentions the variable.
bool contains_variable(const Json& node, std::string_view name);
// Replaces each mention of the variable by a copy of `replacement`; answers how many.
size_t substitute_variable(Json& node, std::string_view name, const Json& replacement);
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
  // In document order: the fresh names are handed out in the order the
  // variables are first met. A rule has a few variables, met many times: each
  // new name is made once as a node, which its copies share, and found again
  // by a scan rather than by building the old name to look it up.
  std::vector<std::pair<const std::string*, Json>> given;
  for (const auto& [old_name, new_name] : rename) given.emplace_back(&old_name, Json(new_name));
  walk_tree_mut(node, [&](Json& object) {
    Json* v = object.get_mut("variable");
    Json* name_node = v != nullptr ? v->get_mut("var_name") : nullptr;
    if (name_node == nullptr) return Walk::Enter;
    if (name_node->var_name_is("_")) return Walk::Skip;
    auto it = std::find_if(given.begin(), given.end(),
                           [&](const auto& entry) { return name_node->var_name_is(*entry.first); });
    if (it == given.end()) {
      std::string fresh_name = fresh();
      Json fresh_node(fresh_name);
      auto added = rename.emplace(name_node->as_var_name(), std::move(fresh_name)).first;
      given.emplace_back(&added->first, std::move(fresh_node));
      it = given.end() - 1;
    }
    *name_node = it->second;
    return Walk::Skip;
  });
}

}  // namespace mirtova
