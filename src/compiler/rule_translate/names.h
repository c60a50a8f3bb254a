// Condition names and the allocator of table aliases used when a rule is written as SQL.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace mirtova {

// Whether a called name is a condition rather than a relation that gives rows.
bool is_constraint_predicate(std::string_view name);

// One allocator serves every rule of a compilation, so that the aliases of a
// correlated sub-query never shadow those of the rule around it.
class NamesAllocator {
 public:
  // The cleaned predicate name when it is free and not reserved, else "t_{n}_" + that name.
  std::string alloc_table(std::string_view predicate);
  // "t_{n}", for the element of an unnested list.
  std::string alloc_unnest();
  void reset();

 private:
  std::string take(std::string name);

  int64_t counter_ = 0;
  // Compared without regard to ASCII case, as engines do. Only looked up (it
  // holds every alias of the program), so hashed.
  std::unordered_set<std::string> used_lower_;
};

}  // namespace mirtova
