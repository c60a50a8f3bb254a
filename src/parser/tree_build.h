// Building syntax-tree nodes: objects and arrays whose values move in, and the
// nodes the compiler generates itself (without "expression_heritage").
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "parser/json.h"

namespace mirtova {

namespace tree_build_detail {

template <size_t N>
struct PendingEntries {
  // Keys built where they are given, so that a literal key's word is a constant.
  std::array<JsonKey, N> keys;
  std::array<Json, N> values;
  size_t count = 0;
};

template <size_t N>
void collect(PendingEntries<N>&) {}

template <size_t N, class Value, class... Rest>
[[gnu::always_inline]] inline void collect(PendingEntries<N>& pending, std::string_view key, Value&& value,
                                           Rest&&... rest) {
  pending.keys[pending.count] = JsonKey(key);
  pending.values[pending.count] = Json(std::forward<Value>(value));
  ++pending.count;
  collect(pending, std::forward<Rest>(rest)...);
}

}  // namespace tree_build_detail

// make_object("k1", v1, "k2", v2, ...): the same object as setting the entries
// in order, built with one allocation for its entries.
template <class... Entries>
Json make_object(Entries&&... entries) {
  static_assert(sizeof...(Entries) % 2 == 0, "make_object takes keys and values in pairs");
  constexpr size_t n = sizeof...(Entries) / 2;
  if constexpr (n == 0) {
    return Json::object();
  } else {
    tree_build_detail::PendingEntries<n> pending;
    tree_build_detail::collect(pending, std::forward<Entries>(entries)...);
    std::array<size_t, n> order;
    for (size_t i = 0; i < n; ++i) order[i] = i;
    // The entries go in in byte order of their keys, as the object keeps them.
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return pending.keys[a] < pending.keys[b]; });
    bool distinct = true;
    for (size_t i = 1; i < n; ++i)
      distinct = distinct && pending.keys[order[i - 1]] != pending.keys[order[i]];
    Json::ObjectType fields;
    if (!distinct) {
      // A key given twice keeps its last value, as with set.
      fields.reserve(n);
      for (size_t i = 0; i < n; ++i)
        fields.insert_or_assign(std::move(pending.keys[i]), std::move(pending.values[i]));
      return Json(std::move(fields));
    }
    Json::ObjectType::value_type* at = fields.make_room(n);
    for (size_t i : order)
      ::new (static_cast<void*>(at++))
          Json::ObjectType::value_type(std::move(pending.keys[i]), std::move(pending.values[i]));
    return Json(std::move(fields));
  }
}

template <class... Items>
Json make_array(Items&&... items) {
  Json::ArrayType array;
  array.reserve(sizeof...(Items));
  (array.emplace_back(std::forward<Items>(items)), ...);
  return Json(std::move(array));
}

// Generated nodes, in the shapes the parser writes.
// {"variable": {"var_name": name}}
Json make_variable(Json name);
// {"literal": {"the_number": {"number": "<value>"}}}
Json make_number(int64_t value);
// {"literal": {"the_predicate": {"predicate_name": name}}}
Json make_predicate_literal(Json name);
// {"literal": {"the_list": {"element": elements}}}
Json make_list_literal(Json::ArrayType elements);
// A record entry: {"field": field, "value": {"expression": expression}}.
Json make_field(Json field, Json expression);
// A call: {"predicate_name": predicate, "record": {"field_value": fields}}.
Json make_call(Json predicate, Json fields);
// The call as an expression, {"call": ...}, and as a conjunct, {"predicate": ...}.
Json make_call_expr(std::string predicate, Json::ArrayType fields);
Json make_call_expr(Json call);
Json make_predicate_conjunct(Json call);
Json make_unification(Json left, Json right);
Json make_inclusion(Json element, Json list);
// {"conjunction": {"conjunct": conjuncts}}
Json make_conjunction(Json conjuncts);

}  // namespace mirtova
