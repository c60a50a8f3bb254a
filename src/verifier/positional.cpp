// The positional-argument check: numbered fields are allowed only in function
// heads and in calls of the program's functions and of built-in predicates.
#include "verifier/positional.h"

#include "compiler/program/name_catalogues.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"
#include "verifier/references.h"

namespace mirtova::verifier {

namespace {

bool has_numbered_field(const Json& call) {
  for (const Json& field : call_fields(call)) {
    const Json* name = field.get("field");
    if (name != nullptr && !name->is_str()) return true;
  }
  return false;
}

bool defines_value(const Json& statement) {
  const Json* record = statement.at("head").get("record");
  return record != nullptr && record_defines_value(*record);
}

// Appends, in the order met, the names of the predicates called with numbered
// fields anywhere in the tree, negations and aggregations included; calls of
// functions inside expressions are not predicates and are passed over.
void collect_body_positional(const Json& tree, const SortedNames& value_predicates,
                             std::vector<std::string>& names) {
  const NameCatalogue& builtins = builtin_predicate_names();
  walk_tree(tree, [&](const Json& node) {
    const Json* predicate = node.get("predicate");
    if (predicate == nullptr || !predicate->is_object() || !has_numbered_field(*predicate)) return;
    const std::string name(predicate->at("predicate_name").as_str());
    if (!builtins.contains(name) && !value_predicates.contains(name)) names.push_back(name);
  });
}

}  // namespace

std::string PositionalError::text() const {
  return "Positional arguments in '" + name +
         "': Mirtova requires named arguments \u2014 use `field_name: value` instead of positional arguments";
}

std::vector<PositionalError> check_positional(const RuleList& plain) {
  SortedNames value_predicates;
  for (const Json* statement : plain)
    if (defines_value(*statement)) value_predicates.emplace(head_name(*statement));

  SortedNames seen;
  std::vector<PositionalError> found;
  // A predicate called positionally in many rules is reported once, at the first.
  auto report = [&](const std::string& name) {
    if (seen.insert(name).second) found.push_back(PositionalError{name});
  };
  for (const Json* statement : plain) {
    const std::string name(head_name(*statement));
    if (is_annotation_name(name)) continue;
    if (has_numbered_field(statement->at("head")) && !defines_value(*statement)) report(name);
    if (const Json* body = statement->get("body")) {
      std::vector<std::string> called;
      collect_body_positional(*body, value_predicates, called);
      for (const std::string& callee : called) report(callee);
    }
  }
  return found;
}

}  // namespace mirtova::verifier
