// The ordering check and the text of its finding.
#include "verifier/orderby.h"

#include "parser/tree_access.h"
#include "verifier/verify_error.h"

namespace mirtova::verifier {

namespace {

// The predicate literal's name given as an @OrderBy statement's first argument
// (whatever its field); nullptr when the statement is no such @OrderBy.
const Json* ordered_predicate(const Json& statement) {
  const Json* head = statement.get("head");
  if (head == nullptr) return nullptr;
  const Json* name = head->get("predicate_name");
  if (name == nullptr || !name->is_str() || name->as_str() != "@OrderBy") return nullptr;
  const Json::ArrayType& fields = call_fields(*head);
  if (fields.empty()) return nullptr;
  const Json* value = fields[0].get("value");
  const Json* expression = value != nullptr ? value->get("expression") : nullptr;
  const Json* literal = expression != nullptr ? expression->get("literal") : nullptr;
  const Json* predicate = literal != nullptr ? literal->get("the_predicate") : nullptr;
  return predicate != nullptr ? predicate->get("predicate_name") : nullptr;
}

}  // namespace

std::string OrderByError::text() const { return verifier::text(MissingOrderBy{predicate}); }

std::optional<OrderByError> check_order_by(const Json& program, const RuleList& full) {
  const Json* front = program.get("front_matter");
  const Json* name = front != nullptr ? front->get("name") : nullptr;
  if (name == nullptr || !name->is_str()) return std::nullopt;
  for (const Json* statement : full) {
    const Json* ordered = ordered_predicate(*statement);
    if (ordered != nullptr && ordered->is_str() && ordered->as_str() == name->as_str()) return std::nullopt;
  }
  return OrderByError{name->as_str()};
}

}  // namespace mirtova::verifier
