// The bound on injection: a predicate whose rule, with every injectable
// predicate it calls injected in turn, would pass a size is read as its own
// table instead, as @NoInject makes it. The rows are the same; the script then
// grows with the program, not with the product of its calls.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/string_hash.h"
#include "parser/json.h"

namespace mirtova {

// Tree nodes that one predicate may bring into a rule that injects it.
inline constexpr size_t kMaxInjectedNodes = 1000;

class InjectionSizes {
 public:
  // The one rule of a predicate that could be injected, bound aside; nullptr otherwise.
  using RuleOf = std::function<const Json*(std::string_view)>;

  // Whether injecting `predicate` (whose rule `rule_of` gives) stays within
  // kMaxInjectedNodes. Sizes are kept: the rules do not change once the
  // program is built.
  bool within_bound(std::string_view predicate, const RuleOf& rule_of);

 private:
  // Nodes of the predicate's rule once injected, as far as the bound lets
  // each callee be injected.
  size_t expanded_size(std::string_view predicate, const RuleOf& rule_of);

  std::unordered_map<std::string, size_t, StringHash, std::equal_to<>> expanded_;
};

}  // namespace mirtova
