// Small builders of syntax-tree nodes for the statement-level parser tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "parser/json.h"

namespace mirtova::testing_trees {

inline Json var(const Json& name) { return Json::object({{"variable", Json::object({{"var_name", name}})}}); }
inline Json num(const std::string& n) {
  return Json::object({{"literal", Json::object({{"the_number", Json::object({{"number", n}})}})}});
}
inline Json predicate_literal(const std::string& name) {
  return Json::object(
      {{"literal", Json::object({{"the_predicate", Json::object({{"predicate_name", name}})}})}});
}
inline Json field(const Json& f, Json expression) {
  return Json::object({{"field", f}, {"value", Json::object({{"expression", std::move(expression)}})}});
}
inline Json agg_field(const Json& f, const std::string& op, Json argument, const std::string& heritage) {
  return Json::object(
      {{"field", f},
       {"value", Json::object({{"aggregation", Json::object({{"operator", op},
                                                             {"argument", std::move(argument)},
                                                             {"expression_heritage", heritage}})}})}});
}
inline Json call(const std::string& name, std::vector<Json> fields = {}) {
  return Json::object(
      {{"predicate_name", name},
       {"record", Json::object({{"field_value", Json(Json::ArrayType(std::move(fields)))}})}});
}
// A proposition calling `name` on variables x0, x1, ...
inline Json atom(const std::string& name) {
  return Json::object({{"predicate", call(name, {field(0, var("x"))})}});
}
inline Json conj(std::vector<Json> items) {
  return Json::object(
      {{"conjunction", Json::object({{"conjunct", Json(Json::ArrayType(std::move(items)))}})}});
}
inline Json disj(std::vector<Json> items) {
  return Json::object(
      {{"disjunction", Json::object({{"disjunct", Json(Json::ArrayType(std::move(items)))}})}});
}
inline Json rule(Json head, const std::string& full_text, const Json* body = nullptr) {
  Json r = Json::object({{"head", std::move(head)}, {"full_text", full_text}});
  if (body != nullptr) r.set("body", *body);
  return r;
}
inline Json rule_with_body(Json head, Json body, const std::string& full_text) {
  return rule(std::move(head), full_text, &body);
}
inline Json rules(std::vector<Json> items) { return Json(Json::ArrayType(std::move(items))); }

}  // namespace mirtova::testing_trees
