#include "compiler/type_inference/intersection.h"

#include <memory>
#include <utility>

namespace mirtova {

namespace {

int rank(const Type& t) {
  switch (t.kind()) {
    case Type::Kind::Any:
      return 0;
    case Type::Kind::Bool:
      return 1;
    case Type::Kind::Number:
      return 2;
    case Type::Kind::String:
      return 3;
    case Type::Kind::Atomic:
      return 4;
    case Type::Kind::List:
      return 5;
    case Type::Kind::Record:
      return t.is_open() ? 6 : 7;
  }
  return 0;
}

// Whether every field name of `sub` is a field name of `super`.
bool names_within(const Type::Fields& sub, const Type::Fields& super) {
  for (const auto& entry : sub) {
    if (super.find(entry.first) == super.end()) return false;
  }
  return true;
}

TypeResult conflict(Type first, Type second, int64_t start, int64_t stop) {
  return TypeInferenceError{std::move(first), std::move(second), start, stop};
}

}  // namespace

std::string TypeInferenceError::to_string() const {
  return "Type mismatch: cannot match " + first.to_string() + " with " + second.to_string() + " at (" +
         std::to_string(start) + ", " + std::to_string(stop) + ")";
}

TypeResult intersect(Type a, Type b, int64_t start, int64_t stop) {
  // Lists nest; the meet of their elements is taken iteratively so that a deep
  // list type costs no stack. `depth` counts the List layers to put back.
  size_t depth = 0;
  while (a.is_list() && b.is_list()) {
    Type element_a = std::move(a.element());
    Type element_b = std::move(b.element());
    a = std::move(element_a);
    b = std::move(element_b);
    ++depth;
  }
  const bool swap = rank(a) > rank(b);
  Type first = swap ? std::move(b) : std::move(a);
  Type second = swap ? std::move(a) : std::move(b);
  // Only a value whose type stays undetermined keeps its source: a known type wins.
  std::shared_ptr<const ColumnOrigin> origin;
  if (first.origin() != nullptr || second.origin() != nullptr)
    origin = met_origin(first.shared_origin(), second.shared_origin());

  Type met;
  switch (first.kind()) {
    case Type::Kind::Any:
      met = std::move(second);
      break;
    case Type::Kind::Bool:
      if (!second.is_bool()) return conflict(std::move(first), std::move(second), start, stop);
      met = Type::boolean();
      break;
    case Type::Kind::Number:
      if (!second.is_number() && !second.is_atomic()) {
        return conflict(std::move(first), std::move(second), start, stop);
      }
      met = Type::number();
      break;
    case Type::Kind::String:
      if (!second.is_string() && !second.is_atomic()) {
        return conflict(std::move(first), std::move(second), start, stop);
      }
      met = Type::string();
      break;
    case Type::Kind::Atomic:
      if (!second.is_atomic()) return conflict(std::move(first), std::move(second), start, stop);
      met = Type::atomic();
      break;
    case Type::Kind::List:
      // A list meets only a list, and both-lists was unwound above.
      return conflict(std::move(first), std::move(second), start, stop);
    case Type::Kind::Record: {
      if (!second.is_record()) return conflict(std::move(first), std::move(second), start, stop);
      TypeResult records = [&]() -> TypeResult {
        if (first.is_open() && second.is_open()) {
          return intersect_friendly_records(std::move(first.fields()), std::move(second.fields()), true,
                                            start, stop);
        }
        if (first.is_open()) {
          if (!names_within(first.fields(), second.fields())) {
            return conflict(std::move(first), std::move(second), start, stop);
          }
          return intersect_friendly_records(std::move(first.fields()), std::move(second.fields()), false,
                                            start, stop);
        }
        if (first.fields().size() != second.fields().size() ||
            !names_within(first.fields(), second.fields())) {
          return conflict(std::move(first), std::move(second), start, stop);
        }
        return intersect_friendly_records(std::move(first.fields()), std::move(second.fields()), false, start,
                                          stop);
      }();
      if (!records.ok()) return records;
      met = std::move(records).value();
      break;
    }
  }
  if (met.is_any() || met.is_atomic()) met.set_origin(std::move(origin));
  for (; depth > 0; --depth) met = Type::list(std::move(met));
  return met;
}

TypeResult intersect_friendly_records(Type::Fields first, Type::Fields second, bool open, int64_t start,
                                      int64_t stop) {
  Type::Fields fields;
  for (auto& [name, type] : second) {
    auto it = first.find(name);
    if (it == first.end()) {
      fields.try_emplace(name, std::move(type));
      continue;
    }
    TRY(Type met, intersect(std::move(it->second), std::move(type), start, stop));
    fields.try_emplace(name, std::move(met));
  }
  if (open) {
    // try_emplace leaves the fields met above alone.
    for (auto& [name, type] : first) fields.try_emplace(name, std::move(type));
  }
  return Type::record(std::move(fields), open);
}

}  // namespace mirtova
