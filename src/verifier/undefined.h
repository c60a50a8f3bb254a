// The undefined-name check: every capitalised predicate and function is
// defined, built in or reserved, and a function call names something that has
// a value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "verifier/rule_lists.h"

namespace mirtova::verifier {

enum class UndefinedKind : uint8_t {
  Predicate,     // a predicate nothing defines
  Function,      // a function call of a name nothing defines
  NotAFunction,  // a function call of a reserved name that nothing defines rules for
  NoValue,       // a function call of a predicate of the program that is no function
};

struct UndefinedError {
  std::string name;
  std::optional<std::string> suggestion;  // a known name close to `name`
  UndefinedKind kind = UndefinedKind::Predicate;

  std::string text() const;
};

std::vector<UndefinedError> check_undefined(const RuleList& full);

}  // namespace mirtova::verifier
