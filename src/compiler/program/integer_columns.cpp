#include "compiler/program/integer_columns.h"

#include <optional>
#include <string_view>

#include "compiler/expr_translate/expr_translator.h"
#include "parser/tree_access.h"

namespace mirtova {

namespace {

using Names = std::set<std::string, std::less<>>;

// The variables of the rule's body that hold integers, given the columns
// taken to hold them: those its calls read from such a column, and those
// equated with an integer, in any order.
Names integer_variables(const Json& rule, const IntegerColumns& integer) {
  Names variables;
  const Json::ArrayType* conjuncts = body_conjuncts(rule);
  if (conjuncts == nullptr) return variables;
  for (const Json& conjunct : *conjuncts) {
    for (CalledVariable& called : called_variables(conjunct)) {
      if (integer.count(std::pair(std::string(called.predicate), std::move(called.column))))
        variables.insert(std::move(called.variable));
    }
  }
  auto holds_integer = [&](std::string_view name) { return variables.count(name) != 0; };
  // Each pass adds a variable, or ends.
  for (size_t pass = 0; pass <= conjuncts->size(); ++pass) {
    bool more = false;
    for (const Json& conjunct : *conjuncts) {
      const Json* unification = conjunct.get("unification");
      const Json* left = unification != nullptr ? unification->get("left_hand_side") : nullptr;
      const Json* right = unification != nullptr ? unification->get("right_hand_side") : nullptr;
      if (left == nullptr || right == nullptr) continue;
      for (auto [variable_side, other] : {std::pair{left, right}, std::pair{right, left}}) {
        std::optional<std::string> variable = variable_name(*variable_side);
        if (variable && !variables.count(*variable) && is_integer_expression(*other, holds_integer)) {
          variables.insert(std::move(*variable));
          more = true;
        }
      }
    }
    if (!more) break;
  }
  return variables;
}

// Whether the head field's value is an integer, its variables holding integers as `variables` says.
bool writes_integer(const Json& field, const Names& variables) {
  auto holds_integer = [&](std::string_view name) { return variables.count(name) != 0; };
  if (const Json* value = field_expression(field)) return is_integer_expression(*value, holds_integer);
  const Json* at = field.get("value");
  const Json* aggregation = at != nullptr ? at->get("aggregation") : nullptr;
  const Json* expression = aggregation != nullptr ? aggregation->get("expression") : nullptr;
  const Json* call = expression != nullptr ? expression->get("call") : nullptr;
  const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
  if (name == nullptr || !name->is_str()) return false;
  const std::string_view aggregate = name->as_str();
  if (aggregate == "Count") return true;
  if (aggregate != "Max" && aggregate != "Min" && aggregate != "Sum" && aggregate != "AnyValue") return false;
  std::vector<const Json*> arguments = call_arguments(*call);
  return arguments.size() == 1 && is_integer_expression(*arguments.front(), holds_integer);
}

}  // namespace

bool combine_gives_integer(const Json& combine, const IntegerColumns& integer) {
  const Json* head = combine.get("head");
  if (head == nullptr) return false;
  const Json::ArrayType& fields = call_fields(*head);
  return fields.size() == 1 && writes_integer(fields.front(), integer_variables(combine, integer));
}

IntegerColumns integer_columns(const std::vector<Json>& rules) {
  // Every column a rule writes is taken to hold integers until a rule writes
  // something else there: the values of a column come from its rules alone,
  // so what stands when no rule drops one more holds. Each round drops one
  // column at least, or ends.
  IntegerColumns integer;
  for (const Json& rule : rules) {
    const Json* head = rule.get("head");
    if (head == nullptr) continue;
    for (const Json& field : call_fields(*head))
      integer.emplace(std::string(head_name(rule)), field_column(field));
  }
  for (bool changed = true; changed;) {
    changed = false;
    for (const Json& rule : rules) {
      const Json* head = rule.get("head");
      if (head == nullptr) continue;
      std::optional<Names> variables;
      for (const Json& field : call_fields(*head)) {
        auto column = integer.find(std::pair(std::string(head_name(rule)), field_column(field)));
        if (column == integer.end()) continue;
        if (!variables) variables = integer_variables(rule, integer);
        if (writes_integer(field, *variables)) continue;
        integer.erase(column);
        changed = true;
      }
    }
  }
  return integer;
}

}  // namespace mirtova
