// Condition names and table aliases.
#include "compiler/rule_translate/names.h"

#include <array>

#include "common/strings.h"
#include "compiler/dialects/quoting.h"

namespace mirtova {

bool is_constraint_predicate(std::string_view name) {
  static constexpr std::array<std::string_view, 20> kConditions = {
      "<",      ">",        "!",          "~",          "==",
      "!=",     "<=",       ">=",         "&&",         "||",
      "in",     "is",       "Like",       "ILike",      "is not",
      "IsNull", "EndsWith", "Constraint", "StartsWith", "RegexpContains"};
  for (std::string_view c : kConditions)
    if (c == name) return true;
  return false;
}

std::string NamesAllocator::take(std::string name) {
  used_lower_.insert(ascii_lower(name));
  return name;
}

std::string NamesAllocator::alloc_table(std::string_view predicate) {
  std::string clean = clean_name(predicate);
  if (!is_sql_reserved_word(clean) && !used_lower_.count(ascii_lower(clean))) return take(clean);
  for (;;) {
    std::string candidate = "t_" + std::to_string(counter_++) + "_" + clean;
    if (!used_lower_.count(ascii_lower(candidate))) return take(candidate);
  }
}

std::string NamesAllocator::alloc_unnest() {
  for (;;) {
    std::string candidate = "t_" + std::to_string(counter_++);
    if (!used_lower_.count(ascii_lower(candidate))) return take(candidate);
  }
}

void NamesAllocator::reset() {
  counter_ = 0;
  used_lower_.clear();
}

}  // namespace mirtova
