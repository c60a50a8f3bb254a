// Hand-built syntax trees in the parser's shapes, for every C++ test that feeds
// the compiler a tree instead of program text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "parser/json.h"
#include "parser/tree_build.h"

namespace mirtova::trees {

// Expressions.
inline Json var(Json name) { return make_variable(std::move(name)); }
inline Json num(int64_t value) { return make_number(value); }
inline Json num(std::string text = "1") {
  return make_object("literal", make_object("the_number", make_object("number", std::move(text))));
}
inline Json str(std::string text = "a") {
  return make_object("literal", make_object("the_string", make_object("the_string", std::move(text))));
}
inline Json boolean(bool value = true) {
  return make_object("literal", make_object("the_bool", make_object("the_bool", value ? "true" : "false")));
}
inline Json null_literal() {
  return make_object("literal", make_object("the_null", make_object("the_null", "null")));
}
inline Json pred(std::string name) { return make_predicate_literal(std::move(name)); }
inline Json list(std::vector<Json> items) { return make_list_literal(std::move(items)); }

// A field list: positional entries are numbered in order, named ones keep their name.
struct F {
  Json name;
  Json value;
};
inline Json field(Json name, Json expression) { return make_field(std::move(name), std::move(expression)); }
inline Json::ArrayType fields(std::vector<Json> positional, std::vector<F> named = {}) {
  Json::ArrayType out;
  int64_t i = 0;
  for (Json& v : positional) out.push_back(field(Json(i++), std::move(v)));
  for (F& f : named) out.push_back(field(std::move(f.name), std::move(f.value)));
  return out;
}

// {"predicate_name": name, "record": {"field_value": entries}}: a call, a head, a conjunct's call.
inline Json call_node(std::string name, Json::ArrayType entries = {}) {
  return make_call(std::move(name), std::move(entries));
}
inline Json head(std::string name, std::vector<Json> positional, std::vector<F> named = {}) {
  return call_node(std::move(name), fields(std::move(positional), std::move(named)));
}
inline Json call(std::string name, std::vector<Json> positional, std::vector<F> named = {}) {
  return make_call_expr(head(std::move(name), std::move(positional), std::move(named)));
}
inline Json op(std::string name, Json left, Json right) {
  return call(std::move(name), {}, {{"left", std::move(left)}, {"right", std::move(right)}});
}
inline Json record(std::vector<F> named) {
  return make_object("record", make_object("field_value", fields({}, std::move(named))));
}
inline Json subscript(Json target, std::string name) {
  Json symbol = make_object("literal", make_object("the_symbol", make_object("symbol", std::move(name))));
  return make_object("subscript", make_object("record", std::move(target), "subscript", std::move(symbol)));
}
inline Json implication(std::vector<std::pair<Json, Json>> branches, std::optional<Json> otherwise) {
  Json items = Json::array();
  for (auto& [condition, consequence] : branches)
    items.push(make_object("condition", std::move(condition), "consequence", std::move(consequence)));
  Json node = make_object("if_then", std::move(items));
  if (otherwise) node.set("otherwise", std::move(*otherwise));
  return make_object("implication", std::move(node));
}

// Propositions.
inline Json atom(std::string name, std::vector<Json> positional, std::vector<F> named = {}) {
  return make_predicate_conjunct(head(std::move(name), std::move(positional), std::move(named)));
}
// A condition written with a comparison's left and right operands.
inline Json cond(std::string name, Json left, Json right) {
  return atom(std::move(name), {}, {{"left", std::move(left)}, {"right", std::move(right)}});
}
// The conjunct that tests a call expression, as a condition stands in a body.
inline Json conjunct_of(const Json& call_expression) {
  return make_predicate_conjunct(call_expression.at("call"));
}
inline Json unify(Json left, Json right) { return make_unification(std::move(left), std::move(right)); }
inline Json includes(Json element, Json list_expression) {
  return make_inclusion(std::move(element), std::move(list_expression));
}
inline Json conj(std::vector<Json> conjuncts) { return make_conjunction(std::move(conjuncts)); }
inline Json disj(std::vector<Json> disjuncts) {
  return make_object("disjunction", make_object("disjunct", std::move(disjuncts)));
}

// Rules.
inline Json rule_with_body(Json head_call, Json body, std::string text) {
  return make_object("head", std::move(head_call), "body", std::move(body), "full_text", std::move(text));
}
inline Json rule(Json head_call, std::vector<Json> body = {}, std::string text = "", bool distinct = false) {
  Json r = make_object("head", std::move(head_call), "full_text", std::move(text));
  if (!body.empty()) r.set("body", conj(std::move(body)));
  if (distinct) r.set("distinct_denoted", true);
  return r;
}
// A head field aggregating `argument` with the call `op_name`, as the file parser leaves it.
inline Json aggregated(std::string name, std::string op_name, Json argument) {
  Json aggregation = make_object("expression", call(std::move(op_name), {std::move(argument)}));
  return make_object("field", std::move(name), "value", make_object("aggregation", std::move(aggregation)));
}
// The same before that rewrite: the operator and its argument as written.
inline Json agg_field(Json name, std::string op_name, Json argument, std::string heritage) {
  Json aggregation = make_object("operator", std::move(op_name), "argument", std::move(argument),
                                 "expression_heritage", std::move(heritage));
  return make_object("field", std::move(name), "value", make_object("aggregation", std::move(aggregation)));
}
inline Json annotation(std::string name, std::vector<Json> positional, std::vector<F> named = {},
                       std::string text = "@annotation") {
  return rule(head(std::move(name), std::move(positional), std::move(named)), {}, std::move(text));
}
// Combine(quoril_value? op_name= value) :- body, distinct.
inline Json combine_rule(std::string op_name, Json value, std::vector<Json> body, std::string text = "") {
  Json aggregate = aggregated("quoril_value", std::move(op_name), std::move(value));
  return rule(call_node("Combine", {std::move(aggregate)}), std::move(body), std::move(text), true);
}
inline Json combine(Json rule_tree) { return make_object("combine", std::move(rule_tree)); }
inline Json combine_expr(std::string op_name, Json value, std::vector<Json> body) {
  return combine(combine_rule(std::move(op_name), std::move(value), std::move(body)));
}
// ~(body): the parser writes a negation as IsNull over a combine.
inline Json negation(std::vector<Json> body) {
  return atom("IsNull", {combine_expr("Min", num(1), std::move(body))});
}

inline Json rules(std::vector<Json> items) { return Json(std::move(items)); }
// A parsed program's tree: {"rule": rules}.
inline Json program(std::vector<Json> items) { return make_object("rule", std::move(items)); }

}  // namespace mirtova::trees
