// The undefined-name check: capitalised names that nothing defines, each
// reported once, with the closest known name when one is near.
#include "verifier/undefined.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <string_view>

#include "compiler/program/name_catalogues.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"
#include "verifier/closest_match.h"
#include "verifier/references.h"
#include "verifier/verify_error.h"

namespace mirtova::verifier {

namespace {

// The functions users most often mean, beside the program's own names, when a
// function call names nothing known.
constexpr std::array<std::string_view, 29> kCommonFunctionNames = {
    "Substr",   "Length",  "Upper",       "Lower",    "Split",   "Join",      "Like",     "Format",
    "Size",     "Element", "ArrayConcat", "Range",    "ToInt64", "ToFloat64", "ToString", "IsNull",
    "Coalesce", "Round",   "Abs",         "Greatest", "Least",   "Floor",     "Ceil",     "Sqrt",
    "Pow",      "Exp",     "Log",         "Replace",  "Trim"};

// Adds the name of every function call in the tree, calls in the arguments of
// calls included.
void collect_calls(const Json& tree, SortedNames& calls) {
  walk_tree(tree, [&](const Json& node) {
    const Json* call = node.get("call");
    const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
    if (name != nullptr && name->is_str()) calls.emplace(name->as_str());
  });
}

bool field_is(const Json& field, std::string_view name) {
  const Json* f = field.get("field");
  return f != nullptr && f->is_str() && f->as_str() == name;
}

bool is_reserved_without_rules(std::string_view name) {
  return std::find(std::begin(kReservedWithoutRules), std::end(kReservedWithoutRules), name) !=
         std::end(kReservedWithoutRules);
}

// A name a user can write where a predicate or a function is called: a
// capital, then letters, digits and "_". The libraries also define operators
// such as "=" and "->", which no misspelling should be taken for.
bool is_callable_name(std::string_view name) {
  if (name.empty() || name[0] < 'A' || name[0] > 'Z') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
}

// The candidates of a suggestion: the names given that a user can write.
std::vector<std::string_view> joined(const SortedNames& names, auto&& more) {
  std::vector<std::string_view> all;
  for (const std::string& name : names)
    if (is_callable_name(name)) all.emplace_back(name);
  for (const auto& name : more)
    if (is_callable_name(name)) all.emplace_back(name);
  return all;
}

}  // namespace

std::string UndefinedError::text() const {
  switch (kind) {
    case UndefinedKind::Predicate:
      break;
    case UndefinedKind::Function:
      return verifier::text(UndefinedFunction{suggestion, name});
    // The compiler's own words for these two.
    case UndefinedKind::NotAFunction:
      return "'" + name + "' is neither a predicate of the program nor a built-in function";
    case UndefinedKind::NoValue:
      return "Predicate '" + name +
             "' has no value to use here: only a function (a predicate defined with \"=\") can stand where a "
             "value is expected.";
  }
  return "Undefined predicate '" + name + "': not defined and not a built-in" +
         (suggestion ? did_you_mean(*suggestion) : std::string());
}

std::vector<UndefinedError> check_undefined(const RuleList& full) {
  const SortedNames defined = defined_predicates(full);
  const NameCatalogue& builtins = builtin_function_names();
  const NameCatalogue& reserved = reserved_predicate_names();
  // Built on the first undefined name: most programs have none.
  std::optional<Suggester> predicate_suggester, function_suggester;
  SortedNames reported;
  std::vector<UndefinedError> found;

  // Whether each predicate of the program has a value a call can take, as
  // the compiler reads it: from the first rule of the predicate. A rule with a
  // rest field takes its columns from elsewhere and is not judged.
  std::map<std::string, bool, std::less<>> has_value;
  for (const Json* statement : full) {
    const std::string_view name = head_name(*statement);
    if (is_annotation_name(name) || has_value.contains(name)) continue;
    const Json::ArrayType& fields = call_fields(statement->at("head"));
    const bool open =
        std::any_of(fields.begin(), fields.end(), [](const Json& f) { return field_is(f, "*"); });
    if (!open)
      has_value.emplace(name, std::any_of(fields.begin(), fields.end(),
                                          [](const Json& f) { return field_is(f, "quoril_value"); }));
  }

  // Lower-case names are tables and operators, which the table-name step tests.
  auto undefined = [&](const std::string& name) {
    return !name.empty() && name[0] >= 'A' && name[0] <= 'Z' && !defined.contains(name) &&
           !builtins.contains(name) && !reserved.contains(name) && !reported.contains(name);
  };

  for (const Json* statement : full) {
    const Json& head = statement->at("head");
    const bool annotation = is_annotation_name(head_name(*statement));
    SortedNames refs;
    if (const Json* body = statement->get("body")) collect_body_refs(*body, refs);
    if (!annotation)
      if (const Json* record = head.get("record")) collect_expr_refs(*record, refs);
    for (const std::string& name : refs) {
      if (!undefined(name)) continue;
      if (!predicate_suggester) {
        const std::vector<std::string> library = reserved.sorted();
        predicate_suggester.emplace(joined(defined, library));
      }
      reported.insert(name);
      found.push_back(
          UndefinedError{name, predicate_suggester->closest_match(name), UndefinedKind::Predicate});
    }
    // A function call inside an annotation is the annotation's business.
    if (annotation) continue;
    SortedNames calls;
    collect_calls(*statement, calls);
    for (const std::string& name : calls) {
      if (reported.contains(name) || builtins.contains(name)) continue;
      if (undefined(name)) {
        if (!function_suggester) function_suggester.emplace(joined(defined, kCommonFunctionNames));
        reported.insert(name);
        found.push_back(
            UndefinedError{name, function_suggester->closest_match(name), UndefinedKind::Function});
      } else if (auto value = has_value.find(name); value != has_value.end() && !value->second) {
        reported.insert(name);
        found.push_back(UndefinedError{name, std::nullopt, UndefinedKind::NoValue});
      } else if (!defined.contains(name) && is_reserved_without_rules(name)) {
        reported.insert(name);
        found.push_back(UndefinedError{name, std::nullopt, UndefinedKind::NotAFunction});
      }
    }
  }
  return found;
}

}  // namespace mirtova::verifier
