// Grouping the statements of one written rule.
#include "verifier/rule_origins.h"

#include <string_view>

namespace mirtova::verifier {

bool same_origin(const Json& earlier, const Json& later) {
  const Json* text_a = earlier.get("full_text");
  const Json* text_b = later.get("full_text");
  if (text_a == nullptr || text_b == nullptr || !text_b->is_str()) return false;
  if (text_b->as_str().find('|') == std::string_view::npos || !(*text_a == *text_b)) return false;
  const Json* head_a = earlier.get("head");
  const Json* head_b = later.get("head");
  return head_a != nullptr && head_b != nullptr && *head_a == *head_b;
}

void OncePerRule::at(const Json& statement) {
  const Json* text = statement.get("full_text");
  alternatives_ = text != nullptr && text->is_str() && text->as_str().find('|') != std::string_view::npos;
  if (previous_ != nullptr && same_origin(*previous_, statement)) {
    told_.merge(current_);
  } else {
    told_.clear();
  }
  current_.clear();
  previous_ = &statement;
}

}  // namespace mirtova::verifier
