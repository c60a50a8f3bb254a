// The ordering check and the text of its finding.
#include "verifier/orderby.h"

#include "parser/tree_access.h"
#include "verifier/verify_error.h"

namespace mirtova::verifier {

namespace {

// The predicate literal's name given as an @OrderBy statement's first argument
// (whatever its field); nothing when the statement is no such @OrderBy.
std::optional<std::string_view> ordered_predicate(const Json& statement) {
  const Json* head = statement.get("head");
  if (head == nullptr) return std::nullopt;
  const Json* name = head->get("predicate_name");
  if (name == nullptr || !name->is_str() || name->as_str() != "@OrderBy") return std::nullopt;
  const Json::ArrayType& fields = call_fields(*head);
  if (fields.empty()) return std::nullopt;
  const Json* expression = field_expression(fields[0]);
  return expression != nullptr ? predicate_literal_name(*expression) : std::nullopt;
}

}  // namespace

std::string OrderByError::text() const { return verifier::text(MissingOrderBy{predicate}); }

std::optional<OrderByError> check_order_by(const Json& program, const RuleList& full) {
  const Json* front = program.get("front_matter");
  const Json* name = front != nullptr ? front->get("name") : nullptr;
  if (name == nullptr || !name->is_str()) return std::nullopt;
  for (const Json* statement : full) {
    if (ordered_predicate(*statement) == name->as_str()) return std::nullopt;
  }
  return OrderByError{std::string(name->as_str())};
}

}  // namespace mirtova::verifier
