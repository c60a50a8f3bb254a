// Positions of the rules that a component rewrite can change.
#include "compiler/functors/rewrite_candidates.h"

#include <algorithm>

#include "compiler/functors/tree_walks.h"

namespace mirtova {

bool renames_within_annotation(std::string_view head) {
  return !head.empty() && head[0] == '@' && head != "@OrderBy" && head != "@Limit" && head != "@Make" &&
         head != "@Ground";
}

RewriteCandidates::RewriteCandidates(const std::vector<Json>& rules) {
  for (size_t i = 0; i < rules.size(); ++i) add(rules, i);
}

void RewriteCandidates::add(const std::vector<Json>& rules, size_t position) {
  const Json& rule = rules[position];
  if (rule.get("head") == nullptr) return;
  const std::string head(head_name(rule));
  by_head_[head].push_back(position);
  if (!renames_within_annotation(head)) return;
  for (const std::string& named : extract_predicate_names(rule))
    annotations_naming_[named].push_back(position);
}

std::vector<size_t> RewriteCandidates::of_component(const std::vector<Json>& rules,
                                                    const NameSet& component) const {
  std::vector<size_t> found;
  for (const std::string& member : component) {
    if (auto headed = by_head_.find(member); headed != by_head_.end()) {
      for (size_t position : headed->second) {
        if (head_name(rules[position]) == member) found.push_back(position);
      }
    }
    if (auto naming = annotations_naming_.find(member); naming != annotations_naming_.end())
      found.insert(found.end(), naming->second.begin(), naming->second.end());
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

void RewriteCandidates::refresh(const std::vector<Json>& rules, const std::vector<size_t>& positions,
                                size_t from) {
  for (size_t position : positions) add(rules, position);
  for (size_t i = from; i < rules.size(); ++i) add(rules, i);
}

std::vector<size_t> all_positions(const std::vector<Json>& rules) {
  std::vector<size_t> positions(rules.size());
  for (size_t i = 0; i < positions.size(); ++i) positions[i] = i;
  return positions;
}

}  // namespace mirtova
