#include "parser/rewrite/aggregations_as_calls.h"

#include <utility>
#include <vector>

namespace mirtova {
namespace {

void rewrite_aggregation(Json& aggregation) {
  Json call = Json::object({
      {"predicate_name", aggregation_call_name(aggregation.at("operator").as_str())},
      {"record", Json::object({{"field_value", Json::array({Json::object({
                                                   {"field", 0},
                                                   {"value", Json::object({{"expression", aggregation.at("argument")}})},
                                               })})}})},
  });
  Json expression = Json::object({{"call", std::move(call)}, {"expression_heritage", aggregation.at("expression_heritage")}});
  Json::ObjectType& fields = aggregation.as_object_mut();
  fields.erase("operator");
  fields.erase("argument");
  fields.insert_or_assign("expression", std::move(expression));
}

}  // namespace

std::string aggregation_call_name(std::string_view op) {
  if (op == "+") return "Agg+";
  if (op == "++") return "Agg++";
  if (op == "*") return "`*`";
  return std::string(op);
}

Json rewrite_aggregations_as_expressions(Json rules) {
  // Trees may be as deep as memory allows, so the walk keeps its own stack.
  // Objects are std::map nodes and no array is resized, so the pointers stay
  // valid while aggregations are rewritten in place.
  std::vector<Json*> stack{&rules};
  while (!stack.empty()) {
    Json* node = stack.back();
    stack.pop_back();
    if (node->is_array()) {
      for (Json& item : node->as_array_mut()) {
        if (item.is_array() || item.is_object()) stack.push_back(&item);
      }
      continue;
    }
    for (auto& [key, value] : node->as_object_mut()) {
      if (value.is_object()) {
        Json* aggregation = value.get_mut("aggregation");
        if (aggregation != nullptr && aggregation->is_object()) rewrite_aggregation(*aggregation);
      }
      if (value.is_array() || value.is_object()) stack.push_back(&value);
    }
  }
  return rules;
}

}  // namespace mirtova
