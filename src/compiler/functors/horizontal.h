// The flat styles: a component as a stack of copies of its one-step form
// ("_fr" levels), or as a few "_ifr" levels that an @Iteration loop runs again.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "compiler/functors/functors.h"
#include "compiler/functors/generated_names.h"
#include "parser/json.h"

namespace mirtova {

// The members that are not auxiliary predicates, in byte order.
std::vector<std::string> visible_members(const NameSet& component);

// For each visible member, the visible members its rules name directly or
// through one auxiliary predicate.
std::map<std::string, NameSet> flat_dependencies(const std::map<std::string, NameSet>& direct_args,
                                                 const NameSet& component);

// The component's rules become "{0}_ROne" with calls of visible members as
// "{0}_RZero"; annotations naming a member name its "{0}_ROne", except those
// that keep naming the member (see renames_within_annotation).
// The names made are built on each member's stem (its own name by default).
void rewrite_for_flat(std::vector<Json>& rules, const NameSet& component, const Stems& stems = {});

// The same, visiting only the rules at `positions`, which must hold every rule
// the rewrite changes (see RewriteCandidates).
void rewrite_for_flat(std::vector<Json>& rules, const std::vector<size_t>& positions,
                      const NameSet& component, const Stems& stems = {});

// Levels 0 to depth of each visible member, each followed by its @Ground when
// `grounded`, and the member defined as its last level.
std::string flat_form_text(const std::map<std::string, NameSet>& dependencies, int64_t depth, bool grounded,
                           const Stems& stems = {});

// Levels 0 to ignition - 1 of each visible member and the @Iteration line that
// repeats the last two but one.
std::string iterative_form_text(const std::map<std::string, NameSet>& dependencies, int64_t depth,
                                int64_t ignition, const std::optional<std::string>& stop_signal,
                                const Stems& stems = {});

}  // namespace mirtova
