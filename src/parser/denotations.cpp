// Placeholder until denotations become annotation rules: the rule alone.
#include "parser/forms.h"

namespace mirtova {

void append_rule_with_denotations(Json rule, Json::ArrayType& rules) { rules.push_back(std::move(rule)); }

}  // namespace mirtova
