// The reserved-name check: no rule redefines a library predicate, "Today" or
// "Now", nor defines a function under a built-in function's name.
#pragma once

#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct ReservedError {
  std::string name;          // the head predicate name
  bool is_function = false;  // a built-in function defined as a function, else a reserved predicate

  std::string text() const;
};

std::vector<ReservedError> check_reserved(const RuleList& plain);

}  // namespace mirtova::verifier
