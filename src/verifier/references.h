// What a program defines and which predicates its statements refer to: the
// walks that the undefined-name check and the table-name step share.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "common/name_sets.h"
#include "parser/json.h"
#include "verifier/rule_lists.h"

namespace mirtova::verifier {

// The head names of the statements that are not annotations, and the names
// that "@Make" statements make.
SortedNames defined_predicates(const RuleList& statements);

// Adds the predicates a body calls: its conjuncts, through disjunctions and
// into the bodies of combines in their arguments and in unifications.
void collect_body_refs(const Json& body, SortedNames& refs);

// Adds the predicates that the bodies of the combines anywhere in the tree call.
void collect_expr_refs(const Json& tree, SortedNames& refs);

// Whether a head's record defines a value, as the head of «F(x) = v» does: one
// of its fields is "quoril_value".
bool record_defines_value(const Json& record);

}  // namespace mirtova::verifier
