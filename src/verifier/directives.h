// The directive checks: the arguments and options of annotation statements.
#pragma once

#include <string>
#include <vector>

#include "verifier/rule_lists.h"
#include "verifier/shared_text.h"

namespace mirtova::verifier {

struct DirectiveError {
  std::string message;  // finished, but for the tail
  SharedText tail;      // a list that several findings end with

  std::string text() const;
};

std::vector<DirectiveError> check_directives(const RuleList& full);

}  // namespace mirtova::verifier
