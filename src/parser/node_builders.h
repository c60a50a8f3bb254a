// Builders of syntax-tree nodes that move their values in. Json::object and
// Json::array take initializer lists, whose elements can only be copied, so a
// node built that way around a deep subtree copies the whole subtree.
#pragma once

#include <string>
#include <utility>

#include "parser/json.h"

namespace mirtova {

inline void add_entries(Json&) {}

template <class Value, class... Rest>
void add_entries(Json& object, std::string key, Value&& value, Rest&&... rest) {
  object.set(std::move(key), Json(std::forward<Value>(value)));
  add_entries(object, std::forward<Rest>(rest)...);
}

// make_object("k1", v1, "k2", v2, ...)
template <class... Entries>
Json make_object(Entries&&... entries) {
  Json object = Json::object();
  add_entries(object, std::forward<Entries>(entries)...);
  return object;
}

template <class... Items>
Json make_array(Items&&... items) {
  Json array = Json::array();
  (array.push(Json(std::forward<Items>(items))), ...);
  return array;
}

}  // namespace mirtova
