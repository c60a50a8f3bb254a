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
                         const std::string& main, const NameSet& component) {
  for (size_t position : positions) {
    Json& rule = rules[position];
    if (rule.get("head") == nullptr) continue;
    const std::string head = head_name(rule);
    if (head == main || component.count(head) != 0) {
      rule.at_mut("head").set("predicate_name", head + "_recursive_head");
      walk_replace_predicate(rule, main, main + "_recursive");
    } else if (renames_within_annotation(head)) {
      walk_replace_predicate(rule, main, main + "_recursive_head");
    } else {
      continue;
    }
    for (const std::string& member : component) {
      if (member != main) walk_replace_predicate(rule, member, member + "_recursive_head");
    }
  }
}

void rename_for_vertical(std::vector<Json>& rules, const std::string& main, const NameSet& component) {
  rename_for_vertical(rules, all_positions(rules), main, component);
}

std::string vertical_chain_text(const std::string& main, int64_t depth) {
  std::vector<std::string> lines{fill("{0}_r0 := {0}_recursive_head({0}_recursive: nil);", {main})};
  for (int64_t i = 0; i < depth; ++i) {
    lines.push_back(fill("{0}_r{1} := {0}_recursive_head({0}_recursive: {0}_r{2});",
                         {main, std::to_string(i + 1), std::to_string(i)}));
  }
  lines.push_back(fill("{0} := {0}_r{1}();", {main, std::to_string(depth)}));
  return join_lines(lines);
}

std::string vertical_member_text(const std::string& member, const std::string& main) {
  return fill("{0} := {0}_recursive_head({1}_recursive: {1});", {member, main});
}

Result<Unit, CompileError> unfold_vertical(std::vector<Json>& rules, const std::vector<size_t>& positions,
                                           const std::string& main, const NameSet& component, int64_t depth) {
  rename_for_vertical(rules, positions, main, component);
  TRY(std::vector<Json> chain, parse_rules(vertical_chain_text(main, depth)));
  append_parsed(rules, std::move(chain));
  for (const std::string& member : component) {
    if (member == main) continue;
    TRY(std::vector<Json> statement, parse_rules(vertical_member_text(member, main)));
    append_parsed(rules, std::move(statement));
  }
  return Unit{};
}

Result<Unit, CompileError> unfold_vertical(std::vector<Json>& rules, const std::string& main,
                                           const NameSet& component, int64_t depth) {
  return unfold_vertical(rules, all_positions(rules), main, component, depth);
}

}  // namespace mirtova
