// Building and compiling hand-made programs in the program-model tests.
#pragma once

#include <string>
#include <vector>

#include "compiler/program/universe.h"
#include "support/engine_names.h"
#include "support/trees.h"

namespace mirtova::trees {

// Programs here are built without the engine's library program.
inline Result<std::unique_ptr<QuorilProgram>, CompileError> build_program(const Json& tree,
                                                                          const std::string& engine) {
  static const std::vector<Json> kNoLibrary;
  return QuorilProgram::build(tree, {}, engine_of(engine), &kNoLibrary);
}

inline Result<std::string, CompileError> compile(const Json& tree, const std::string& predicate,
                                                 const std::string& engine = "duckdb", PageWindow window = {},
                                                 std::optional<std::string> pattern = std::nullopt) {
  auto p = build_program(tree, engine);
  if (!p.ok()) return p.error();
  return p.value()->formatted_predicate_sql_impl(predicate, window, pattern);
}

}  // namespace mirtova::trees
