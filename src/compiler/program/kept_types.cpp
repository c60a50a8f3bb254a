// The types a program keeps, each once, and the names that have them.
#include "compiler/program/kept_types.h"

#include <algorithm>

namespace mirtova {

uint32_t TypeTable::add(const Type& type) {
  if (type.origin() == nullptr && type.parts_key() == nullptr && !type.is_open()) {
    uint32_t& number = kind_numbers_[static_cast<size_t>(type.kind())];
    if (number == kNone) {
      number = static_cast<uint32_t>(types_.size());
      types_.push_back(type);
    }
    return number;
  }
  const Key key{static_cast<uint8_t>(type.kind()), type.is_open(), reinterpret_cast<uintptr_t>(type.origin()),
                reinterpret_cast<uintptr_t>(type.parts_key())};
  auto [at, fresh] = numbers_.try_emplace(key, static_cast<uint32_t>(types_.size()));
  if (fresh) types_.push_back(type);
  return at->second;
}

uint32_t TypeTable::add_name(std::string_view name) {
  auto at = name_numbers_.find(name);
  if (at != name_numbers_.end()) return at->second;
  const auto number = static_cast<uint32_t>(names_.size());
  names_.emplace_back(name);
  name_numbers_.emplace(name, number);
  return number;
}

void TypeTable::finish() {
  numbers_ = {};
  name_numbers_ = {};
  types_.shrink_to_fit();
  names_.shrink_to_fit();
}

const uint32_t* NamedTypes::find(std::string_view name, const TypeTable& table) const {
  auto at = std::lower_bound(
      entries_.begin(), entries_.end(), name,
      [&](const Entry& entry, std::string_view wanted) { return table.name(entry.name) < wanted; });
  return at != entries_.end() && table.name(at->name) == name ? &at->type : nullptr;
}

PredicateColumnTypes::PredicateColumnTypes(
    std::map<std::string, std::map<std::string, Type>, std::less<>>& columns, TypeTable& table) {
  predicates_.reserve(columns.size());
  while (!columns.empty()) {
    auto node = columns.extract(columns.begin());
    predicates_.emplace_back(std::move(node.key()), NamedTypes(node.mapped(), table));
  }
}

const NamedTypes* PredicateColumnTypes::find(std::string_view predicate) const {
  auto at = std::lower_bound(predicates_.begin(), predicates_.end(), predicate,
                             [](const std::pair<std::string, NamedTypes>& entry, std::string_view wanted) {
                               return entry.first < wanted;
                             });
  return at != predicates_.end() && at->first == predicate ? &at->second : nullptr;
}

}  // namespace mirtova
