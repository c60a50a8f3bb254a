// The two views of a program that the checks are given: every statement, and
// the statements that are not annotations. Both point into the program tree.
#pragma once

#include <string_view>
#include <vector>

#include "parser/json.h"

namespace mirtova::verifier {

// Statements of the program's "rule" array, in source order; they point into
// the tree, which must outlive the list.
using RuleList = std::vector<const Json*>;

struct RuleLists {
  RuleList full;   // every statement, annotations included
  RuleList plain;  // those whose head name is empty or does not begin with "@"
};

RuleLists rule_lists(const Json& program);

// Whether a head predicate name is an annotation's: it begins with "@".
inline bool is_annotation_name(std::string_view name) { return !name.empty() && name[0] == '@'; }

}  // namespace mirtova::verifier
