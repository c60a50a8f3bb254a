// The rules that rewriting one recursive component can change, found without
// a pass over every rule for every component.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "compiler/functors/functors.h"
#include "parser/json.h"

namespace mirtova {

// Whether a rule with this head is an annotation that the component rewrites
// rename within: one starting with "@" other than @OrderBy, @Limit, @Make and
// @Ground, which keep naming the predicate itself. A user's @Ground stores the
// recursion's result: copied onto every level it would take the place of the
// levels' own @Ground lines, and with a table argument put every level into
// one table.
bool renames_within_annotation(std::string_view head);

// Positions in a rule list, by head and, for the annotations that the rewrites
// rename within, by every predicate they name. An entry may be out of date
// (the rule has since been renamed); it is never missing, as long as every
// rewritten rule is registered again and every appended rule registered.
class RewriteCandidates {
 public:
  explicit RewriteCandidates(const std::vector<Json>& rules);

  // In ascending order, each once: every rule headed by a member of
  // `component`, and every annotation renamed within that names a member. The
  // rewrites leave all other rules as they are: a rule headed elsewhere is
  // either no such annotation, or one naming no member, where renaming the
  // members one after another finds nothing to rename.
  std::vector<size_t> of_component(const std::vector<Json>& rules, const NameSet& component) const;

  // Registers the rules at `positions` (after a rewrite) and from `from` on.
  void refresh(const std::vector<Json>& rules, const std::vector<size_t>& positions, size_t from);

 private:
  void add(const std::vector<Json>& rules, size_t position);

  std::map<std::string, std::vector<size_t>, std::less<>> by_head_;
  std::map<std::string, std::vector<size_t>, std::less<>> annotations_naming_;
};

// Every position of `rules`, for rewrites asked to visit them all.
std::vector<size_t> all_positions(const std::vector<Json>& rules);

}  // namespace mirtova
