// Test helpers: parse a text as a proposition or an expression and render the
// tree in a short prefix form, so that a table row shows grouping at a glance:
// "a * b / c" renders as *(a, /(b, c)). Errors render as "error: <message>".
#pragma once

#include <string>

#include "parser/forms.h"

namespace mirtova::sketch {

inline std::string render(const Json& node);

inline std::string render_fields(const Json& record) {
  std::string out;
  for (const Json& field : record.at("field_value").as_array()) {
    if (!out.empty()) out += ", ";
    const Json& name = field.at("field");
    if (name.is_str() && name.as_str() != "left" && name.as_str() != "right") out += name.as_str() + ": ";
    const Json& value = field.at("value");
    if (const Json* aggregation = value.get("aggregation"))
      out += aggregation->at("operator").as_str() + "= " + render(aggregation->at("argument"));
    else
      out += render(value.at("expression"));
    if (const Json* except = field.get("except")) out += " except " + except->compact();
  }
  return out;
}

inline std::string render_list(const Json& items, const char* separator = ", ") {
  std::string out;
  for (const Json& item : items.as_array()) out += (out.empty() ? "" : separator) + render(item);
  return out;
}

inline std::string render_combine(const Json& rule) {
  const Json& aggregation = rule.at("head").at("record").at("field_value").as_array()[0].at("value").at("aggregation");
  std::string out = aggregation.at("operator").as_str() + "{" + render(aggregation.at("argument"));
  if (const Json* body = rule.get("body")) out += " :- " + render_list(body->at("conjunction").at("conjunct"));
  return out + "}";
}

// Renders expressions and propositions alike; each node kind has one form.
inline std::string render(const Json& node) {
  if (const Json* v = node.get("variable")) return v->at("var_name").as_str();
  if (const Json* l = node.get("literal")) {
    if (const Json* n = l->get("the_number")) return n->at("number").as_str();
    if (const Json* s = l->get("the_string")) return "\"" + s->at("the_string").as_str() + "\"";
    if (const Json* b = l->get("the_bool")) return b->at("the_bool").as_str();
    if (l->has("the_null")) return "null";
    if (const Json* list = l->get("the_list")) return "[" + render_list(list->at("element")) + "]";
    return l->at("the_predicate").at("predicate_name").as_str();
  }
  const Json* call = node.get("call");
  if (call == nullptr) call = node.get("predicate");
  if (call != nullptr) return call->at("predicate_name").as_str() + "(" + render_fields(call->at("record")) + ")";
  if (const Json* r = node.get("record")) return "{" + render_fields(*r) + "}";
  if (const Json* s = node.get("subscript"))
    return render(s->at("record")) + "." + s->at("subscript").at("literal").at("the_symbol").at("symbol").as_str();
  if (const Json* i = node.get("implication")) {
    std::string out = "if(";
    for (const Json& branch : i->at("if_then").as_array())
      out += render(branch.at("condition")) + " ? " + render(branch.at("consequence")) + "; ";
    return out + "else " + render(i->at("otherwise")) + ")";
  }
  if (const Json* c = node.get("combine")) return render_combine(*c);
  if (const Json* c = node.get("conjunction")) return "and(" + render_list(c->at("conjunct")) + ")";
  if (const Json* d = node.get("disjunction")) return "or(" + render_list(d->at("disjunct")) + ")";
  if (const Json* u = node.get("unification"))
    return "unify(" + render(u->at("left_hand_side")) + ", " + render(u->at("right_hand_side")) + ")";
  if (const Json* i = node.get("inclusion"))
    return "inclusion(" + render(i->at("element")) + ", " + render(i->at("list")) + ")";
  return "?" + node.compact();
}

template <class Parse>
std::string outcome(Parse parse, const std::string& text) {
  auto result = parse(SpanString(text));
  if (!result.ok()) return "error: " + result.error().message;
  return render(result.value());
}

inline std::string proposition(const std::string& text) { return outcome(parse_proposition, text); }
inline std::string expression(const std::string& text) { return outcome(parse_expression, text); }

inline std::string compact_of(const Json& node) { return node.compact(); }
inline std::string compact_of(const MaybeNode& node) { return node ? node->compact() : "nothing"; }

// The compact JSON text of a tree, or the error message.
template <class Parse>
std::string json_of(Parse parse, const std::string& text) {
  auto result = parse(SpanString(text));
  return result.ok() ? compact_of(result.value()) : "error: " + result.error().message;
}

// The text that an error points at, or "<ok>".
template <class Parse>
std::string error_span(Parse parse, const std::string& text) {
  auto result = parse(SpanString(text));
  return result.ok() ? "<ok>" : result.error().span.to_string();
}

}  // namespace mirtova::sketch
