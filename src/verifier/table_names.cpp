// The table-name step.
#include "verifier/table_names.h"

#include "compiler/functors/functors.h"
#include "compiler/program/annotations.h"
#include "compiler/program/name_catalogues.h"
#include "compiler/rule_translate/names.h"
#include "parser/tree_access.h"
#include "verifier/references.h"

namespace mirtova::verifier {

std::vector<SqlExprError> check_table_names(const RuleList& full) {
  const SortedNames defined = defined_predicates(full);
  const NameCatalogue& builtins = builtin_function_names();
  const NameCatalogue& reserved = reserved_predicate_names();
  SortedNames reported;
  std::vector<SqlExprError> found;
  for (const Json* statement : full) {
    SortedNames refs;
    if (const Json* body = statement->get("body")) collect_body_refs(*body, refs);
    if (const Json* record = statement->at("head").get("record")) collect_expr_refs(*record, refs);
    for (const std::string& name : refs) {
      if (defined.contains(name) || builtins.contains(name) || reserved.contains(name) || is_table_name(name))
        continue;
      // A condition the rule translation reads itself is no table: the type
      // annotation "x ~ Num" has no SQL of its own, so no template names "~".
      if (is_constraint_predicate(name)) continue;
      if (!reported.insert(name).second) continue;
      found.push_back(SqlExprError{std::string(aggregated_predicate(head_name(*statement))), name});
    }
  }
  return found;
}

}  // namespace mirtova::verifier
