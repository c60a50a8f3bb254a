// TranslateError: why an assertion statement did not become counterexample rules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mirtova::assertion {

struct TranslateError {
  enum class Kind : uint8_t {
    Pending,      // waits for predicates the program does not define yet
    Invalid,      // the statement is wrong
    Unsupported,  // the statement is valid but cannot be checked
  };

  Kind kind = Kind::Invalid;
  std::vector<std::string> predicates;  // Pending
  std::string message;                  // Invalid, Unsupported

  static TranslateError pending(std::vector<std::string> predicates) {
    return {Kind::Pending, std::move(predicates), {}};
  }
  static TranslateError invalid(std::string message) { return {Kind::Invalid, {}, std::move(message)}; }
  static TranslateError unsupported(std::string message) {
    return {Kind::Unsupported, {}, std::move(message)};
  }

  friend bool operator==(const TranslateError&, const TranslateError&) = default;
};

}  // namespace mirtova::assertion
