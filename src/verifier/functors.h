// The functor check: the names in @Make statements exist, and applying the
// functors to a copy of the program succeeds.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "parser/json.h"

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct FunctorError {
  std::string message;  // finished

  std::string text() const;
};

// The predicates a functor statement "A := B(P: C, ...)" names.
struct FunctorNames {
  std::string made;                    // A
  std::string functor;                 // B
  std::vector<std::string> arguments;  // the predicate literals among the arguments, in order
};

// None unless the statement's first two arguments are predicate literals.
std::optional<FunctorNames> functor_names(const Json& statement);

std::vector<FunctorError> check_functors(const RuleList& full);

}  // namespace mirtova::verifier
