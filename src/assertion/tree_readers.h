// Small readers of syntax-tree shapes that the assertion code needs.
#pragma once

#include <optional>
#include <string_view>

#include "parser/json.h"

namespace mirtova::assertion {

// The "field_value" entries of a rule's head record; nullptr when the head has
// no record or the record no entries.
const Json::ArrayType* head_fields(const Json& rule);

// The name of a predicate literal ({"literal": {"the_predicate":
// {"predicate_name": name}}}); nothing for any other expression.
std::optional<std::string_view> predicate_literal_name(const Json& expression);

}  // namespace mirtova::assertion
