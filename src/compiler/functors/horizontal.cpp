// The flat styles of recursion unfolding: horizontal stacks, iterative
// horizontal forms, and the choice of the semi-naive loop.
#include "compiler/functors/horizontal.h"

#include "compiler/functors/loop_stop.h"
#include "compiler/functors/parse_rules.h"
#include "compiler/functors/rewrite_candidates.h"
#include "compiler/functors/semi_naive.h"
#include "compiler/functors/text_lines.h"
#include "compiler/functors/tree_walks.h"

namespace mirtova {

namespace {

// Items "{dep}_RZero: {previous level of dep}" of visible member `deps` at `level`.
std::string level_arguments(const NameSet& deps, int64_t level, std::string_view level_marker,
                            const Stems& stems) {
  std::string text;
  for (const std::string& dep : deps) {
    const std::string& stem = stem_of(stems, dep);
    if (!text.empty()) text += ", ";
    text += stem + "_RZero: ";
    text += level == 0 ? std::string("nil") : stem + std::string(level_marker) + std::to_string(level - 1);
  }
  return text;
}

std::string level_line(const std::string& member, const NameSet& deps, int64_t level, std::string_view marker,
                       const Stems& stems) {
  return fill("{0}{1}{2} := {0}_ROne({3});", {stem_of(stems, member), marker, std::to_string(level),
                                              level_arguments(deps, level, marker, stems)});
}

}  // namespace

std::vector<std::string> visible_members(const NameSet& component) {
  std::vector<std::string> visible;
  for (const std::string& member : component) {
    if (!is_aux_predicate(member)) visible.push_back(member);
  }
  return visible;
}

std::map<std::string, NameSet> flat_dependencies(const std::map<std::string, NameSet>& direct_args,
                                                 const NameSet& component) {
  std::map<std::string, NameSet> dependencies;
  for (const std::string& member : visible_members(component)) dependencies[member];
  auto add_visible = [&](NameSet& into, const std::string& name) {
    if (component.count(name) != 0 && !is_aux_predicate(name)) into.insert(name);
  };
  for (auto& [member, deps] : dependencies) {
    auto direct = direct_args.find(member);
    if (direct == direct_args.end()) continue;
    for (const std::string& name : direct->second) {
      if (component.count(name) == 0) continue;
      if (!is_aux_predicate(name)) {
        deps.insert(name);
        continue;
      }
      auto through = direct_args.find(name);
      if (through == direct_args.end()) continue;
      for (const std::string& reached : through->second) add_visible(deps, reached);
    }
  }
  return dependencies;
}

void rewrite_for_flat(std::vector<Json>& rules, const std::vector<size_t>& positions,
                      const NameSet& component, const Stems& stems) {
  const std::vector<std::string> visible = visible_members(component);
  for (size_t position : positions) {
    Json& rule = rules[position];
    if (rule.get("head") == nullptr) continue;
    const std::string head(head_name(rule));
    if (component.count(head) != 0) {
      if (!is_aux_predicate(head)) rule.at_mut("head").set("predicate_name", stem_of(stems, head) + "_ROne");
      for (const std::string& member : visible)
        walk_replace_predicate(rule, member, stem_of(stems, member) + "_RZero");
    } else if (renames_within_annotation(head)) {
      for (const std::string& member : component)
        walk_replace_predicate(rule, member, stem_of(stems, member) + "_ROne");
    }
  }
}

void rewrite_for_flat(std::vector<Json>& rules, const NameSet& component, const Stems& stems) {
  rewrite_for_flat(rules, all_positions(rules), component, stems);
}

std::string flat_form_text(const std::map<std::string, NameSet>& dependencies, int64_t depth, bool grounded,
                           const Stems& stems) {
  std::vector<std::string> lines;
  for (const auto& [member, deps] : dependencies) {
    const std::string& stem = stem_of(stems, member);
    for (int64_t level = 0; level <= depth; ++level) {
      lines.push_back(level_line(member, deps, level, "_fr", stems));
      if (grounded) lines.push_back(fill("@Ground({0}_fr{1});", {stem, std::to_string(level)}));
    }
    lines.push_back(fill("{0} := {1}_fr{2}();", {member, stem, std::to_string(depth)}));
  }
  return join_lines(lines);
}

std::string iterative_form_text(const std::map<std::string, NameSet>& dependencies, int64_t depth,
                                int64_t ignition, const std::optional<std::string>& stop_signal,
                                const Stems& stems) {
  std::vector<std::string> lines;
  std::vector<std::string> first_list;
  std::vector<std::string> second_list;
  for (const auto& [member, deps] : dependencies) {
    const std::string& stem = stem_of(stems, member);
    for (int64_t level = 0; level < ignition; ++level) {
      lines.push_back(level_line(member, deps, level, "_ifr", stems));
      if (level == ignition - 2) {
        // Level ignition - 2 is stored in the table of level ignition - 4.
        lines.push_back(fill("@Ground({0}_ifr{1}, {0}_ifr{2});",
                             {stem, std::to_string(level), std::to_string(ignition - 4)}));
      } else {
        lines.push_back(fill("@Ground({0}_ifr{1});", {stem, std::to_string(level)}));
      }
    }
    first_list.push_back(stem + "_ifr" + std::to_string(ignition - 3));
    second_list.push_back(stem + "_ifr" + std::to_string(ignition - 2));
    lines.push_back(fill("{0} := {1}_ifr{2}();", {member, stem, std::to_string(ignition - 1)}));
  }
  std::string predicates;
  first_list.insert(first_list.end(), second_list.begin(), second_list.end());
  for (const std::string& name : first_list) predicates += (predicates.empty() ? "" : ", ") + name;
  const int64_t repetitions = ((depth - ignition) + 1) / 2 + 1;
  std::string loop = fill("@Iteration({0}, predicates: [{1}], repetitions: {2}",
                          {dependencies.begin()->first, predicates, std::to_string(repetitions)});
  if (stop_signal) loop += ", stop_signal: \"/tmp/logical_stop_" + *stop_signal + "\"";
  lines.push_back(loop + ");");
  return join_lines(lines);
}

Result<Unit, CompileError> Functors::unfold_recursive_predicate_flat(
    const NameSet& component, int64_t depth, std::vector<Json>& out_rules, bool iterative, int64_t ignition,
    const std::optional<std::string>& stop_signal) const {
  GeneratedNames names;
  names.take_names_of(out_rules);
  return unfold_recursive_predicate_flat(component, depth, out_rules, all_positions(out_rules), iterative,
                                         ignition, stop_signal, names);
}

Result<Unit, CompileError> Functors::unfold_recursive_predicate_flat(
    const NameSet& component, int64_t depth, std::vector<Json>& out_rules,
    const std::vector<size_t>& positions, bool iterative, int64_t ignition,
    const std::optional<std::string>& stop_signal, GeneratedNames& names) const {
  const std::vector<std::string> visible = visible_members(component);
  if (visible.empty()) return Unit{};
  const std::map<std::string, NameSet> dependencies = flat_dependencies(direct_args, component);

  std::optional<Json::ArrayType> semi_naive_fields;
  if (iterative && !stop_signal && visible.size() == 1)
    semi_naive_fields = semi_naive_head_fields(component, visible.front(), out_rules, positions);

  for (size_t attempt = 0; attempt <= most_attempts(component, names); ++attempt) {
    const Stems stems = stems_for(component, attempt);
    std::string text;
    std::string_view loop_stop;
    if (semi_naive_fields) {
      text = get_semi_naive_recursion_functor(visible.front(), *semi_naive_fields, depth, stems);
      loop_stop = kStopWithoutNewRows;
    } else if (!iterative || depth < ignition) {
      text = flat_form_text(dependencies, depth, iterative, stems);
    } else {
      text = iterative_form_text(dependencies, depth, ignition, stop_signal, stems);
      loop_stop = kStopWhenLevelsAgree;
    }
    TRY(std::vector<Json> parsed, parse_rules(text));
    NameSet renamed;
    for (const std::string& member : visible) {
      renamed.insert(stem_of(stems, member) + "_ROne");
      renamed.insert(stem_of(stems, member) + "_RZero");
    }
    auto made = names_made_by_unfolding(parsed, renamed, component, stems, names);
    if (!made) continue;
    for (const auto& [name, origin] : *made) names.add(name, origin);
    rewrite_for_flat(out_rules, positions, component, stems);
    for (Json& rule : parsed) {
      if (!loop_stop.empty() && head_name(rule) == "@Iteration")
        rule.set(kLoopStopKey, Json(std::string(loop_stop)));
      out_rules.push_back(std::move(rule));
    }
    return Unit{};
  }
  return CompileError(std::string(kNoFreeNames) + visible.front());
}

}  // namespace mirtova
