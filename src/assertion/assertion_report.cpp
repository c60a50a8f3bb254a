// The texts of assertion statuses and assertion errors.
#include "assertion/assertion_report.h"

namespace mirtova::assertion {

const char* status_text(AssertionStatus status) {
  switch (status) {
    case AssertionStatus::Pending:
      return "pending";
    case AssertionStatus::Unchecked:
      return "unchecked";
    case AssertionStatus::Unsupported:
      return "unsupported";
  }
  return "";
}

std::string AssertionError::text() const {
  switch (kind) {
    case AssertionErrorKind::Malformed:
      return "Malformed " + annotation + ": " + message;
    case AssertionErrorKind::Invalid:
      return "Invalid assertion '" + predicate + "." + name + "': " + message;
    case AssertionErrorKind::Duplicate:
      return "Duplicate assertion '" + predicate + "." + name + "': it is stated more than once";
  }
  return "";
}

}  // namespace mirtova::assertion
