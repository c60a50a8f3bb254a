#include "parser/rewrite/aggregations_as_calls.h"

#include <utility>

#include "parser/json_walk.h"
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
  for_each_object_mut(rules, [](Json& node) {
    Json* aggregation = node.get_mut("aggregation");
    if (aggregation != nullptr && aggregation->is_object()) rewrite_aggregation(*aggregation);
  });
  return rules;
}

}  // namespace mirtova
