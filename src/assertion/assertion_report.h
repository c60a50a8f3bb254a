// What the assertion checks hand the verifier: one report per assertion and
// the errors of malformed, invalid and duplicate assertions.
#pragma once

#include <optional>
#include <string>

namespace mirtova::assertion {

enum class AssertionStatus { Pending, Unchecked, Unsupported };

// "pending", "unchecked", "unsupported".
const char* status_text(AssertionStatus status);

struct AssertionReport {
  std::string predicate;
  std::string name;
  std::string statement;  // as written, before any import renaming
  AssertionStatus status = AssertionStatus::Pending;
  std::optional<std::string> detail;
};

enum class AssertionErrorKind { Malformed, Invalid, Duplicate };

struct AssertionError {
  AssertionErrorKind kind = AssertionErrorKind::Malformed;
  std::string annotation;  // Malformed: the annotation's name, "@Assert"
  std::string predicate;   // Invalid, Duplicate
  std::string name;        // Invalid, Duplicate
  std::string message;     // Malformed, Invalid

  std::string text() const;
};

}  // namespace mirtova::assertion
