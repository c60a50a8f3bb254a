// CompileError: a compile failure, its finished message and the offending rule's text.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace mirtova {

// The host words it "Compile error: {0}", or "Compile error in rule: {0}\n{1}"
// when rule_text is not empty; that wording belongs to the module layer.
struct CompileError {
  std::string message;
  std::string rule_text;  // empty when the failure belongs to no rule

  CompileError() = default;
  explicit CompileError(std::string message, std::string rule_text = {})
      : message(std::move(message)), rule_text(std::move(rule_text)) {}

  friend bool operator==(const CompileError&, const CompileError&) = default;
};

// The words for a variable nothing in its rule gives a value, which `check`
// reports in the same words as compile refuses.
inline std::string not_given_value_message(std::string_view variable) {
  return "Variable '" + std::string(variable) +
         "' is not given a value in this rule: bind it with a predicate, an equality or an inclusion.";
}

}  // namespace mirtova
