// Reading make instructions and writing the constant predicates.
#include "compiler/functors/functor_arguments.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>
#include <vector>

#include "compiler/functors/parse_rules.h"

namespace mirtova {

namespace {

constexpr std::string_view kIntPrefix = "int:";
constexpr std::string_view kStrPrefix = "str:";

// An optional sign and digits only, within 64 bits; anything else reads as 0.
int64_t integer_or_zero(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return 0;
  std::string signed_text = (negative ? "-" : "") + std::string(digits);
  int64_t value = 0;
  const char* end = signed_text.data() + signed_text.size();
  auto [stop, error] = std::from_chars(signed_text.data(), end, value);
  return error == std::errc() && stop == end ? value : 0;
}

// The constant key of a literal value, or nothing when the value is no constant.
std::optional<std::string> literal_key(const Json& literal) {
  if (const Json* string = literal.get("the_string")) {
    if (string->is_str()) return std::string(kStrPrefix).append(string->as_str());
    const Json* text = string->get("the_string");
    if (text != nullptr && text->is_str()) return std::string(kStrPrefix).append(text->as_str());
    return std::nullopt;
  }
  if (const Json* number = literal.get("the_number")) {
    if (number->is_int()) return std::string(kIntPrefix) + std::to_string(number->as_int());
    const Json* text = number->get("number");
    if (text != nullptr && text->is_str())
      return std::string(kIntPrefix) + std::to_string(integer_or_zero(text->as_str()));
  }
  return std::nullopt;
}

// The predicate that an argument value stands for, making a constant when the
// value is one.
std::optional<std::string> argument_predicate(Functors& index, const Json& value) {
  if (value.is_int())
    return index.get_constant_function(std::string(kIntPrefix) + std::to_string(value.as_int()));
  if (value.is_str()) return index.get_constant_function(std::string(kStrPrefix).append(value.as_str()));
  if (!value.is_object()) return std::nullopt;
  if (const Json* name = value.get("predicate_name")) {
    if (name->is_str()) return std::string(name->as_str());
    return std::nullopt;
  }
  const Json* literal = value.get("literal");
  if (literal == nullptr) return std::nullopt;
  std::optional<std::string> key = literal_key(*literal);
  if (!key) return std::nullopt;
  return index.get_constant_function(*key);
}

bool fits_double_quotes(std::string_view text) {
  return text.find_first_of("\"\n\r") == std::string_view::npos;
}

// The single-quoted form decodes these escapes back to the bytes written here.
std::string single_quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\'':
        out += "\\'";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  out += "'";
  return out;
}

}  // namespace

Result<PreparedMake, CompileError> prepare_make(Functors& index, const MakeInstruction& instruction) {
  const Json* functor = instruction.object.get("1");
  const Json* functor_name = functor == nullptr ? nullptr : functor->get("predicate_name");
  // A hand-written @Make may name its functor with any expression; only a
  // predicate can be applied.
  if (functor_name == nullptr || !functor_name->is_str())
    return CompileError("Bad @Make instruction for " + instruction.made);

  PreparedMake prepared{instruction.made, std::string(functor_name->as_str()), {}};
  const Json* arguments = instruction.object.get("2");
  if (arguments != nullptr && arguments->is_object()) {
    for (const auto& [name, value] : arguments->as_object()) {
      if (std::optional<std::string> predicate = argument_predicate(index, value))
        prepared.arguments[name] = std::move(*predicate);
    }
  }
  return prepared;
}

std::string constant_statement(const std::string& name, const std::string& key) {
  std::string_view value = std::string_view(key).substr(std::min<size_t>(4, key.size()));
  if (key.rfind(kStrPrefix, 0) != 0) return name + "() = " + std::string(value) + ";";
  if (fits_double_quotes(value)) return name + "() = \"" + std::string(value) + "\";";
  return name + "() = " + single_quoted(value) + ";";
}

void emit_constants(Functors& index) {
  std::vector<std::pair<std::string, std::string>> by_use;  // (name, key)
  for (const auto& [key, name] : index.constant_names) by_use.emplace_back(name, key);
  // The names share their prefix, so a shorter name has the smaller number.
  std::sort(by_use.begin(), by_use.end(), [](const auto& a, const auto& b) {
    return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
  });
  for (const auto& [name, key] : by_use) {
    Result<std::vector<Json>, CompileError> parsed = parse_rules(constant_statement(name, key));
    // A definition that does not read back is left out; its constant then has no rows.
    if (!parsed.ok()) continue;
    for (Json& rule : parsed.value()) index.rules.push_back(std::move(rule));
  }
}

}  // namespace mirtova
