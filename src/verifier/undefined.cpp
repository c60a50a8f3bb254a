// The undefined-name check: capitalised names that nothing defines, each
// reported once, with the closest known name when one is near.
#include "verifier/undefined.h"

#include <array>
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
    if (name != nullptr && name->is_str()) calls.insert(name->as_str());
  });
}

std::vector<std::string_view> joined(const SortedNames& names, auto&& more) {
  std::vector<std::string_view> all(names.begin(), names.end());
  for (const auto& name : more) all.emplace_back(name);
  return all;
}

}  // namespace

std::string UndefinedError::text() const {
  if (is_function) return verifier::text(UndefinedFunction{suggestion, name});
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
      found.push_back(UndefinedError{name, predicate_suggester->closest_match(name), false});
    }
    // A function call inside an annotation is the annotation's business.
    if (annotation) continue;
    SortedNames calls;
    collect_calls(*statement, calls);
    for (const std::string& name : calls) {
      if (!undefined(name)) continue;
      if (!function_suggester) function_suggester.emplace(joined(defined, kCommonFunctionNames));
      reported.insert(name);
      found.push_back(UndefinedError{name, function_suggester->closest_match(name), true});
    }
  }
  return found;
}

}  // namespace mirtova::verifier
