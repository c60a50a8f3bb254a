#include "parser/rewrite/multi_body_aggregation.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "parser/tree_access.h"
#include "parser/tree_build.h"
#include "parser/tree_walk.h"

namespace mirtova {
namespace {

constexpr std::string_view kAuxSuffix = "_MultBodyAggAux";

struct AuxHead {
  Json field_values;  // of the auxiliary rule
  Json signature;     // of the aggregating rule
};

// The auxiliary rule keeps each aggregation's argument in its place; the
// signature names every column by a variable spelled like its field.
AuxHead split_head(const Json& field_values) {
  AuxHead out{Json::array(), Json::array()};
  for (const Json& entry : field_values.as_array()) {
    const Json& field = entry.at("field");
    const Json& value = entry.at("value");
    (void)value.as_object();
    const Json* aggregation = value.get("aggregation");
    if (aggregation == nullptr) {
      out.field_values.push(entry);
      out.signature.push(make_field(field, make_variable(field)));
      continue;
    }
    const Json& argument = aggregation->at("argument");
    const Json& op = aggregation->at("operator");
    const Json& heritage = aggregation->at("expression_heritage");
    out.field_values.push(make_field(field, argument));
    Json signature_aggregation =
        make_object("operator", op, "argument", make_variable(field), "expression_heritage", heritage);
    out.signature.push(
        make_object("field", field, "value", make_object("aggregation", std::move(signature_aggregation))));
  }
  return out;
}

// The helper's name for each rewritten predicate: the predicate's name and
// the suffix, or, where the program already uses that name, the first unused
// one of it followed by "_1", "_2", ...
std::map<std::string, std::string, std::less<>> aux_names(const Json::ArrayType& rules,
                                                          const std::vector<std::string>& rewritten) {
  std::set<std::string, std::less<>> used;
  for (const Json& rule : rules) {
    walk_tree(rule, [&](const Json& node) {
      if (const Json* name = node.get("predicate_name"); name != nullptr && name->is_str())
        used.emplace(name->as_str());
    });
  }
  std::map<std::string, std::string, std::less<>> names;
  for (const std::string& name : rewritten) {
    const std::string base = name + std::string(kAuxSuffix);
    std::string aux = base;
    for (size_t n = 1; used.count(aux) != 0; ++n) aux = base + "_" + std::to_string(n);
    used.insert(aux);
    names.emplace(name, std::move(aux));
  }
  return names;
}

Json aggregating_rule(const std::string& name, const std::string& aux_name, const Json& signature,
                      const Json& full_text) {
  Json call_fields = Json::array();
  for (const Json& entry : signature.as_array()) {
    const Json& field = entry.at("field");
    call_fields.push(make_field(field, make_variable(field)));
  }
  Json call = make_call(aux_name, std::move(call_fields));
  Json body = make_conjunction(make_array(make_predicate_conjunct(std::move(call))));
  return make_object("head", make_call(name, signature), "body", std::move(body), "full_text", full_text,
                     "distinct_denoted", true);
}

}  // namespace

Json strip_aggregation_heritage(const Json& field_values) {
  Json out = Json::array();
  for (const Json& entry : field_values.as_array()) {
    Json copy = entry;
    Json& value = copy.at_mut("value");
    (void)value.as_object();
    if (Json* aggregation = value.get_mut("aggregation"))
      aggregation->as_object_mut().erase("expression_heritage");
    out.push(std::move(copy));
  }
  return out;
}

ParseResult<Json> multi_body_aggregation_rewrite(Json rules) {
  Json::ArrayType& input = rules.as_array_mut();

  // Groups in order of first appearance; the index only finds a name's group,
  // so its order never shows. Its keys are the rules' own names, which stay in
  // place while the groups are formed.
  struct Group {
    std::string_view name;
    const Json* first;  // the group's first rule
    size_t size;
  };
  std::vector<Group> groups;
  std::unordered_map<std::string_view, size_t> group_of;
  group_of.reserve(input.size());
  for (const Json& rule : input) {
    const std::string_view name = head_name(rule);
    auto [it, inserted] = group_of.try_emplace(name, groups.size());
    if (inserted) groups.push_back({name, &rule, 0});
    ++groups[it->second].size;
  }

  std::vector<std::string> rewritten;
  for (const Group& group : groups) {
    if (group.size >= 2 && group.first->has("distinct_denoted")) rewritten.emplace_back(group.name);
  }
  if (rewritten.empty()) return rules;
  const std::map<std::string, std::string, std::less<>> aux_name_of = aux_names(input, rewritten);

  Json::ArrayType output;
  output.reserve(input.size() + rewritten.size());
  std::map<std::string, Json, std::less<>> last_full_text;
  std::map<std::string, Json, std::less<>> first_signature;
  for (Json& rule : input) {
    const std::string name(head_name(rule));
    last_full_text[name] = rule.at("full_text");
    auto aux_name = aux_name_of.find(name);
    if (aux_name == aux_name_of.end()) {
      output.push_back(std::move(rule));
      continue;
    }
    Json aux = rule;
    if (!aux.has("distinct_denoted"))
      return ParsingException("Inconsistency in distinct denoting.", SpanString(name));
    aux.as_object_mut().erase("distinct_denoted");
    Json& head = aux.at_mut("head");
    head.set("predicate_name", aux_name->second);
    AuxHead parts = split_head(head.at("record").at("field_value"));
    head.at_mut("record").set("field_value", std::move(parts.field_values));

    auto stored = first_signature.find(name);
    if (stored == first_signature.end()) {
      first_signature.emplace(name, std::move(parts.signature));
    } else if (strip_aggregation_heritage(stored->second).compact() !=
               strip_aggregation_heritage(parts.signature).compact()) {
      const Json& full_text = rule.at("full_text");
      return ParsingException(
          "Signature differs for bodies.",
          SpanString(full_text.is_str() ? std::string(full_text.as_str()) : std::string()));
    }
    output.push_back(std::move(aux));
  }
  for (const std::string& name : rewritten) {
    output.push_back(
        aggregating_rule(name, aux_name_of.at(name), first_signature.at(name), last_full_text.at(name)));
  }
  return Json(std::move(output));
}

}  // namespace mirtova
