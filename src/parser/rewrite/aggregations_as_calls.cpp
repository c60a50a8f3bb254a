#include "parser/rewrite/aggregations_as_calls.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "parser/tree_build.h"
#include "parser/tree_walk.h"

namespace mirtova {
namespace {

void rewrite_aggregation(Json& aggregation) {
  Json::ObjectType& fields = aggregation.as_object_mut();
  Json name(aggregation_call_name(aggregation.at("operator").as_str()));
  // The argument is taken off the aggregation below, so it moves.
  Json argument = std::move(aggregation.at_mut("argument"));
  Json call = make_call(std::move(name), make_array(make_field(0, std::move(argument))));
  Json expression =
      make_object("call", std::move(call), "expression_heritage", aggregation.at("expression_heritage"));
  fields.erase("operator");
  fields.erase("argument");
  fields.insert_or_assign("expression", std::move(expression));
}

// The head's field value objects: where a rule's own aggregations stand.
Json::ArrayType* head_fields(Json& rule) {
  Json* head = rule.get_mut("head");
  Json* record = head != nullptr ? head->get_mut("record") : nullptr;
  Json* fields = record != nullptr ? record->get_mut("field_value") : nullptr;
  return fields != nullptr && fields->is_array() ? &fields->as_array_mut() : nullptr;
}

Json* field_value(Json& field) { return field.is_object() ? field.get_mut("value") : nullptr; }

// Rewrites every aggregation under `tree` (an object's entry "aggregation"
// holding an object), except those held by the objects in `kept`. Parents go
// before their children, so the call form an aggregation becomes is walked too.
void rewrite_all_but(Json& tree, std::vector<const Json*> kept) {
  // Looked up at every node: sorted once, so that a head of many fields costs
  // no more per node than a short one.
  std::sort(kept.begin(), kept.end(), std::less<const Json*>());
  // Keys are told by their words, one compare per entry; only a node that
  // holds an aggregation is looked up among the kept.
  const uint64_t aggregation_word = JsonKey::word_of("aggregation");
  walk_tree_mut(tree, [&](Json& node, std::string_view under) {
    // A variable's name holds no aggregation.
    if (under == "variable") return Walk::Skip;
    bool holds = false;
    for (const auto& [key, value] : std::as_const(node).as_object())
      holds = holds || key.word() == aggregation_word;
    if (!holds || std::binary_search(kept.begin(), kept.end(), &node, std::less<const Json*>()))
      return Walk::Enter;
    for (auto& [key, value] : node.as_object_mut())
      if (value.is_object() && key.word() == aggregation_word) rewrite_aggregation(value);
    return Walk::Enter;
  });
}

}  // namespace

std::string aggregation_call_name(std::string_view op) {
  if (op == "+") return "Agg+";
  if (op == "++") return "Agg++";
  if (op == "*") return "`*`";
  return std::string(op);
}

Json rewrite_aggregations_as_expressions(Json rules) {
  rewrite_all_but(rules, {});
  return rules;
}

void rewrite_nested_aggregations(Json& rule) {
  std::vector<const Json*> kept;
  if (Json::ArrayType* fields = head_fields(rule))
    for (Json& field : *fields)
      if (const Json* value = field_value(field)) kept.push_back(value);
  rewrite_all_but(rule, std::move(kept));
}

bool may_nest_aggregations(std::string_view statement) {
  if (statement.find("combine") != std::string_view::npos) return true;
  for (size_t at = 0; at < statement.size(); ++at) {
    const char c = statement[at];
    if (c == '~' || c == '{') return true;
    if (c != '=') continue;
    const char before = at > 0 ? statement[at - 1] : ' ';
    const char after = at + 1 < statement.size() ? statement[at + 1] : ' ';
    if (after == '>') return true;  // an implication, also inside "<=>"
    if (before == '=' || after == '=') continue;
    // The operator of a concise combine is the word before '='; a lone "!",
    // "<" or ">" is a comparison, but "+!" or "x<" could be an operator.
    const char blank = at >= 2 ? statement[at - 2] : 'x';
    const bool comparison = (before == '!' || before == '<' || before == '>') &&
                            (blank == ' ' || blank == '\t' || blank == '\n' || blank == '\r');
    if (!comparison) return true;
  }
  return false;
}

void rewrite_head_aggregations(Json& rule) {
  Json::ArrayType* fields = head_fields(rule);
  if (fields == nullptr) return;
  for (Json& field : *fields) {
    Json* value = field_value(field);
    Json* aggregation = value != nullptr ? value->get_mut("aggregation") : nullptr;
    if (aggregation != nullptr && aggregation->is_object()) rewrite_aggregation(*aggregation);
  }
}

}  // namespace mirtova
