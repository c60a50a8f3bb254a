#include "assertion/tree_readers.h"

namespace mirtova::assertion {

std::optional<std::string_view> predicate_literal_name(const Json& expression) {
  const Json* literal = expression.get("literal");
  const Json* predicate = literal ? literal->get("the_predicate") : nullptr;
  const Json* name = predicate ? predicate->get("predicate_name") : nullptr;
  if (!name || !name->is_str()) return std::nullopt;
  return std::string_view(name->as_str());
}

}  // namespace mirtova::assertion
