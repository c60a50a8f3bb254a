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
  mark_in_use(ascii_lower(name));
  return name;
}

bool NamesAllocator::in_use(const std::string& lower) const {
  const auto found = used_lower_.find(lower);
  return found != used_lower_.end() && found->second == generation_;
}

void NamesAllocator::mark_in_use(const std::string& lower) {
  if (log_ != nullptr) log_->name_taken(lower);
  uint64_t& generation = used_lower_.try_emplace(lower, generation_ - 1).first->second;
  if (generation != generation_) {
    generation = generation_;
    ++taken_now_;
  }
}

bool NamesAllocator::taken(const std::string& lower, bool numbered) const {
  const bool in_use = this->in_use(lower);
  if (log_ != nullptr) {
    const bool column = column_in_reach(lower);
    log_->name_looked_up(lower, in_use, numbered, column);
    return in_use || column;
  }
  return in_use || column_in_reach(lower);
}

bool NamesAllocator::column_in_reach(const std::string& lower) const {
  for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
    if (scope->is_column(lower)) return true;
    if (!scope->inside_enclosing) break;
  }
  return false;
}

std::string NamesAllocator::alloc_table(std::string_view predicate) {
  std::string clean = clean_name(predicate);
  if (!is_sql_reserved_word(clean) && !taken(ascii_lower(clean), false)) return take(clean);
  for (;;) {
    std::string candidate = "t_" + std::to_string(counter_++) + "_" + clean;
    if (!taken(ascii_lower(candidate), true)) return take(candidate);
  }
}

std::string NamesAllocator::alloc_unnest() {
  for (;;) {
    std::string candidate = "t_" + std::to_string(counter_++);
    if (!taken(ascii_lower(candidate), true)) return take(candidate);
  }
}

void NamesAllocator::open_scope(ColumnTest is_column, bool inside_enclosing) {
  scopes_.push_back(Scope{std::move(is_column), inside_enclosing});
}

void NamesAllocator::close_scope() {
  if (!scopes_.empty()) scopes_.pop_back();
}

void NamesAllocator::reset() {
  counter_ = 0;
  // The names of scripts before, kept, stay within a few times one script's.
  if (used_lower_.size() > 2 * taken_now_ + 64) used_lower_.clear();
  ++generation_;
  taken_now_ = 0;
  scopes_.clear();
  log_ = nullptr;
}

}  // namespace mirtova
