// Proving predicates empty by sweeps over the rules, and taking them out.
#include "compiler/functors/empty_removal.h"

#include <map>

#include "compiler/functors/tree_walks.h"

namespace mirtova {

namespace {

bool calls_any(const Json& rule, const NameSet& empty) {
  const std::set<std::string> taboo_keys = {"the_predicate", "combine", "satellites"};
  if (const Json* body = rule.get("body")) {
    if (!walk_with_taboo(*body, empty, taboo_keys).empty()) return true;
  }
  const Json* record = rule.at("head").get("record");
  return record != nullptr && !walk_with_taboo(*record, empty, taboo_keys).empty();
}

}  // namespace

NameSet predicates_proven_empty(const std::vector<Json>& rules) {
  NameSet empty{"nil"};
  for (;;) {
    std::map<std::string, size_t> live;
    for (const Json& rule : rules) {
      if (!rule.has("head")) continue;
      live[head_name(rule)] += calls_any(rule, empty) ? 0 : 1;
    }
    bool grew = false;
    for (const auto& [name, count] : live) {
      if (count == 0 && empty.insert(name).second) grew = true;
    }
    if (!grew) return empty;
  }
}

Result<Unit, CompileError> nullify_rules_proven_to_be_nil(std::vector<Json>& rules) {
  const NameSet empty = predicates_proven_empty(rules);
  for (const std::string& name : empty) {
    if (name == "nil") continue;
    for (Json& rule : rules) {
      if (!rule.has("head")) continue;
      const std::string& head = head_name(rule);
      if (head == name) {
        rule.at_mut("head").set("predicate_name", "Nullified" + name);
      } else if (head.empty() || head[0] != '@') {
        walk_replace_predicate(rule, name, "nil");
      }
    }
    if (name.find('_') == std::string::npos)
      return CompileError("Predicate " + name +
                              " was proven to be empty. Most likely initial base condition of recursion is missing, "
                              "or flat recursion is not given enough steps.",
                          name);
  }
  return Unit{};
}

Result<Unit, CompileError> remove_rules_proven_to_be_nil(Functors& index) {
  TRY_VOID(nullify_rules_proven_to_be_nil(index.rules));
  index.rules_by_predicate.clear();
  index.predicates.clear();
  index.indexed_rule_count = 0;
  index.update_structure("nil");
  return Unit{};
}

}  // namespace mirtova
