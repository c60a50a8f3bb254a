// Building and compiling hand-made programs in the program-model tests.
#pragma once

#include <string>
#include <vector>

#include "compiler/program/universe.h"
#include "support/program_tree_builders.h"

namespace mirtova::trees {

inline Json program(std::vector<Json> rules) { return Json::object({{"rule", Json(std::move(rules))}}); }

// Programs here are built without the engine's library program.
inline Result<std::unique_ptr<QuorilProgram>, CompileError> build_program(const Json& tree,
                                                                          const std::string& engine) {
  static const std::vector<Json> kNoLibrary;
  return QuorilProgram::build(tree, {}, engine, &kNoLibrary);
}

inline Result<std::string, CompileError> compile(const Json& tree, const std::string& predicate,
                                                 const std::string& engine = "duckdb", PageWindow window = {},
                                                 std::optional<std::string> pattern = std::nullopt) {
  auto p = build_program(tree, engine);
  if (!p.ok()) return p.error();
  return p.value()->formatted_predicate_sql_impl(predicate, window, pattern);
}

inline Json combine_expr(std::string op_name, Json value, std::vector<Json> body) {
  return Json::object(
      {{"combine",
        rule(call_node("Combine", {aggregated("quoril_value", std::move(op_name), std::move(value))}),
             std::move(body), "", true)}});
}

inline Json negation(std::vector<Json> body) {
  return Json::object(
      {{"predicate", call_node("IsNull", fields({combine_expr("Min", num(1), std::move(body))}))}});
}

}  // namespace mirtova::trees
