// Small builders of syntax trees in the parser's shapes, for the type inference tests.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compiler/type_inference/graph.h"
#include "parser/json.h"

namespace mirtova::trees {

inline Json literal(std::string kind, Json value) {
  return Json::object({{"literal", Json::object({{std::move(kind), std::move(value)}})}});
}
inline Json num(std::string text = "1") { return literal("the_number", Json::object({{"number", text}})); }
inline Json str(std::string text = "a") {
  return literal("the_string", Json::object({{"the_string", text}}));
}
inline Json boolean() { return literal("the_bool", Json::object({{"the_bool", "true"}})); }
inline Json null() { return literal("the_null", Json::object({{"the_null", "null"}})); }
inline Json list(std::vector<Json> elements) {
  return literal("the_list", Json::object({{"element", Json(Json::ArrayType(std::move(elements)))}}));
}
inline Json var(std::string name) { return Json::object({{"variable", Json::object({{"var_name", name}})}}); }

// (field, expression): an int field is positional, a text field named.
using Args = std::vector<std::pair<Json, Json>>;

inline Json record_of(const Args& args) {
  Json items = Json::array();
  for (const auto& [field, expression] : args) {
    items.push(Json::object({{"field", field}, {"value", Json::object({{"expression", expression}})}}));
  }
  return Json::object({{"field_value", items}});
}
inline Args pos(std::vector<Json> expressions) {
  Args args;
  for (size_t i = 0; i < expressions.size(); ++i)
    args.emplace_back(Json(static_cast<int64_t>(i)), expressions[i]);
  return args;
}
inline Json call_node(std::string name, const Args& args) {
  return Json::object({{"predicate_name", name}, {"record", record_of(args)}});
}
inline Json call(std::string name, const Args& args) {
  return Json::object({{"call", call_node(name, args)}});
}
inline Json op(std::string name, Json left, Json right) {
  return call(std::move(name), {{"left", std::move(left)}, {"right", std::move(right)}});
}
inline Json rec(const Args& args) { return Json::object({{"record", record_of(args)}}); }
inline Json sub(Json record, std::string field) {
  Json symbol =
      Json::object({{"literal", Json::object({{"the_symbol", Json::object({{"symbol", field}})}})}});
  return Json::object({{"subscript", Json::object({{"record", std::move(record)}, {"subscript", symbol}})}});
}
inline Json if_then(std::vector<std::pair<Json, Json>> branches, std::optional<Json> otherwise) {
  Json items = Json::array();
  for (auto& [condition, consequence] : branches) {
    items.push(Json::object({{"condition", condition}, {"consequence", consequence}}));
  }
  Json node = Json::object({{"if_then", items}});
  if (otherwise) node.set("otherwise", *otherwise);
  return Json::object({{"implication", node}});
}

inline Json unify(Json left, Json right) {
  return Json::object({{"unification", Json::object({{"left_hand_side", std::move(left)},
                                                     {"right_hand_side", std::move(right)}})}});
}
inline Json includes(Json element, Json list) {
  return Json::object(
      {{"inclusion", Json::object({{"list", std::move(list)}, {"element", std::move(element)}})}});
}
inline Json pred(std::string name, const Args& args) {
  return Json::object({{"predicate", call_node(name, args)}});
}

inline Json rule(std::string name, const Args& head, std::vector<Json> body = {}) {
  Json r = Json::object({{"head", call_node(name, head)}, {"full_text", name + "(..)"}});
  if (!body.empty()) {
    r.set("body", Json::object({{"conjunction",
                                 Json::object({{"conjunct", Json(Json::ArrayType(std::move(body)))}})}}));
  }
  return r;
}

inline std::string kind_name(EdgeKind kind) {
  switch (kind) {
    case EdgeKind::Equality:
      return "Equality";
    case EdgeKind::Inclusion:
      return "Inclusion";
    case EdgeKind::FieldAccess:
      return "FieldAccess";
    case EdgeKind::Argument:
      return "Argument";
  }
  return "?";
}

// "Equality PredicateAddressing(Q.col0) Variable(x@1) (0, 0)"
inline std::string describe(const Edge& e) {
  return kind_name(e.kind) + " " + e.left.to_string() + " " + e.right.to_string() + " (" +
         std::to_string(e.start) + ", " + std::to_string(e.stop) + ")";
}
inline std::vector<std::string> describe(const TypesGraph& g) {
  std::vector<std::string> out;
  for (const Edge& e : g.edges()) out.push_back(describe(e));
  return out;
}

}  // namespace mirtova::trees
