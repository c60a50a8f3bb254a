// Splitting a program into the full and the plain rule list.
#include "verifier/rule_lists.h"

#include "parser/tree_access.h"

namespace mirtova::verifier {

RuleLists rule_lists(const Json& program) {
  RuleLists lists;
  const Json::ArrayType& rules = program.at("rule").as_array();
  lists.full.reserve(rules.size());
  for (const Json& rule : rules) {
    lists.full.push_back(&rule);
    if (!is_annotation_name(head_name(rule))) lists.plain.push_back(&rule);
  }
  return lists;
}

}  // namespace mirtova::verifier
