#include "compiler/universe.h"

#include <gtest/gtest.h>

#include "program_tree_builders.h"

namespace mirtova {
namespace {

using namespace trees;

Json program(std::vector<Json> rules) { return Json::object({{"rule", Json(std::move(rules))}}); }

Result<std::string, CompileError> compile(const Json& tree, const std::string& predicate,
                                          std::string engine = "duckdb", PageWindow window = {},
                                          std::optional<std::string> pattern = std::nullopt) {
  std::vector<Json> no_library;
  auto p = QuorilProgram::build(tree, {}, engine, &no_library);
  if (!p.ok()) return p.error();
  return p.value()->formatted_predicate_sql_impl(predicate, window, pattern);
}

TEST(ProgramScratch, Print) {
  Json e1 = program({
      rule(head("Parent", {str("alice"), str("bob")}), {}),
      rule(head("Parent", {str("bob"), str("carol")}), {}),
      rule(head("Grandparent", {var("a"), var("c")}),
           {atom("Parent", {var("a"), var("b")}), atom("Parent", {var("b"), var("c")})}),
  });
  Json e2 = program({rule(head("Adult", {}, {{"name", var("name")}, {"age", var("age")}}),
                          {atom("Person", {}, {{"name", var("name")}, {"age", var("age")}}),
                           cond(">=", var("age"), num(18))})});
  Json e4 = program({
      rule(head("Link", {var("a"), var("b")}), {atom("Edge", {var("a"), var("b")}), cond("!=", var("a"), var("b"))}),
      rule(head("TwoHop", {var("a"), var("c")}),
           {atom("Link", {var("a"), var("b")}), atom("Link", {var("b"), var("c")})}),
  });
  Json dept = head("DeptSize", {}, {{"dept", var("dept")}});
  dept.at_mut("record").at_mut("field_value").push(aggregated("n", "Agg+", num(1)));
  Json e5 = program({rule(dept, {atom("Emp", {}, {{"name", var("name")}, {"dept", var("dept")}})}, "", true)});
  Json combine = rule(call_node("Combine", {aggregated("quoril_value", "Agg+", var("x"))}),
                      {atom("Sale", {}, {{"amount", var("x")}})}, "", true);
  Json e8 = program({rule(head("Total", {var("t")}), {unify(var("t"), Json::object({{"combine", combine}}))})});
  Json e9 = program({rule(head("Item", {var("x")}), {atom("Basket", {}, {{"items", var("l")}}), includes(var("x"), var("l"))})});
  for (auto& [tree, p] : std::vector<std::pair<Json, std::string>>{
           {e1, "Grandparent"}, {e2, "Adult"}, {e4, "TwoHop"}, {e5, "DeptSize"}, {e8, "Total"}, {e9, "Item"}}) {
    for (std::string engine : {"duckdb", "sqlite"}) {
      auto r = compile(tree, p, engine);
      std::cout << "---- " << p << " " << engine << "\n" << (r.ok() ? r.value() : "ERROR " + r.error().message) << "\n";
    }
  }
}

}  // namespace
}  // namespace mirtova
