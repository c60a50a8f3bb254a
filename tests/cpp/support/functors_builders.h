// Builders of the rule trees that the functor and unfolding tests feed in,
// shaped as the parser writes them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "parser/json.h"

namespace mirtova::functors_testing {

inline Json var(const std::string& name) {
  return Json::object({{"variable", Json::object({{"var_name", name}})}});
}
inline Json value_of(Json expression) { return Json::object({{"expression", std::move(expression)}}); }
inline Json field(const Json& f, Json expression) {
  return Json::object({{"field", f}, {"value", value_of(std::move(expression))}});
}
inline Json call(const std::string& name, std::vector<Json> fields) {
  return Json::object(
      {{"predicate_name", name},
       {"record", Json::object({{"field_value", Json(Json::ArrayType(std::move(fields)))}})}});
}
inline Json pred_literal(const std::string& name) {
  return Json::object(
      {{"literal", Json::object({{"the_predicate", Json::object({{"predicate_name", name}})}})}});
}
inline Json number(const std::string& text) {
  return Json::object({{"literal", Json::object({{"the_number", Json::object({{"number", text}})}})}});
}
inline Json conj(std::vector<Json> conjuncts) {
  return Json::object(
      {{"conjunction", Json::object({{"conjunct", Json(Json::ArrayType(std::move(conjuncts)))}})}});
}
inline Json atom(const std::string& name) {
  return Json::object({{"predicate", call(name, {field(0, var("x"))})}});
}
// ~name(x), which the parser writes as IsNull over a combine.
inline Json negated(const std::string& name) {
  Json combine = Json::object(
      {{"combine", Json::object({{"head", call("Combine", {})}, {"body", conj({atom(name)})}})}});
  return Json::object({{"predicate", call("IsNull", {field(0, combine)})}});
}

// name(x) :- callee1(x), callee2(x), ...; no body when there are no callees.
inline Json rule(const std::string& name, const std::vector<std::string>& callees, bool distinct = false) {
  Json r = Json::object({{"head", call(name, {field(0, var("x"))})}, {"full_text", name + "(x)"}});
  if (!callees.empty()) {
    std::vector<Json> conjuncts;
    for (const std::string& c : callees) conjuncts.push_back(atom(c));
    r.set("body", conj(std::move(conjuncts)));
  }
  if (distinct) r.set("distinct_denoted", true);
  return r;
}

// @Name(P, extra fields...).
inline Json annotation(const std::string& name, const std::string& predicate, std::vector<Json> more = {}) {
  std::vector<Json> fields{field(0, pred_literal(predicate))};
  for (Json& f : more) fields.push_back(std::move(f));
  return Json::object({{"head", call(name, std::move(fields))}, {"full_text", name + "(" + predicate + ")"}});
}

// A program of rules "head(x) :- callee(x), ..." given as head and callees.
struct Calls {
  std::string head;
  std::vector<std::string> callees;
};
inline std::vector<Json> program(const std::vector<Calls>& calls) {
  std::vector<Json> rules;
  for (const Calls& c : calls) rules.push_back(rule(c.head, c.callees));
  return rules;
}

}  // namespace mirtova::functors_testing
