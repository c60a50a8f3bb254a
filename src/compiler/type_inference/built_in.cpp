#include "compiler/type_inference/built_in.h"

#include <array>

namespace mirtova {

namespace {

constexpr std::string_view kValue = "quoril_value";

constexpr std::array<std::string_view, 11> kBoolValued = {
    "!", "==", "!=", "&&", "||", "Like", "ILike", "IsNull", "EndsWith", "StartsWith", "RegexpContains"};

// Sum, Median and ExactCount give numbers as Agg+, Avg and Count do.
constexpr std::array<std::string_view, 27> kNumberValued = {
    "%",     "*",      "-",      "/",       "^",         "Avg",  "Abs",    "Exp",        "Log",
    "Pow",   "Div",    "Agg+",   "Size",    "Ceil",      "Sqrt", "Count",  "Round",      "Floor",
    "Trunc", "Length", "Strpos", "ToInt64", "ToFloat64", "Sum",  "Median", "ExactCount", "Mod"};

constexpr std::array<std::string_view, 14> kStringValued = {
    "Join",   "Lpad",   "Rpad",    "Trim",     "Upper",     "Lower",         "Substr",
    "Format", "Repeat", "Replace", "ToString", "StringAgg", "RegexpExtract", "RegexpReplace"};

template <size_t N>
bool contains(const std::array<std::string_view, N>& names, std::string_view name) {
  for (std::string_view n : names) {
    if (n == name) return true;
  }
  return false;
}

bool is_comparison(std::string_view p) { return p == "<" || p == ">" || p == "<=" || p == ">="; }

bool is_reckoning(std::string_view p) { return p == "-" || p == "*" || p == "/" || p == "%" || p == "^"; }

}  // namespace

std::optional<Type> built_in_restrictions(std::string_view predicate, std::string_view column) {
  const bool operand = column == "left" || column == "right";
  // Predicates whose argument columns are typed, with their value column.
  if (is_comparison(predicate)) {
    if (operand) return Type::atomic();
    if (column == kValue) return Type::boolean();
    return std::nullopt;
  }
  if (predicate == "+" || predicate == "++") {
    if (operand || column == kValue) return predicate == "+" ? Type::number() : Type::string();
    return std::nullopt;
  }
  // The other operators reckon with numbers only (a lone "-" negates its col0).
  if (is_reckoning(predicate)) {
    if (operand || column == kValue || (predicate == "-" && column == "col0")) return Type::number();
    return std::nullopt;
  }
  if (predicate == "Num" || predicate == "Str") {
    if (column == "col0" || column == kValue) return predicate == "Num" ? Type::number() : Type::string();
    return std::nullopt;
  }
  if (predicate == "Range") {
    if (column == "col0") return Type::number();
    if (column == kValue) return Type::list(Type::number());
    return std::nullopt;
  }
  if (column != kValue) return std::nullopt;
  if (contains(kBoolValued, predicate)) return Type::boolean();
  if (contains(kNumberValued, predicate)) return Type::number();
  if (contains(kStringValued, predicate)) return Type::string();
  return std::nullopt;
}

}  // namespace mirtova
