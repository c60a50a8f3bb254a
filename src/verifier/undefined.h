// The undefined-name check: every capitalised predicate and function is
// defined, built in or reserved.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct UndefinedError {
  std::string name;
  std::optional<std::string> suggestion;  // a known name close to `name`
  bool is_function = false;               // met as a function call, else as a predicate

  std::string text() const;
};

std::vector<UndefinedError> check_undefined(const RuleList& full);

}  // namespace mirtova::verifier
