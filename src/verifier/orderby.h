// The ordering check: the predicate a front matter names has an @OrderBy, so
// that its rows, and the pages of them, come back the same on every run.
#pragma once

#include <optional>
#include <string>

#include "parser/json.h"
#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct OrderByError {
  std::string predicate;  // the front matter's name

  std::string text() const;
};

// An error when the front matter names a predicate that no @OrderBy statement
// names as its first argument; none without front matter or without a name.
std::optional<OrderByError> check_order_by(const Json& program, const RuleList& full);

}  // namespace mirtova::verifier
