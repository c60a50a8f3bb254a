// Hand-built syntax trees for the program-model tests, in the parser's shapes.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "parser/json.h"
#include "parser/tree_build.h"

namespace mirtova::trees {

inline Json var(std::string name) { return make_variable(std::move(name)); }
inline Json num(int64_t v) { return make_number(v); }
inline Json num_text(std::string text) {
  return Json::object(
      {{"literal", Json::object({{"the_number", Json::object({{"number", Json(std::move(text))}})}})}});
}
inline Json str(std::string s) {
  return Json::object(
      {{"literal", Json::object({{"the_string", Json::object({{"the_string", Json(std::move(s))}})}})}});
}
inline Json boolean(bool b) {
  return Json::object(
      {{"literal", Json::object({{"the_bool", Json::object({{"the_bool", Json(b ? "true" : "false")}})}})}});
}
inline Json pred(std::string name) {
  return Json::object(
      {{"literal",
        Json::object({{"the_predicate", Json::object({{"predicate_name", Json(std::move(name))}})}})}});
}
inline Json list(std::vector<Json> items) {
  return Json::object(
      {{"literal", Json::object({{"the_list", Json::object({{"element", Json(std::move(items))}})}})}});
}

// A field list: positional entries are numbered in order, named ones keep their name.
struct F {
  Json name;
  Json value;
};
inline Json::ArrayType fields(std::vector<Json> positional, std::vector<F> named = {}) {
  Json::ArrayType out;
  int64_t i = 0;
  for (Json& v : positional) out.push_back(make_field(Json(i++), std::move(v)));
  for (F& f : named) out.push_back(make_field(std::move(f.name), std::move(f.value)));
  return out;
}
inline Json call_node(std::string name, Json::ArrayType fs) {
  return Json::object({{"predicate_name", Json(std::move(name))},
                       {"record", Json::object({{"field_value", Json(std::move(fs))}})}});
}
inline Json call(std::string name, std::vector<Json> positional, std::vector<F> named = {}) {
  return Json::object(
      {{"call", call_node(std::move(name), fields(std::move(positional), std::move(named)))}});
}
inline Json op(std::string name, Json left, Json right) {
  return call(std::move(name), {}, {{"left", std::move(left)}, {"right", std::move(right)}});
}
inline Json atom(std::string name, std::vector<Json> positional, std::vector<F> named = {}) {
  return Json::object(
      {{"predicate", call_node(std::move(name), fields(std::move(positional), std::move(named)))}});
}
inline Json cond(std::string name, Json left, Json right) {
  return Json::object({{"predicate", call_node(std::move(name), fields({}, {{"left", std::move(left)},
                                                                            {"right", std::move(right)}}))}});
}
inline Json unify(Json l, Json r) { return make_unification(std::move(l), std::move(r)); }
inline Json includes(Json element, Json list_expr) {
  return Json::object(
      {{"inclusion", Json::object({{"list", std::move(list_expr)}, {"element", std::move(element)}})}});
}
inline Json rule(Json head, std::vector<Json> body, std::string text = "", bool distinct = false) {
  Json r = Json::object({{"head", std::move(head)}, {"full_text", Json(std::move(text))}});
  if (!body.empty())
    r.set("body", Json::object({{"conjunction", Json::object({{"conjunct", Json(std::move(body))}})}}));
  if (distinct) r.set("distinct_denoted", true);
  return r;
}
inline Json head(std::string name, std::vector<Json> positional, std::vector<F> named = {}) {
  return call_node(std::move(name), fields(std::move(positional), std::move(named)));
}
inline Json aggregated(std::string field, std::string op_name, Json argument) {
  Json agg = Json::object({{"expression", call(std::move(op_name), {std::move(argument)})}});
  return Json::object(
      {{"field", Json(std::move(field))}, {"value", Json::object({{"aggregation", std::move(agg)}})}});
}
inline Json annotation(std::string name, std::vector<Json> positional, std::vector<F> named = {},
                       std::string text = "@annotation") {
  return rule(head(std::move(name), std::move(positional), std::move(named)), {}, std::move(text));
}

}  // namespace mirtova::trees
