// The semi-naive loop for a linear, distinct recursion.
#include "compiler/functors/semi_naive.h"

#include <utility>

#include "compiler/functors/rewrite_candidates.h"
#include "compiler/functors/text_lines.h"
#include "parser/tree_walk.h"

namespace mirtova {

namespace semi_naive_fields {

void references(const Json& tree, const NameSet& names, bool inside_combine, uint64_t& count,
                bool& in_combine) {
  // Per object entered, whether it stands under a "combine" key (at any depth).
  std::vector<bool> inside{inside_combine};
  walk_tree(
      tree,
      [&](const Json& node, std::string_view key) {
        const bool here = inside.back() || key == "combine";
        inside.push_back(here);
        const Json* name = node.get("predicate_name");
        if (name != nullptr && name->is_str() && names.count(std::string(name->as_str())) != 0) {
          ++count;
          if (here) in_combine = true;
        }
      },
      [&](const Json&) { inside.pop_back(); });
}

}  // namespace semi_naive_fields

std::optional<Json::ArrayType> semi_naive_head_fields(const NameSet& component, const std::string& predicate,
                                                      const std::vector<Json>& rules) {
  return semi_naive_head_fields(component, predicate, rules, all_positions(rules));
}

std::optional<Json::ArrayType> semi_naive_head_fields(const NameSet& component, const std::string& predicate,
                                                      const std::vector<Json>& rules,
                                                      const std::vector<size_t>& positions) {
  std::optional<Json::ArrayType> stored;
  for (size_t position : positions) {
    const Json& rule = rules[position];
    if (rule.get("head") == nullptr) continue;
    const std::string head(head_name(rule));
    if (component.count(head) == 0) continue;
    if (const Json* body = rule.get("body")) {
      uint64_t count = 0;
      bool in_combine = false;
      semi_naive_fields::references(*body, component, false, count, in_combine);
      if (count > 1 || in_combine) return std::nullopt;
    }
    if (head != predicate) continue;
    if (!rule.has("distinct_denoted")) return std::nullopt;
    const Json* record = rule.at("head").get("record");
    const Json* fields = record == nullptr ? nullptr : record->get("field_value");
    if (fields == nullptr || !fields->is_array()) return std::nullopt;
    Json::ArrayType names;
    for (const Json& entry : fields->as_array()) {
      if (entry.at("value").has("aggregation")) return std::nullopt;
      names.push_back(entry.at("field"));
    }
    if (!stored) {
      stored = std::move(names);
    } else if (*stored != names) {
      return std::nullopt;
    }
  }
  return stored;
}

std::string semi_naive_disjunction(const std::string& name, const std::string& arguments, uint64_t first,
                                   uint64_t last) {
  std::string text;
  if (first > last) return text;
  for (uint64_t i = first;; ++i) {
    text += fill(" | {0}_sn_t{1}({2})", {name, std::to_string(i), arguments});
    if (i == last) break;  // `last` may be the largest value, so no `i <= last` test
  }
  return text;
}

std::string get_semi_naive_recursion_functor(const std::string& predicate, const Json::ArrayType& head_fields,
                                             int64_t depth, const Stems& stems) {
  const std::string& name = stem_of(stems, predicate);
  std::string arguments;
  for (size_t i = 0; i < head_fields.size(); ++i) {
    if (i > 0) arguments += ", ";
    const Json& field = head_fields[i];
    arguments +=
        field.is_str() ? std::string(field.as_str()) + ": v" + std::to_string(i) : "v" + std::to_string(i);
  }
  const uint64_t last = 2 * uint64_t(head_fields.size()) + 1;

  std::vector<std::string> chain{fill("{0}_sn_t0({1}) :- {0}_sn_delta({1}), 1 == 0;", {name, arguments}),
                                 fill("@Ground({0}_sn_t0);", {name})};
  for (uint64_t i = 1; i <= last; ++i) {
    const std::string index = std::to_string(i);
    chain.push_back(
        fill("{0}_sn_r{1} := {0}_ROne({0}_RZero: {0}_sn_t{2});", {name, index, std::to_string(i - 1)}));
    chain.push_back(fill("{0}_sn_t{1}({2}) :- {0}_sn_r{1}({2}), 1 == 0;", {name, index, arguments}));
    chain.push_back(fill("@Ground({0}_sn_t{1});", {name, index}));
  }

  return join_lines({
      fill("{0}_sn_delta := {0}_ROne({0}_RZero: nil);", {name}),
      fill("@Ground({0}_sn_delta);", {name}),
      join_lines(chain),
      fill("{0}_sn_full({1}) :- {0}_sn_delta({1}){2};",
           {name, arguments, semi_naive_disjunction(name, arguments, 1, last)}),
      fill("@Ground({0}_sn_full);", {name}),
      fill("{0}_sn_step := {0}_ROne({0}_RZero: {0}_sn_delta);", {name}),
      fill("{0}_sn_new({1}) distinct :- {0}_sn_step({1}), ~{0}_sn_full({1});", {name, arguments}),
      fill("@Ground({0}_sn_new);", {name}),
      fill("{0}_sn_back_step := {0}_ROne({0}_RZero: {0}_sn_new);", {name}),
      fill("{0}_sn_back({1}) distinct :- {0}_sn_back_step({1}), ~{0}_sn_full({1});", {name, arguments}),
      fill("@Ground({0}_sn_back, {0}_sn_delta);", {name}),
      fill("{0}({1}) :- {2}_sn_full({1});", {predicate, arguments, name}),
      fill("@Iteration({0}_sn_delta, predicates: [{0}_sn_new, {0}_sn_back], repetitions: {1}, accumulate: "
           "{0}_sn_full);",
           {name, std::to_string(depth)}),
  });
}

}  // namespace mirtova
