// Cost of type inference against program size: the whole chain (graphs,
// propagation, column types) over generated programs of growing rule count.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "compiler/type_inference/inference.h"

namespace mirtova {
namespace {

Json literal(const char* kind, Json value) {
  return Json::object({{"literal", Json::object({{kind, std::move(value)}})}});
}
Json num() { return literal("the_number", Json::object({{"number", "1"}})); }
Json str() { return literal("the_string", Json::object({{"the_string", "a"}})); }
Json var(const std::string& name) { return Json::object({{"variable", Json::object({{"var_name", name}})}}); }

Json field(Json name, Json expression) {
  return Json::object(
      {{"field", std::move(name)}, {"value", Json::object({{"expression", std::move(expression)}})}});
}
Json call_node(const std::string& name, std::vector<Json> fields) {
  return Json::object(
      {{"predicate_name", name},
       {"record", Json::object({{"field_value", Json(Json::ArrayType(std::move(fields)))}})}});
}
Json op(const std::string& name, Json left, Json right) {
  return Json::object(
      {{"call", call_node(name, {field("left", std::move(left)), field("right", std::move(right))})}});
}
Json unify(Json left, Json right) {
  return Json::object({{"unification", Json::object({{"left_hand_side", std::move(left)},
                                                     {"right_hand_side", std::move(right)}})}});
}
Json subscript(Json record, const std::string& name) {
  Json symbol = Json::object({{"literal", Json::object({{"the_symbol", Json::object({{"symbol", name}})}})}});
  return Json::object({{"subscript", Json::object({{"record", std::move(record)}, {"subscript", symbol}})}});
}

// Rule i calls the rule before it and a base table, and computes with
// operators, a record and a subscript: about fifteen edges per rule, a chain
// along which types have to travel.
std::vector<Json> program(int64_t rules) {
  std::vector<Json> out;
  out.push_back(Json::object(
      {{"head",
        call_node("P0", {field(0, num()), field(1, str()),
                         field("r", Json::object(
                                        {{"record", Json::object({{"field_value",
                                                                   Json::array({field("k", num())})}})}}))})},
       {"full_text", "P0"}}));
  for (int64_t i = 1; i < rules; ++i) {
    const std::string previous = "P" + std::to_string(i - 1);
    Json head =
        call_node("P" + std::to_string(i), {field(0, var("x")), field(1, var("s")), field("r", var("r"))});
    // clang-format off
    std::vector<Json> body = {
        Json::object({{"predicate", call_node(previous, {field(0, var("y")), field(1, var("t")), field("r", var("r"))})}}),
        Json::object({{"predicate", call_node("Base", {field(0, var("y")), field("name", var("n"))})}}),
        unify(var("x"), op("+", var("y"), subscript(var("r"), "k"))),
        unify(var("s"), op("++", var("t"), var("n"))),
        Json::object({{"predicate", call_node(">", {field("left", var("x")), field("right", num())})}}),
    };
    // clang-format on
    out.push_back(Json::object(
        {{"head", std::move(head)},
         {"body", Json::object({{"conjunction",
                                 Json::object({{"conjunct", Json(Json::ArrayType(std::move(body)))}})}})},
         {"full_text", "P"}}));
  }
  return out;
}

void BM_InferPredicateTypes(benchmark::State& state) {
  const std::vector<Json> rules = program(state.range(0));
  std::vector<const Json*> pointers;
  for (const Json& r : rules) pointers.push_back(&r);
  for (auto _ : state) {
    auto result = infer_predicate_types(pointers);
    if (!result.ok()) state.SkipWithError(result.error().message.c_str());
    benchmark::DoNotOptimize(result);
  }
  state.SetComplexityN(state.range(0));
}

BENCHMARK(BM_InferPredicateTypes)
    ->RangeMultiplier(2)
    ->Range(256, 16384)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
}  // namespace mirtova
