// libFuzzer driver: any text parsed, built into a program for one engine, and
// every predicate it defines compiled to a script and to a plan. The first
// byte picks the engine. A crash, a sanitizer report, a time-out or an
// allocation past the limit is a finding; a parse or compile error is an answer.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "common/engines.h"
#include "common/internal_fault.h"
#include "compiler/program/universe.h"
#include "parser/parse_file.h"

namespace {

void compile_all(std::string text, mirtova::Engine engine) {
  auto tree = mirtova::parse_file(std::move(text));
  if (!tree.ok()) return;
  auto program = mirtova::QuorilProgram::new_with_engine(std::move(tree).value(), {}, {}, engine);
  if (!program.ok()) return;
  for (const std::string& name : program.value()->user_defined_predicates()) {
    (void)program.value()->formatted_predicate_sql_impl(name, mirtova::PageWindow{}, std::nullopt);
    (void)program.value()->formatted_predicate_plan(name, mirtova::PageWindow{}, std::nullopt);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  mirtova::Engine engine = mirtova::kEngines[data[0] % mirtova::kEngines.size()];
  try {
    compile_all(std::string(reinterpret_cast<const char*>(data + 1), size - 1), engine);
  } catch (const mirtova::InternalFault&) {
    // The module boundary words these as RuntimeError: an answer, not a crash.
  }
  return 0;
}
