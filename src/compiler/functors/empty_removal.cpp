// Proving predicates empty by sweeps over the rules, and taking them out.
#include "compiler/functors/empty_removal.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <vector>

#include "compiler/functors/tree_walks.h"

namespace mirtova {

namespace {

// Appends every name the tree holds under "predicate_name", not looking into a
// call inside a combine or a predicate passed as a value.
void add_called_names(const Json& tree, std::vector<std::string_view>& names) {
  for_each_predicate_name(
      tree,
      [](std::string_view key) { return key == "the_predicate" || key == "combine" || key == "satellites"; },
      [&](std::string_view name) { names.push_back(name); });
}

// A rule's head and the names its body and head record call, read once so
// that each sweep only looks names up.
struct CallsOfRule {
  std::string_view head;
  std::vector<std::string_view> calls;
};

}  // namespace

NameSet predicates_proven_empty(const std::vector<Json>& rules) {
  std::vector<CallsOfRule> read;
  for (const Json& rule : rules) {
    if (!rule.has("head")) continue;
    CallsOfRule calls{head_name(rule), {}};
    if (const Json* body = rule.get("body")) add_called_names(*body, calls.calls);
    if (const Json* record = rule.at("head").get("record")) add_called_names(*record, calls.calls);
    read.push_back(std::move(calls));
  }
  NameSet empty{"nil"};
  for (;;) {
    std::map<std::string_view, size_t> live;
    for (const CallsOfRule& rule : read) {
      const bool calls_empty = std::any_of(rule.calls.begin(), rule.calls.end(), [&](std::string_view name) {
        return empty.count(std::string(name)) != 0;
      });
      live[rule.head] += calls_empty ? 0 : 1;
    }
    bool grew = false;
    for (const auto& [name, count] : live) {
      if (count == 0 && empty.emplace(name).second) grew = true;
    }
    if (!grew) return empty;
  }
}

Result<Unit, CompileError> nullify_rules_proven_to_be_nil(std::vector<Json>& rules, GeneratedNames* names) {
  const NameSet empty = predicates_proven_empty(rules);
  for (const std::string& name : empty) {
    if (name == "nil") continue;
    const std::string nullified = names ? names->make("Nullified" + name, name) : "Nullified" + name;
    for (Json& rule : rules) {
      if (!rule.has("head")) continue;
      const std::string head(head_name(rule));
      if (head == name) {
        rule.at_mut("head").set("predicate_name", nullified);
      } else if (head.empty() || head[0] != '@') {
        walk_replace_predicate(rule, name, "nil");
      }
    }
    if (name.find('_') == std::string::npos)
      return CompileError(
          "Predicate " + name +
              " was proven to be empty. Most likely initial base condition of recursion is missing, "
              "or flat recursion is not given enough steps.",
          name);
  }
  return Unit{};
}

Result<Unit, CompileError> remove_rules_proven_to_be_nil(Functors& index) {
  TRY_VOID(nullify_rules_proven_to_be_nil(index.rules, &index.names));
  index.rules_by_predicate.clear();
  index.predicates.clear();
  index.indexed_rule_count = 0;
  index.update_structure("nil");
  return Unit{};
}

}  // namespace mirtova
