// The names a compilation makes for predicates of its own (recursion levels
// and tables, functor copies, constants), kept apart from every name the
// program already uses, with the user's predicate each one stands for.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/json.h"

namespace mirtova {

using NameSet = std::set<std::string>;

class GeneratedNames {
 public:
  // Takes every name the rules hold under "predicate_name".
  void take_names_of(const std::vector<Json>& rules);
  bool is_taken(std::string_view name) const { return taken_.count(std::string(name)) != 0; }
  size_t taken_count() const { return taken_.size(); }

  // `wanted` when it is free, else the first free one of `wanted` followed by
  // "_1", "_2", ...; taken from then on, and standing for `origin` (for
  // nothing of the user's when `origin` is empty).
  std::string make(const std::string& wanted, const std::string& origin);
  // Takes a name chosen elsewhere (a writer that asked is_taken), standing for `origin`.
  void add(const std::string& name, const std::string& origin);

  // The user's predicate that `name` stands for, followed through copies of
  // copies; `name` itself when this compilation did not make it.
  std::string origin_of(const std::string& name) const;
  // (made name, the user's predicate it stands for), in byte order of the made names.
  std::vector<std::pair<std::string, std::string>> origins() const;

 private:
  NameSet taken_;
  std::map<std::string, std::string> origin_;
};

// Stems of the names an unfolding makes for the members of a component: each
// member's own name for attempt 0, else the name followed by "_{attempt}".
using Stems = std::map<std::string, std::string>;
Stems stems_for(const NameSet& component, size_t attempt);
// How many attempts can find names taken: a taken name coincides with a name
// made from one member's stem for one attempt at most.
size_t most_attempts(const NameSet& component, const GeneratedNames& names);
// The message when no attempt found free names (never, by most_attempts), before the main predicate's name.
inline constexpr std::string_view kNoFreeNames = "No free names are left for the unfolding of ";

// A member's stem; the name itself when `stems` has none for it.
const std::string& stem_of(const Stems& stems, const std::string& name);

// The names that an unfolding of `component` with `stems` makes, each with
// the member it stands for: every name of its parsed text (`written`) and of
// `renamed` (the names its rewrite gives the component's rules) that begins
// with a member's stem and "_". None when one of them is taken, or when the
// text makes one name twice (a level that coincides with a member).
std::optional<std::map<std::string, std::string>> names_made_by_unfolding(const std::vector<Json>& written,
                                                                          const NameSet& renamed,
                                                                          const NameSet& component,
                                                                          const Stems& stems,
                                                                          const GeneratedNames& names);

}  // namespace mirtova
