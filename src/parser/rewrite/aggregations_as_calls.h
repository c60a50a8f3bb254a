// Turns every aggregation of a rule list into its call form: the operator
// becomes a called predicate with the argument as its one field.
#pragma once

#include <string>
#include <string_view>

#include "parser/json.h"

namespace mirtova {

// The predicate an aggregating operator is called as.
std::string aggregation_call_name(std::string_view op);

// Takes the rule list read-only and returns a rewritten copy.
Json rewrite_aggregations_as_expressions(Json rules);

// The same pass in two halves, so that most of it runs on a rule while the
// rule is fresh in memory. A rule's own head aggregations (the values of its
// head's fields) are what the multi-body pass still reads, so they wait for
// rewrite_head_aggregations; every other aggregation of the rule is taken now.
// Applied to a rule in this order, with any passes between that leave every
// aggregation outside head fields as it is, the two give what
// rewrite_aggregations_as_expressions would.
void rewrite_nested_aggregations(Json& rule);
// Whether the rules read from `statement` may hold an aggregation anywhere but
// as a value of their own head's fields. Every other one is read from a '~'
// (negation), a '{' (the short combine), the word "combine", or an '=' that
// is not part of "==", " !=", " <=" or " >=" (an implication, an aggregating
// operator); a statement with none of these need not be walked. Errs towards
// true: a '~' or '=' inside a string literal also counts.
bool may_nest_aggregations(std::string_view statement);
void rewrite_head_aggregations(Json& rule);

}  // namespace mirtova
