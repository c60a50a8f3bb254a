// Injection of single-rule predicates into rule bodies and inlining of functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/rule_translate/rewrites.h"
#include "parser/json.h"
#include "parser/tree_walk.h"

namespace mirtova {

// What injection asks of the program.
class InjectionSource {
 public:
  virtual ~InjectionSource() = default;
  // The one rule of an injectable predicate, or nullptr.
  virtual const Json* injectable_rule(std::string_view predicate) const = 0;
  // Whether the engine writes this call itself (such calls are never inlined).
  virtual bool is_built_in_function(std::string_view name) const = 0;
  // A fresh compiler variable ("x_{n}"), from the program-wide counter.
  virtual std::string fresh_variable() = 0;
  // Whether injection may splice into a conjunction this many combines below
  // the rule's body (a negation is a combine).
  virtual bool may_inject_at(size_t combines_deep) const {
    (void)combines_deep;
    return true;
  }
  // Whether a body that holds a combine may be spliced there.
  virtual bool may_inject_combines_at(size_t combines_deep) const {
    (void)combines_deep;
    return true;
  }
};

// What injection and the rewrites after it may make of one rule. The program
// keeps predicates whose injection would pass kMaxInjectedNodes apart, so only
// functions that call themselves, or that double at each level of calls, get
// this far.
inline constexpr size_t kMaxRuleNodes = 250000;
inline constexpr const char* kRuleTooLargeMessage = "Injecting predicates into this rule makes it too large.";
// The levels a rewritten rule may reach: as many as a text nested as deeply as
// the parser allows on this thread's stack makes, or the rule's own when more.
// The bound reads `rule`, which must stay as it is while the bound is asked.
DepthBound max_rule_depth(const Json& rule);

// Which rewrites before translation would change a rule, as one read-only walk
// finds them.
struct RewriteWork {
  bool unification = false;  // a unification with a function call would become a conjunct
  bool inlining = false;     // a function call would be inlined
  bool injection = false;    // a callee's body would be spliced
  bool binding = false;      // eliminate_compiler_variables would erase a unification
  bool any() const { return unification || inlining || injection || binding; }
};
RewriteWork rewrite_work(const Json& rule, const InjectionSource& source);

// Rewrites `rule` in place until no injectable call or inlinable function is left.
Result<Unit, CompileError> inject_into_rule(Json& rule, InjectionSource& source);
// The same, for a caller that has rewrite_work and max_rule_depth of the rule
// already: its first round starts from them instead of walking the rule again.
// `extent` is left with the rule's extent, or a bound of it no less in nodes
// or depth, when the rule was changed, else empty.
Result<Unit, CompileError> inject_into_rule(Json& rule, InjectionSource& source, const RewriteWork& work,
                                            const DepthBound& max_depth, std::optional<TreeExtent>& extent);

}  // namespace mirtova
