// The fixed catalogues of names no program can change: the built-in function
// and operator names of every engine, and the predicate names the compiler
// defines itself. Built once per process on first use, read-only afterwards.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/name_sets.h"

namespace mirtova {

// A set of names asked only for membership; its hash order never leaves it: a
// caller that lists the names gets them sorted.
class NameCatalogue {
 public:
  explicit NameCatalogue(HashedNames names) : names_(std::move(names)) {}

  bool contains(std::string_view name) const { return names_.find(name) != names_.end(); }
  size_t size() const { return names_.size(); }
  // Every name, in ascending byte order.
  std::vector<std::string> sorted() const;

 private:
  HashedNames names_;
};

// Every function and operator name that the expression translator knows for at
// least one of the seven engines.
const NameCatalogue& builtin_function_names();
// The same names, a catalogue of its own for the positional-argument check.
const NameCatalogue& builtin_predicate_names();
// Reserved names that no engine's library defines: no program may define them,
// and no call of one has a value to take.
inline constexpr std::string_view kReservedWithoutRules[] = {"Today", "Now"};

// kReservedWithoutRules and every head predicate name of the seven engines' library programs.
const NameCatalogue& reserved_predicate_names();

}  // namespace mirtova
