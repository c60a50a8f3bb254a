#include "compiler/dialects/value_order.h"

#include <cstddef>

namespace mirtova {

namespace {

// Types nest as deep as the program writes them: past this the engine's own
// order is kept rather than a comparison written level by level.
constexpr size_t kMostOrderedLevels = 16;

struct Comparison {
  const Dialect& dialect;
  const ValueOrderSpelling& spelling;

  // -1, 0 or 1 as `left` orders before, with or after `right` (SQL of a
  // value each), both of type `type`; none where the type is not known whole.
  std::optional<std::string> compare(const Type& type, const std::string& left, const std::string& right,
                                     size_t level) const {
    if (level > kMostOrderedLevels) return std::nullopt;
    const std::string nulls = "(CASE WHEN " + left + " IS NULL THEN (CASE WHEN " + right +
                              " IS NULL THEN 0 ELSE 1 END) WHEN " + right + " IS NULL THEN -1 ";
    if (type.is_record()) {
      if (type.is_open()) return std::nullopt;
      std::string fields;
      size_t place = 0;
      for (const auto& [name, field] : type.fields()) {
        ++place;
        std::optional<std::string> inner =
            compare(field, read_field(left, name, place), read_field(right, name, place), level + 1);
        if (!inner) return std::nullopt;
        fields += "NULLIF(" + *inner + ", 0), ";
      }
      return nulls + "ELSE " + (fields.empty() ? std::string("0") : "COALESCE(" + fields + "0)") + " END)";
    }
    if (type.is_list()) {
      const std::string x = "mirtova_x" + std::to_string(level);
      const std::string y = "mirtova_y" + std::to_string(level);
      std::optional<std::string> inner = compare(type.element(), x, y, level + 1);
      if (!inner) return std::nullopt;
      const std::string left_size = "cardinality(" + left + ")";
      const std::string right_size = "cardinality(" + right + ")";
      const std::string common = "least(" + left_size + ", " + right_size + ")";
      const std::string pairs = "zip_with(slice(" + left + ", 1, " + common + "), slice(" + right + ", 1, " +
                                common + "), (" + x + ", " + y + ") -> " + *inner + ")";
      const std::string c = "mirtova_c" + std::to_string(level);
      return nulls + "ELSE COALESCE(" + std::string(spelling.element_at) + "(filter(" + pairs + ", " + c +
             " -> " + c + " <> 0), 1), (CASE WHEN " + left_size + " < " + right_size + " THEN -1 WHEN " +
             left_size + " > " + right_size + " THEN 1 ELSE 0 END)) END)";
    }
    return nulls + "WHEN " + left + " < " + right + " THEN -1 WHEN " + left + " > " + right +
           " THEN 1 ELSE 0 END)";
  }

  std::string read_field(const std::string& record, std::string_view name, size_t place) const {
    if (spelling.fields_by_position) return record + "[" + std::to_string(place) + "]";
    return dialect.subscript(record, name, false);
  }
};

}  // namespace

std::optional<std::string> sorted_by_value(const Dialect& dialect, const Type& element, bool unique,
                                           const ValueOrderSpelling& spelling) {
  if (!element.is_record() && !element.is_list()) return std::nullopt;
  const Comparison comparison{dialect, spelling};
  std::optional<std::string> order = comparison.compare(element, "mirtova_l", "mirtova_r", 0);
  if (!order) return std::nullopt;
  if (!unique || !spelling.distinct_by_order) {
    const std::string list = unique ? "array_distinct({0})" : "{0}";
    return "array_sort(" + list + ", (mirtova_l, mirtova_r) -> " + *order + ")";
  }
  // Sorted, an element is kept where it orders after the one before it.
  const std::string before = std::string(spelling.element_at) + "(mirtova_s, greatest(mirtova_i - 1, 1))";
  const std::string at = std::string(spelling.element_at) + "(mirtova_s, mirtova_i)";
  std::optional<std::string> apart = comparison.compare(element, before, at, 0);
  if (!apart) return std::nullopt;
  return "element_at(transform(ARRAY[array_sort({0}, (mirtova_l, mirtova_r) -> " + *order +
         ")], mirtova_s -> (CASE WHEN mirtova_s IS NULL OR cardinality(mirtova_s) = 0 THEN mirtova_s ELSE "
         "transform(filter(sequence(1, cardinality(mirtova_s)), mirtova_i -> mirtova_i = 1 OR " +
         *apart + " <> 0), mirtova_i -> " + at + ") END)), 1)";
}

}  // namespace mirtova
