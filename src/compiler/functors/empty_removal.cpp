// Proving predicates empty by sweeps over the rules, and taking them out.
#include "compiler/functors/empty_removal.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "compiler/functors/tree_walks.h"

namespace mirtova {

namespace {

// Calls `visit` with every name the tree holds under "predicate_name", not
// looking into a call inside a combine or a predicate passed as a value.
template <typename Visit>
void for_each_called_name(const Json& tree, Visit&& visit) {
  for_each_predicate_name(
      tree,
      [](std::string_view key) { return key == "the_predicate" || key == "combine" || key == "satellites"; },
      visit);
}

// The names of a rule list by number, in order of first use: a long list's
// rules name few distinct predicates many times, and the sweeps then only count.
class NameNumbers {
 public:
  uint32_t of(std::string_view name) {
    auto [it, fresh] = numbers_.try_emplace(name, static_cast<uint32_t>(names_.size()));
    if (fresh) names_.push_back(name);
    return it->second;
  }
  std::string_view name(uint32_t number) const { return names_[number]; }
  uint32_t size() const { return static_cast<uint32_t>(names_.size()); }

 private:
  std::unordered_map<std::string_view, uint32_t> numbers_;
  std::vector<std::string_view> names_;
};

}  // namespace

NameSet predicates_proven_empty(const std::vector<Json>& rules) {
  // Each rule's head, and the names it calls, which end where the next rule's begin.
  NameNumbers numbers;
  const uint32_t nil = numbers.of("nil");
  std::vector<uint32_t> heads, calls, calls_begin;
  auto add_call = [&](std::string_view name) { calls.push_back(numbers.of(name)); };
  for (const Json& rule : rules) {
    if (!rule.has("head")) continue;
    heads.push_back(numbers.of(head_name(rule)));
    calls_begin.push_back(static_cast<uint32_t>(calls.size()));
    if (const Json* body = rule.get("body")) for_each_called_name(*body, add_call);
    if (const Json* record = rule.at("head").get("record")) for_each_called_name(*record, add_call);
  }
  calls_begin.push_back(static_cast<uint32_t>(calls.size()));

  std::vector<bool> empty(numbers.size(), false), is_head(numbers.size(), false);
  empty[nil] = true;
  for (uint32_t head : heads) is_head[head] = true;
  std::vector<uint32_t> live(numbers.size(), 0);
  for (bool grew = true; grew;) {
    std::fill(live.begin(), live.end(), 0);
    for (size_t r = 0; r < heads.size(); ++r) {
      const auto first = calls.begin() + static_cast<ptrdiff_t>(calls_begin[r]);
      const auto last = calls.begin() + static_cast<ptrdiff_t>(calls_begin[r + 1]);
      if (std::none_of(first, last, [&](uint32_t name) { return empty[name]; })) ++live[heads[r]];
    }
    grew = false;
    for (uint32_t name = 0; name < numbers.size(); ++name) {
      if (is_head[name] && live[name] == 0 && !empty[name]) empty[name] = grew = true;
    }
  }
  NameSet result;
  for (uint32_t name = 0; name < numbers.size(); ++name) {
    if (empty[name]) result.emplace(numbers.name(name));
  }
  return result;
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
