// The types a program keeps once inference is done, for every later script:
// each distinct type once in one table, and the names that have a type (a
// rule's variables, a predicate's columns) as sorted pairs of a name and the
// number of its type there. A recursion unfolds into many copies of its rules
// whose variables and columns share a handful of types: a tree node per name
// holding a whole type would take most of the room a program keeps.
#pragma once

#include <array>
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
  // The number of a name (of a variable or a column), kept once: a program
  // has few, each named by many rules and predicates.
  uint32_t add_name(std::string_view name);
  const std::string& name(uint32_t number) const { return names_[number]; }
  // Once every type and name is added: lets the lookups of the adding go.
  void finish();

 private:
  using Key = std::tuple<uint8_t, bool, uintptr_t, uintptr_t>;
  static constexpr uint32_t kNone = ~uint32_t{0};
  std::vector<Type> types_;
  // A type that is its kind alone (most are) is found by the kind.
  std::array<uint32_t, 8> kind_numbers_ = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
  std::map<Key, uint32_t> numbers_;
  std::vector<std::string> names_;
  std::map<std::string, uint32_t, std::less<>> name_numbers_;
};

// Names with the number of each one's type, both numbered in a TypeTable, in
// byte order of the names.
class NamedTypes {
 public:
  struct Entry {
    uint32_t name;
    uint32_t type;
  };

  NamedTypes() = default;
  // The names of `named` (in byte order, as a std::map holds them), each
  // name and type added to `table`.
  template <class Map>
  NamedTypes(const Map& named, TypeTable& table) {
    entries_.reserve(named.size());
    for (const auto& [name, type] : named) entries_.push_back(Entry{table.add_name(name), table.add(type)});
  }

  // The number of `name`'s type, or null; `table` numbered the names.
  const uint32_t* find(std::string_view name, const TypeTable& table) const;
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
