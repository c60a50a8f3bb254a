// The types a program keeps once inference is done, for every later script:
// each distinct type once in one table, and the names that have a type (a
// rule's variables, a predicate's columns) as sorted pairs of a name and the
// number of its type there. A recursion unfolds into many copies of its rules
// whose variables and columns share a handful of types: a tree node per name
// holding a whole type would take most of the room a program keeps.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "compiler/type_inference/types.h"

namespace mirtova {

class TypeTable {
 public:
  // The number of `type`, given a new one when no type kept is the same:
  // of the same kind and openness, from the same source column, holding the
  // very parts it holds (see Type::parts_key). Nothing tells two such apart.
  uint32_t add(const Type& type);
  const Type& at(uint32_t number) const { return types_[number]; }
  size_t size() const { return types_.size(); }
  // Once every type is added: lets the lookup of add go.
  void finish();

 private:
  using Key = std::tuple<uint8_t, bool, uintptr_t, uintptr_t>;
  std::vector<Type> types_;
  std::map<Key, uint32_t> numbers_;
};

// Names with the number of each one's type in a TypeTable, in byte order.
class NamedTypes {
 public:
  using Entry = std::pair<std::string, uint32_t>;

  NamedTypes() = default;
  // The names of `named` (in byte order, as a std::map holds them), each
  // type added to `table`.
  template <class Map>
  NamedTypes(const Map& named, TypeTable& table) {
    entries_.reserve(named.size());
    for (const auto& [name, type] : named) entries_.emplace_back(name, table.add(type));
  }

  // The number of `name`'s type, or null.
  const uint32_t* find(std::string_view name) const;
  std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  std::vector<Entry>::const_iterator end() const { return entries_.end(); }
  size_t size() const { return entries_.size(); }

 private:
  std::vector<Entry> entries_;
};

// Each predicate's column types, predicates in byte order.
class PredicateColumnTypes {
 public:
  PredicateColumnTypes() = default;
  // Takes the predicates of `columns` with the columns of each, each type
  // added to `table`; `columns` is emptied as it is read.
  PredicateColumnTypes(std::map<std::string, std::map<std::string, Type>, std::less<>>& columns,
                       TypeTable& table);

  // The columns of `predicate`, or null when it has none typed.
  const NamedTypes* find(std::string_view predicate) const;

 private:
  std::vector<std::pair<std::string, NamedTypes>> predicates_;
};

}  // namespace mirtova
