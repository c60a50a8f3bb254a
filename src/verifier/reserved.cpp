// The reserved-name check: library predicates, "Today" and "Now" under any
// form of rule, built-in function names under a function's head.
#include "verifier/reserved.h"

#include "compiler/program/name_catalogues.h"
#include "parser/tree_access.h"
#include "verifier/references.h"
#include "verifier/verify_error.h"

namespace mirtova::verifier {

std::string ReservedError::text() const { return verifier::text(ReservedPredicateName{name, is_function}); }

std::vector<ReservedError> check_reserved(const RuleList& plain) {
  const NameCatalogue& reserved = reserved_predicate_names();
  const NameCatalogue& builtins = builtin_function_names();
  SortedNames seen;
  std::vector<ReservedError> found;
  for (const Json* statement : plain) {
    const std::string name(head_name(*statement));
    bool is_function = false;
    if (!reserved.contains(name)) {
      const Json* record = statement->at("head").get("record");
      // Only capitalised built-in names are refused to functions: "in" or "is" stay free.
      if (record == nullptr || !record_defines_value(*record) || !builtins.contains(name) || name[0] < 'A' ||
          name[0] > 'Z')
        continue;
      is_function = true;
    }
    // Reported once, against the first statement and with its kind.
    if (seen.insert(name).second) found.push_back(ReservedError{name, is_function});
  }
  return found;
}

}  // namespace mirtova::verifier
