// Functor application over a whole rule list.
#include "compiler/functors/run_makes.h"

#include "compiler/functors/functors.h"
#include "compiler/functors/make_ordering.h"

namespace mirtova {

Result<std::vector<Json>, CompileError> run_makes_with_deps(const std::vector<Json>& rules) {
  GeneratedNames names;
  names.take_names_of(rules);
  return run_makes_with_deps(rules, names);
}

Result<std::vector<Json>, CompileError> run_makes_with_deps(std::vector<Json> rules, GeneratedNames& names) {
  std::vector<MakeInstruction> instructions = collect_make_instructions(rules);
  return run_make_instructions(std::move(rules), std::move(instructions), names);
}

Result<std::vector<Json>, CompileError> run_make_instructions(std::vector<Json> rules,
                                                              std::vector<MakeInstruction> instructions,
                                                              GeneratedNames& names) {
  if (instructions.empty()) return rules;
  Functors index(std::move(rules));
  index.names = std::move(names);
  // Only the rules leave this function: the index need not follow the last
  // rewrite of them.
  auto done = make_all(index, std::move(instructions), IndexAfterMakes::RulesOnly);
  names = std::move(index.names);
  if (!done.ok()) return done.error();
  return std::move(index.rules);
}

}  // namespace mirtova
