// Make instructions: the functor statements of a rule list, read from their
// "@Make" rules into the made name and a small object of functor and arguments.
#pragma once

#include <string>
#include <vector>

#include "parser/json.h"

namespace mirtova {

// One functor statement A := F(X: B, ...): `made` is A; `object` holds "1", the
// functor ({"predicate_name": F} for a well-formed statement), and "2", an
// object from argument name to its value, when any argument survived reading.
struct MakeInstruction {
  std::string made;
  Json object;

  friend bool operator==(const MakeInstruction&, const MakeInstruction&) = default;
};

// Whether the rule's head predicate is exactly "@Make".
bool is_make_rule(const Json& rule);

// The instructions of the "@Make" rules, sorted by made name (stable, so equal
// names keep source order). A rule whose first argument names no predicate
// yields none.
std::vector<MakeInstruction> collect_make_instructions(const std::vector<Json>& rules);

}  // namespace mirtova
