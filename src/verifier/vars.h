// The variable sets of a rule: what its body gives a value, what its head shows,
// what its conditions test, and what its negations and aggregations use.
#pragma once

#include <array>
#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "parser/json.h"

namespace mirtova::verifier {

// Variable names in ascending byte order, so that findings drawn from a set
// come in the same order in every run.
using VarSet = std::set<std::string, std::less<>>;

// The built-in aggregates: a call of one aggregates wherever it stands.
inline constexpr std::array<std::string_view, 18> kBuiltInAggregates = {
    "Sum",      "Count",  "ExactCount", "Min",       "Max",     "Avg",
    "List",     "Set",    "Array",      "StringAgg", "Median",  "SomeValue",
    "AnyValue", "ArgMax", "ArgMin",     "ArgMaxK",   "ArgMinK", "ArrayConcatAgg"};

// Each operation reads one rule node as the parser writes it and builds a new
// set; none holds the anonymous variable "_". The walks keep their own stacks:
// a rule nested as deeply as the parser allows costs no call-stack depth.
struct VarCollector {
  // The head's record, aggregated fields and combines left out.
  static VarSet head_vars(const Json& rule);
  // Given a value by the body: arguments of predicates that are not
  // conditions, both sides of a unification, the element of an inclusion, and
  // what every alternative of a disjunction gives.
  static VarSet positive_vars(const Json& rule);
  // The same, with every combine left out: a combine's variables are its own,
  // so what it binds gives no value to the rule or to another combine.
  static VarSet positive_vars_outside_combines(const Json& rule);
  // The other head fields of a functional definition: its caller binds them.
  static VarSet function_input_vars(const Json& rule);
  // The arguments of conditions other than "IsNull", combines left out.
  static VarSet compared_vars(const Json& rule);
  // The variables of each negation but those it binds and uses twice itself.
  static VarSet negated_vars(const Json& rule);
  // Under head aggregations, and under aggregations and aggregating calls that
  // stand directly as an argument or a side of a unification in the body.
  static VarSet aggregation_vars(const Json& rule);
};

}  // namespace mirtova::verifier
