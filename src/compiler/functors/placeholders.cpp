// Pass-through stand-ins for recursion unfolding and functor application.
#include "compiler/functors/placeholders.h"

namespace mirtova {

Result<std::vector<Json>, CompileError> unfold_recursion_passthrough(std::vector<Json> rules, std::string_view) {
  return rules;
}

Result<std::vector<Json>, CompileError> run_makes_with_deps_passthrough(std::vector<Json> rules) { return rules; }

}  // namespace mirtova
