// Test helper: renders a tree in a short prefix form, so that a table row
// shows grouping at a glance ("a * b / c" renders as *(a, /(b, c))).
#pragma once

#include <string>

#include "parser/forms.h"

namespace mirtova::sketch {

inline std::string render(const Json& node);

inline std::string join(const Json& items) {
  std::string out;
  for (const Json& item : items.as_array()) out += (out.empty() ? "" : ", ") + render(item);
  return out;
}

inline std::string fields(const Json& record) {
  std::string out;
  for (const Json& f : record.at("field_value").as_array()) {
    const Json& name = f.at("field");
    out += out.empty() ? "" : ", ";
    if (name.is_str() && name.as_str() != "left" && name.as_str() != "right")
      out += std::string(name.as_str()) + ": ";
    out += render(f.at("value").at("expression"));
  }
  return out;
}

inline std::string render(const Json& node) {
  if (const Json* v = node.get("variable")) return std::string(v->at("var_name").as_str());
  if (const Json* l = node.get("literal")) {
    if (const Json* n = l->get("the_number")) return std::string(n->at("number").as_str());
    if (const Json* s = l->get("the_string")) return "\"" + std::string(s->at("the_string").as_str()) + "\"";
    if (const Json* list = l->get("the_list")) return "[" + join(list->at("element")) + "]";
    return l->compact();
  }
  const Json* call = node.has("call") ? node.get("call") : node.get("predicate");
  if (call != nullptr)
    return std::string(call->at("predicate_name").as_str()) + "(" + fields(call->at("record")) + ")";
  if (const Json* r = node.get("record")) return "{" + fields(*r) + "}";
  if (const Json* s = node.get("subscript"))
    return render(s->at("record")) + "." +
           std::string(s->at("subscript").at("literal").at("the_symbol").at("symbol").as_str());
  if (const Json* i = node.get("implication")) {
    std::string out = "if(";
    for (const Json& b : i->at("if_then").as_array())
      out += render(b.at("condition")) + " ? " + render(b.at("consequence")) + "; ";
    return out + "else " + render(i->at("otherwise")) + ")";
  }
  if (const Json* c = node.get("combine")) {
    const Json& agg =
        c->at("head").at("record").at("field_value").as_array()[0].at("value").at("aggregation");
    std::string out;
    if (agg.has("operator")) {
      out = std::string(agg.at("operator").as_str()) + "{" + render(agg.at("argument"));
    } else {  // after the file parser's rewrite, an aggregation is a call of its operator
      const Json& call = agg.at("expression").at("call");
      out = std::string(call.at("predicate_name").as_str()) + "{" + fields(call.at("record"));
    }
    if (const Json* body = c->get("body")) out += " :- " + join(body->at("conjunction").at("conjunct"));
    return out + "}";
  }
  if (const Json* c = node.get("conjunction")) return "and(" + join(c->at("conjunct")) + ")";
  if (const Json* d = node.get("disjunction")) return "or(" + join(d->at("disjunct")) + ")";
  if (const Json* u = node.get("unification"))
    return "unify(" + render(u->at("left_hand_side")) + ", " + render(u->at("right_hand_side")) + ")";
  if (const Json* i = node.get("inclusion"))
    return "inclusion(" + render(i->at("element")) + ", " + render(i->at("list")) + ")";
  return "?" + node.compact();
}

inline std::string compact_of(const Json& node) { return node.compact(); }
inline std::string compact_of(const MaybeNode& node) { return node ? node->compact() : "nothing"; }

// The rendered tree, or "error: <message>".
template <class Parse>
std::string outcome(Parse parse, const std::string& text) {
  auto result = parse(SpanString(text));
  return result.ok() ? render(result.value()) : "error: " + result.error().message;
}
inline std::string proposition(const std::string& text) { return outcome(parse_proposition, text); }
inline std::string expression(const std::string& text) { return outcome(parse_expression, text); }

// The compact JSON text (or "nothing"), or "error: <message> @ <span>".
template <class Parse>
std::string json_of(Parse parse, const std::string& text) {
  auto result = parse(SpanString(text));
  if (!result.ok()) return "error: " + result.error().message + " @ " + result.error().span.to_string();
  return compact_of(result.value());
}

}  // namespace mirtova::sketch
