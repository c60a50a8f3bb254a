// The vertical style: a chain of functor applications of a template.
#include "compiler/functors/vertical.h"

#include "compiler/functors/parse_rules.h"
#include "compiler/functors/rewrite_candidates.h"
#include "compiler/functors/text_lines.h"
#include "compiler/functors/tree_walks.h"

namespace mirtova {

namespace {

void append_parsed(std::vector<Json>& rules, std::vector<Json> parsed) {
  for (Json& rule : parsed) rules.push_back(std::move(rule));
}

}  // namespace

void rename_for_vertical(std::vector<Json>& rules, const std::vector<size_t>& positions,
                         const std::string& main, const NameSet& component, const Stems& stems) {
  const std::string& main_stem = stem_of(stems, main);
  for (size_t position : positions) {
    Json& rule = rules[position];
    if (rule.get("head") == nullptr) continue;
    const std::string head(head_name(rule));
    if (head == main || component.count(head) != 0) {
      rule.at_mut("head").set("predicate_name", stem_of(stems, head) + "_recursive_head");
      walk_replace_predicate(rule, main, main_stem + "_recursive");
    } else if (renames_within_annotation(head)) {
      walk_replace_predicate(rule, main, main_stem + "_recursive_head");
    } else {
      continue;
    }
    for (const std::string& member : component) {
      if (member != main) walk_replace_predicate(rule, member, stem_of(stems, member) + "_recursive_head");
    }
  }
}

void rename_for_vertical(std::vector<Json>& rules, const std::string& main, const NameSet& component,
                         const Stems& stems) {
  rename_for_vertical(rules, all_positions(rules), main, component, stems);
}

std::string vertical_chain_text(const std::string& main, int64_t depth, const Stems& stems) {
  const std::string& stem = stem_of(stems, main);
  std::vector<std::string> lines{fill("{0}_r0 := {0}_recursive_head({0}_recursive: nil);", {stem})};
  for (int64_t i = 0; i < depth; ++i) {
    lines.push_back(fill("{0}_r{1} := {0}_recursive_head({0}_recursive: {0}_r{2});",
                         {stem, std::to_string(i + 1), std::to_string(i)}));
  }
  lines.push_back(fill("{0} := {1}_r{2}();", {main, stem, std::to_string(depth)}));
  return join_lines(lines);
}

std::string vertical_member_text(const std::string& member, const std::string& main, const Stems& stems) {
  return fill("{0} := {1}_recursive_head({2}_recursive: {3});",
              {member, stem_of(stems, member), stem_of(stems, main), main});
}

Result<Unit, CompileError> unfold_vertical(std::vector<Json>& rules, const std::vector<size_t>& positions,
                                           const std::string& main, const NameSet& component, int64_t depth,
                                           GeneratedNames& names) {
  for (size_t attempt = 0; attempt <= most_attempts(component, names); ++attempt) {
    const Stems stems = stems_for(component, attempt);
    TRY(std::vector<Json> written, parse_rules(vertical_chain_text(main, depth, stems)));
    for (const std::string& member : component) {
      if (member == main) continue;
      TRY(std::vector<Json> statement, parse_rules(vertical_member_text(member, main, stems)));
      append_parsed(written, std::move(statement));
    }
    NameSet renamed{stem_of(stems, main) + "_recursive"};
    for (const std::string& member : component) renamed.insert(stem_of(stems, member) + "_recursive_head");
    auto made = names_made_by_unfolding(written, renamed, component, stems, names);
    if (!made) continue;
    for (const auto& [name, origin] : *made) names.add(name, origin);
    rename_for_vertical(rules, positions, main, component, stems);
    append_parsed(rules, std::move(written));
    return Unit{};
  }
  return CompileError(std::string(kNoFreeNames) + main);
}

Result<Unit, CompileError> unfold_vertical(std::vector<Json>& rules, const std::string& main,
                                           const NameSet& component, int64_t depth) {
  GeneratedNames names;
  names.take_names_of(rules);
  return unfold_vertical(rules, all_positions(rules), main, component, depth, names);
}

}  // namespace mirtova
