// Pass-through stand-in for functor application.
#include "compiler/functors/placeholders.h"

namespace mirtova {

Result<std::vector<Json>, CompileError> run_makes_with_deps_passthrough(std::vector<Json> rules) { return rules; }

}  // namespace mirtova
