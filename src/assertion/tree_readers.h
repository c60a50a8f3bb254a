// Readers of syntax-tree shapes that the assertion code needs beyond parser/tree_access.h.
#pragma once

#include <optional>
#include <string_view>

#include "parser/json.h"

namespace mirtova::assertion {

// The name of a predicate literal ({"literal": {"the_predicate":
// {"predicate_name": name}}}); nothing for any other expression.
std::optional<std::string_view> predicate_literal_name(const Json& expression);

}  // namespace mirtova::assertion
