// Reading "@Make" rules into make instructions.
#include "compiler/functors/make_instructions.h"

#include <algorithm>
#include <optional>

namespace mirtova {

namespace {

// The text a field is known by: an int position in decimal, or its own name.
std::optional<std::string> field_name(const Json& entry) {
  const Json* field = entry.get("field");
  if (field == nullptr) return std::nullopt;
  if (field->is_int()) return std::to_string(field->as_int());
  if (field->is_str()) return std::string(field->as_str());
  return std::nullopt;
}

const Json* entry_expression(const Json& entry) {
  const Json* value = entry.get("value");
  const Json* expression = value == nullptr ? nullptr : value->get("expression");
  return expression != nullptr && expression->is_object() ? expression : nullptr;
}

// A head field of the "@Make" rule: predicate literals become {"predicate_name":
// P}, numbers and texts their bare value, anything else stays the expression.
std::optional<Json> reduce_head_field(const Json& expression) {
  const Json* literal = expression.get("literal");
  if (literal == nullptr || !literal->is_object()) return expression;
  if (const Json* predicate = literal->get("the_predicate")) return *predicate;
  if (const Json* number = literal->get("the_number")) {
    if (number->is_int()) return *number;
    const Json* text = number->get("number");
    if (text != nullptr && text->is_str()) return *text;
    return std::nullopt;
  }
  if (const Json* string = literal->get("the_string")) {
    if (string->is_str()) return *string;
    const Json* text = string->get("the_string");
    if (text != nullptr && text->is_str()) return *text;
    return Json("");
  }
  return expression;
}

// An argument of the functor call: predicate literals are reduced, every other
// value (constants included) is kept whole for the later reading of arguments.
Json reduce_argument(const Json& expression) {
  const Json* literal = expression.get("literal");
  if (literal != nullptr) {
    if (const Json* predicate = literal->get("the_predicate")) return *predicate;
  }
  return expression;
}

Json::ObjectType head_fields(const Json& rule) {
  Json::ObjectType fields;
  const Json* head = rule.get("head");
  const Json* record = head == nullptr ? nullptr : head->get("record");
  const Json* entries = record == nullptr ? nullptr : record->get("field_value");
  if (entries == nullptr || !entries->is_array()) return fields;
  for (const Json& entry : entries->as_array()) {
    std::optional<std::string> name = field_name(entry);
    const Json* expression = entry_expression(entry);
    if (!name || expression == nullptr) continue;
    std::optional<Json> reduced = reduce_head_field(*expression);
    if (reduced) fields[*name] = std::move(*reduced);
  }
  return fields;
}

Json call_arguments(const Json& value) {
  Json arguments = Json::object();
  const Json* record = value.get("record");
  const Json* entries = record == nullptr ? nullptr : record->get("field_value");
  if (entries == nullptr || !entries->is_array()) return arguments;
  for (const Json& entry : entries->as_array()) {
    std::optional<std::string> name = field_name(entry);
    const Json* expression = entry_expression(entry);
    if (name && expression != nullptr) arguments.set(*name, reduce_argument(*expression));
  }
  return arguments;
}

std::optional<MakeInstruction> read_instruction(const Json& rule) {
  Json::ObjectType fields = head_fields(rule);
  auto made = fields.find("0");
  if (made == fields.end()) return std::nullopt;
  const Json* made_name = made->second.get("predicate_name");
  if (made_name == nullptr || !made_name->is_str()) return std::nullopt;

  Json object = Json::object();
  if (auto functor = fields.find("1"); functor != fields.end()) object.set("1", functor->second);
  if (auto call = fields.find("2"); call != fields.end() && call->second.is_object()) {
    Json arguments = call_arguments(call->second);
    if (arguments.size() != 0) object.set("2", std::move(arguments));
  }
  return MakeInstruction{std::string(made_name->as_str()), std::move(object)};
}

}  // namespace

bool is_make_rule(const Json& rule) {
  const Json* head = rule.get("head");
  const Json* name = head == nullptr ? nullptr : head->get("predicate_name");
  return name != nullptr && name->is_str() && name->as_str() == "@Make";
}

std::vector<MakeInstruction> collect_make_instructions(const std::vector<Json>& rules) {
  std::vector<MakeInstruction> instructions;
  for (const Json& rule : rules) {
    if (!is_make_rule(rule)) continue;
    if (std::optional<MakeInstruction> instruction = read_instruction(rule))
      instructions.push_back(std::move(*instruction));
  }
  std::stable_sort(instructions.begin(), instructions.end(),
                   [](const MakeInstruction& a, const MakeInstruction& b) { return a.made < b.made; });
  return instructions;
}

}  // namespace mirtova
