// Small builders of syntax-tree expressions, in the shapes the parser writes,
// for the expression translator's tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "parser/json.h"

namespace mirtova::test_trees {

inline Json literal(const char* kind, Json value) {
  return Json::object({{"literal", Json::object({{kind, value}})}});
}
inline Json num(const std::string& text) { return literal("the_number", Json::object({{"number", text}})); }
inline Json str(const std::string& text) {
  return literal("the_string", Json::object({{"the_string", text}}));
}
inline Json boolean(bool b) {
  return literal("the_bool", Json::object({{"the_bool", b ? "true" : "false"}}));
}
inline Json null_value() { return literal("the_null", Json::object({{"the_null", "null"}})); }
inline Json predicate_literal(const std::string& name) {
  return literal("the_predicate", Json::object({{"predicate_name", name}}));
}
inline Json list(std::vector<Json> items) {
  return literal("the_list", Json::object({{"element", Json(Json::ArrayType(std::move(items)))}}));
}
inline Json var(const std::string& name) {
  return Json::object({{"variable", Json::object({{"var_name", name}})}});
}

inline Json entry(Json field, Json expr) {
  return Json::object(
      {{"field", std::move(field)}, {"value", Json::object({{"expression", std::move(expr)}})}});
}
inline Json record_of(std::vector<std::pair<std::string, Json>> fields) {
  Json entries = Json::array();
  for (auto& [name, expr] : fields) entries.push(entry(Json(name), std::move(expr)));
  return Json::object({{"field_value", entries}});
}
inline Json record(std::vector<std::pair<std::string, Json>> fields) {
  return Json::object({{"record", record_of(std::move(fields))}});
}
inline Json call(const std::string& name, std::vector<Json> args) {
  Json entries = Json::array();
  for (size_t i = 0; i < args.size(); ++i)
    entries.push(entry(Json(static_cast<int64_t>(i)), std::move(args[i])));
  return Json::object({{"call", Json::object({{"predicate_name", name},
                                              {"record", Json::object({{"field_value", entries}})}})}});
}
inline Json named_call(const std::string& name, std::vector<std::pair<std::string, Json>> fields) {
  return Json::object(
      {{"call", Json::object({{"predicate_name", name}, {"record", record_of(std::move(fields))}})}});
}
inline Json op(const std::string& name, Json left, Json right) {
  return named_call(name, {{"left", std::move(left)}, {"right", std::move(right)}});
}
inline Json subscript(Json target, const std::string& field) {
  return Json::object(
      {{"subscript",
        Json::object({{"record", std::move(target)},
                      {"subscript",
                       Json::object({{"literal", Json::object({{"the_symbol",
                                                                Json::object({{"symbol", field}})}})}})}})}});
}
inline Json implication(std::vector<std::pair<Json, Json>> branches, Json otherwise) {
  Json list = Json::array();
  for (auto& [c, v] : branches)
    list.push(Json::object({{"condition", std::move(c)}, {"consequence", std::move(v)}}));
  return Json::object(
      {{"implication", Json::object({{"if_then", list}, {"otherwise", std::move(otherwise)}})}});
}
// A combine rule: Combine(quoril_value? Op= value) :- conjuncts.
inline Json combine_rule(const std::string& aggregate, Json value, std::vector<Json> conjuncts) {
  Json agg_call = call(aggregate, {std::move(value)});
  Json aggregation = Json::object({{"expression", agg_call}, {"expression_heritage", "agg"}});
  Json field =
      Json::object({{"field", "quoril_value"}, {"value", Json::object({{"aggregation", aggregation}})}});
  Json head = Json::object(
      {{"predicate_name", "Combine"}, {"record", Json::object({{"field_value", Json::array({field})}})}});
  Json rule = Json::object({{"head", head}, {"distinct_denoted", true}, {"full_text", "combine"}});
  if (!conjuncts.empty()) {
    rule.set("body",
             Json::object({{"conjunction",
                            Json::object({{"conjunct", Json(Json::ArrayType(std::move(conjuncts)))}})}}));
  }
  return rule;
}
inline Json combine(Json rule) { return Json::object({{"combine", std::move(rule)}}); }
inline Json inclusion(Json element, Json list) {
  return Json::object(
      {{"inclusion", Json::object({{"element", std::move(element)}, {"list", std::move(list)}})}});
}
inline Json condition(Json call_expr) { return Json::object({{"predicate", call_expr.at("call")}}); }

}  // namespace mirtova::test_trees
