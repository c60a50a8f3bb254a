// Generated names that never coincide with a program's own, and their origins.
#include "compiler/functors/generated_names.h"

#include <optional>

#include "compiler/functors/tree_walks.h"
#include "parser/tree_access.h"

namespace mirtova {

void GeneratedNames::take_names_of(const std::vector<Json>& rules) {
  for (const Json& rule : rules) {
    for_each_predicate_name(
        rule, [](std::string_view) { return false; }, [&](std::string_view name) { taken_.emplace(name); });
  }
}

std::string GeneratedNames::make(const std::string& wanted, const std::string& origin) {
  std::string name = wanted;
  // Each name taken rules out one candidate at most, so this ends.
  for (size_t n = 1; taken_.count(name) != 0; ++n) name = wanted + "_" + std::to_string(n);
  add(name, origin);
  return name;
}

void GeneratedNames::add(const std::string& name, const std::string& origin) {
  taken_.insert(name);
  if (!origin.empty() && name != origin) origin_.emplace(name, origin);
}

std::string GeneratedNames::origin_of(const std::string& name) const {
  std::string at = name;
  // An origin was made before the names made from it, so the chain is no
  // longer than the map; the bound only guards against a cycle.
  for (size_t steps = 0; steps <= origin_.size(); ++steps) {
    auto it = origin_.find(at);
    if (it == origin_.end()) break;
    at = it->second;
  }
  return at;
}

std::vector<std::pair<std::string, std::string>> GeneratedNames::origins() const {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& [made, unused] : origin_) out.emplace_back(made, origin_of(made));
  return out;
}

size_t most_attempts(const NameSet& component, const GeneratedNames& names) {
  return (names.taken_count() + 1) * (component.size() + 1);
}

Stems stems_for(const NameSet& component, size_t attempt) {
  Stems stems;
  for (const std::string& member : component)
    stems[member] = attempt == 0 ? member : member + "_" + std::to_string(attempt);
  return stems;
}

const std::string& stem_of(const Stems& stems, const std::string& name) {
  auto it = stems.find(name);
  return it == stems.end() ? name : it->second;
}

std::optional<std::map<std::string, std::string>> names_made_by_unfolding(const std::vector<Json>& written,
                                                                          const NameSet& renamed,
                                                                          const NameSet& component,
                                                                          const Stems& stems,
                                                                          const GeneratedNames& names) {
  std::map<std::string, std::string> made;
  bool clash = false;
  std::map<std::string_view, const std::string*, std::less<>> member_of_stem;
  for (const std::string& member : component) member_of_stem.emplace(stem_of(stems, member), &member);
  // The member whose stem and "_" begin the name, the longest such stem winning.
  auto consider = [&](const std::string& name, bool member_allowed) {
    if (member_allowed && component.count(name) != 0) return;
    for (size_t cut = name.rfind('_'); cut != std::string::npos && cut > 0; cut = name.rfind('_', cut - 1)) {
      auto member = member_of_stem.find(std::string_view(name).substr(0, cut));
      if (member == member_of_stem.end()) continue;
      if (names.is_taken(name)) clash = true;
      made.emplace(name, *member->second);
      return;
    }
  };
  NameSet defined;  // by a functor statement: each name once
  for (const Json& rule : written) {
    for_each_predicate_name(
        rule, [](std::string_view) { return false; },
        [&](std::string_view name) { consider(std::string(name), true); });
    if (head_name(rule) == "@Make") {
      if (std::optional<std::string> target = made_predicate(rule); target && !defined.insert(*target).second)
        clash = true;
    }
  }
  for (const std::string& name : renamed) {
    if (component.count(name) != 0) clash = true;
    consider(name, false);
  }
  if (clash) return std::nullopt;
  return made;
}

}  // namespace mirtova
