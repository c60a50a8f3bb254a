// Proving predicates empty by sweeps over the rules, and taking them out.
#include "compiler/functors/empty_removal.h"

#include <map>
#include <vector>

#include "compiler/functors/tree_walks.h"

namespace mirtova {

namespace {

// Whether the tree names a member of `empty`, not looking into a call inside a
// combine or a predicate passed as a value.
bool names_any(const Json& tree, const NameSet& empty) {
  std::vector<const Json*> stack{&tree};
  while (!stack.empty()) {
    const Json* node = stack.back();
    stack.pop_back();
    if (node->is_array()) {
      for (const Json& item : node->as_array()) stack.push_back(&item);
    } else if (node->is_object()) {
      const Json* name = node->get("predicate_name");
      if (name != nullptr && name->is_str() && empty.count(name->as_str()) != 0) return true;
      for (const auto& [key, value] : node->as_object()) {
        if (key == "the_predicate" || key == "combine" || key == "satellites") continue;
        stack.push_back(&value);
      }
    }
  }
  return false;
}

bool calls_any(const Json& rule, const NameSet& empty) {
  if (const Json* body = rule.get("body")) {
    if (names_any(*body, empty)) return true;
  }
  const Json* record = rule.at("head").get("record");
  return record != nullptr && names_any(*record, empty);
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
