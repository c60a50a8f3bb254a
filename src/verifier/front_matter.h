// The front-matter checks: a front matter names the predicate its file is about
// and describes it.
#pragma once

#include <optional>
#include <string>

#include "parser/json.h"

namespace mirtova::verifier {

struct NameError {
  std::string text() const;
};

struct DescriptionError {
  std::optional<std::string> predicate;  // the front matter's name, when it has one

  std::string text() const;
};

// True when the program has a front matter without a text "name" (an empty
// text counts as a name).
bool check_name(const Json& program);
// An error when the program has a front matter without a non-empty description.
std::optional<DescriptionError> check_description(const Json& program);

}  // namespace mirtova::verifier
