#include "compiler/program/record_columns.h"

#include "compiler/expr_translate/expr_translator.h"
#include "compiler/type_inference/intersection.h"
#include "parser/tree_access.h"

namespace mirtova {

namespace {

bool holds_records(const Type& type) {
  const Type* inner = &type;
  while (inner->is_list()) inner = &inner->element();
  return inner->is_record();
}

bool is_record_or_list(const Json& expr) {
  if (expr.has("record")) return true;
  const Json* literal = expr.get("literal");
  return literal != nullptr && (literal->has("the_record") || literal->has("the_list"));
}

}  // namespace

void complete_record_columns(const std::vector<Json>& rules,
                             const std::vector<const RuleVariableTypes*>& rule_types, const Dialect& dialect,
                             ColumnTypes& column_types) {
  const FlagMap no_flags;
  for (size_t i = 0; i < rules.size() && i < rule_types.size(); ++i) {
    auto columns = column_types.find(head_name(rules[i]));
    if (columns == column_types.end()) continue;
    const Json* head = rules[i].get("head");
    if (head == nullptr) continue;
    std::optional<ExprTranslator> typing;
    for (const Json& field : call_fields(*head)) {
      const Json* value = field_expression(field);
      if (value == nullptr || !is_record_or_list(*value)) continue;
      auto column = columns->second.find(field_column(field));
      if (column == columns->second.end()) continue;
      if (!typing) {
        typing.emplace(Vocabulary{}, dialect, no_flags);
        if (rule_types[i] != nullptr) typing->variable_types = *rule_types[i];
      }
      Type written = typing->value_type(*value);
      if (!holds_records(written)) continue;
      TypeResult met = intersect(column->second, std::move(written), 0, 0);
      if (met.ok()) column->second = std::move(met).value();
    }
  }
}

}  // namespace mirtova
