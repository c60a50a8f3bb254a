// The front-matter checks and the texts of their findings.
#include "verifier/front_matter.h"

#include "verifier/verify_error.h"

namespace mirtova::verifier {

std::string NameError::text() const { return verifier::text(MissingFrontMatterName{}); }

std::string DescriptionError::text() const {
  return verifier::text(MissingFrontMatterDescription{predicate});
}

bool check_name(const Json& program) {
  const Json* front = program.get("front_matter");
  if (front == nullptr) return false;
  const Json* name = front->get("name");
  return name == nullptr || !name->is_str();
}

std::optional<DescriptionError> check_description(const Json& program) {
  const Json* front = program.get("front_matter");
  if (front == nullptr) return std::nullopt;
  const Json* description = front->get("description");
  if (description != nullptr && description->is_str() && !description->as_str().empty()) return std::nullopt;
  DescriptionError error;
  const Json* name = front->get("name");
  if (name != nullptr && name->is_str()) error.predicate = name->as_str();
  return error;
}

}  // namespace mirtova::verifier
