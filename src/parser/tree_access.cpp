// Readers of syntax-tree shapes.
#include "parser/tree_access.h"

#include <charconv>

#include "common/internal_fault.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {
const Json::ArrayType kNoFields;
}

const Json::ArrayType& call_fields(const Json& call) {
  const Json* record = call.get("record");
  if (!record) return kNoFields;
  const Json* fields = record->get("field_value");
  if (!fields || !fields->is_array()) return kNoFields;
  return fields->as_array();
}

const Json* field_expression(const Json& field) {
  const Json* value = field.get("value");
  return value ? value->get("expression") : nullptr;
}

std::string field_column(const Json& field) {
  const Json& f = field.at("field");
  if (f.is_int()) return "col" + std::to_string(f.as_int());
  return std::string(f.as_str());
}

bool field_is_column(const Json& field, std::string_view column) {
  const Json& f = field.at("field");
  if (!f.is_int()) return f.as_str() == column;
  if (!column.starts_with("col")) return false;
  char digits[24];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, f.as_int());
  return column.substr(3) == std::string_view(digits, static_cast<size_t>(end - digits));
}

std::optional<std::string> predicate_name(const Json& expr) {
  if (const Json* v = expr.get("variable")) return v->at("var_name").as_var_name();
  if (const Json* lit = expr.get("literal"))
    if (const Json* p = lit->get("the_predicate")) {
      const Json* name = p->get("predicate_name");
      if (name && name->is_str()) return std::string(name->as_str());
    }
  return std::nullopt;
}

std::optional<std::string_view> predicate_literal_name(const Json& expr) {
  const Json* literal = expr.get("literal");
  const Json* predicate = literal ? literal->get("the_predicate") : nullptr;
  const Json* name = predicate ? predicate->get("predicate_name") : nullptr;
  if (!name || !name->is_str()) return std::nullopt;
  return name->as_str();
}

std::optional<std::string> string_literal(const Json& expr) {
  if (const Json* lit = expr.get("literal"))
    if (const Json* s = lit->get("the_string")) {
      if (s->is_str()) return std::string(s->as_str());
      const Json* text = s->get("the_string");
      if (text && text->is_str()) return std::string(text->as_str());
    }
  return std::nullopt;
}

std::optional<std::string> variable_name(const Json& expr) {
  if (const Json* v = expr.get("variable")) return v->at("var_name").as_var_name();
  return std::nullopt;
}

std::vector<const Json*> annotation_arguments(const Json& rule) {
  std::vector<const Json*> out;
  for (const Json& field : call_fields(rule.at("head")))
    if (const Json* e = field_expression(field)) out.push_back(e);
  return out;
}

const Json* named_argument(const Json& rule, std::string_view name) {
  for (const Json& field : call_fields(rule.at("head"))) {
    const Json& f = field.at("field");
    if (f.is_str() && f.as_str() == name) return field_expression(field);
  }
  return nullptr;
}

std::vector<CalledVariable> called_variables(const Json& conjunct) {
  std::vector<CalledVariable> variables;
  const Json* call = conjunct.get("predicate");
  const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
  if (name == nullptr || !name->is_str()) return variables;
  for (const Json& field : call_fields(*call)) {
    const Json* value = field_expression(field);
    if (std::optional<std::string> variable = value != nullptr ? variable_name(*value) : std::nullopt)
      variables.push_back({name->as_str(), field_column(field), std::move(*variable)});
  }
  return variables;
}

const Json::ArrayType* proposition_conjuncts(const Json& proposition) {
  const Json* conjunction = proposition.get("conjunction");
  const Json* conjuncts = conjunction != nullptr ? conjunction->get("conjunct") : nullptr;
  return conjuncts != nullptr && conjuncts->is_array() ? &conjuncts->as_array() : nullptr;
}

const Json::ArrayType* body_conjuncts(const Json& rule) {
  const Json* body = rule.get("body");
  if (!body) return nullptr;
  const Json* conj = body->get("conjunction");
  if (!conj) throw InternalFault("rule body is not a conjunction");
  return &conj->at("conjunct").as_array();
}

Json::ArrayType* body_conjuncts_mut(Json& rule) {
  Json* body = rule.get_mut("body");
  if (!body) return nullptr;
  Json* conj = body->get_mut("conjunction");
  if (!conj) throw InternalFault("rule body is not a conjunction");
  return &conj->at_mut("conjunct").as_array_mut();
}

Json::ArrayType& ensure_body(Json& rule) {
  if (!rule.has("body")) rule.set("body", make_conjunction(Json::array()));
  return *body_conjuncts_mut(rule);
}

std::string_view head_name(const Json& rule) { return rule.at("head").at("predicate_name").as_str(); }

std::string rule_text(const Json& rule) {
  const Json* text = rule.get("full_text");
  return text != nullptr && text->is_str() ? std::string(text->as_str()) : std::string("<unknown>");
}

const Json* made_expression(const Json& statement) {
  const Json* head = statement.get("head");
  const Json* record = head != nullptr ? head->get("record") : nullptr;
  const Json* fields = record != nullptr ? record->get("field_value") : nullptr;
  if (fields == nullptr || !fields->is_array() || fields->as_array().empty()) return nullptr;
  return field_expression(fields->as_array()[0]);
}

std::optional<std::string> made_predicate(const Json& statement) {
  const Json* expression = made_expression(statement);
  return expression != nullptr ? predicate_name(*expression) : std::nullopt;
}

}  // namespace mirtova
