// unfold_recursion: the entry of recursion unfolding.
#include "compiler/functors/unfold_recursion.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "compiler/functors/dependency_cycles.h"
#include "compiler/functors/generated_names.h"

namespace mirtova {

namespace {

constexpr int64_t kDefaultDepth = 8;

// An optional single sign and one or more ASCII digits, within 64 bits.
std::optional<int64_t> read_int64(const std::string& text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return std::nullopt;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  // Read with the sign so that the smallest value fits.
  std::string signed_text = (negative ? "-" : "") + std::string(digits);
  int64_t value = 0;
  auto [end, error] = std::from_chars(signed_text.data(), signed_text.data() + signed_text.size(), value);
  if (error != std::errc() || end != signed_text.data() + signed_text.size()) return std::nullopt;
  return value;
}

const Json* literal_of(const Json& field_value) {
  const Json* value = field_value.get("value");
  const Json* expression = value == nullptr ? nullptr : value->get("expression");
  return expression == nullptr ? nullptr : expression->get("literal");
}

}  // namespace

RecursionArgs recursion_options(const std::vector<Json>& rules) {
  RecursionArgs options;
  for (const Json& rule : rules) {
    const Json* head = rule.get("head");
    if (head == nullptr || head->at("predicate_name").as_str() != "@Recursive") continue;
    const Json* record = head->get("record");
    const Json* fields = record == nullptr ? nullptr : record->get("field_value");
    if (fields == nullptr || !fields->is_array() || fields->as_array().empty()) continue;
    const Json::ArrayType& arguments = fields->as_array();
    const Json* first = literal_of(arguments[0]);
    const Json* predicate = first == nullptr ? nullptr : first->get("the_predicate");
    if (predicate == nullptr) continue;
    const std::string name(predicate->at("predicate_name").as_str());

    int64_t depth = kDefaultDepth;
    // The depth is the second positional argument: a named one such as
    // `ignition: 5` is an option of its own.
    const Json* second_field = arguments.size() > 1 ? arguments[1].get("field") : nullptr;
    if (second_field != nullptr && !second_field->is_str()) {
      const Json* second = literal_of(arguments[1]);
      const Json* number = second == nullptr ? nullptr : second->get("the_number");
      if (number != nullptr && number->is_int()) {
        depth = number->as_int();
      } else if (number != nullptr) {
        const Json* text = number->get("number");
        std::optional<int64_t> read =
            text != nullptr && text->is_str() ? read_int64(std::string(text->as_str())) : std::nullopt;
        depth = read.value_or(kDefaultDepth);
      }
    }
    options[name] = {{"1", depth}};
  }
  return options;
}

Result<std::vector<Json>, CompileError> unfold_recursion(const std::vector<Json>& rules, bool iterative) {
  GeneratedNames names;
  names.take_names_of(rules);
  return unfold_recursion(rules, iterative, names);
}

Result<std::vector<Json>, CompileError> unfold_recursion(std::vector<Json> rules, bool iterative,
                                                         GeneratedNames& names,
                                                         uint64_t most_table_references) {
  // Without a cycle there is nothing to unfold.
  if (!has_dependency_cycle(rules)) return rules;
  RecursionArgs options = recursion_options(rules);
  // Unfolding reads direct sets only.
  const Functors index(std::move(rules), Functors::ArgumentSets::OnDemand);
  return index.unfold_recursions(options, iterative, names, most_table_references);
}

}  // namespace mirtova
