// The verifier's driver: the checks run in this order, and callers rely on it.
#include "verifier/validate.h"

#include <utility>

#include "verifier/assertions.h"
#include "verifier/contradiction.h"
#include "verifier/rule_lists.h"
#include "verifier/table_names.h"

namespace mirtova::verifier {

namespace {

template <class Error>
void append(std::vector<CheckError>& errors, std::vector<Error> found) {
  for (Error& error : found) errors.emplace_back(std::move(error));
}

template <class Error>
void append(std::vector<CheckError>& errors, std::optional<Error> found) {
  if (found) errors.emplace_back(std::move(*found));
}

}  // namespace

CheckResult validate(const Json& program) {
  CheckResult result;
  std::vector<CheckError>& errors = result.errors;
  const RuleLists lists = rule_lists(program);
  const RuleList& full = lists.full;
  const RuleList& plain = lists.plain;

  append(errors, check_safety(plain));
  append(errors, check_stratification(plain));
  append(errors, check_arity(plain, full));
  append(errors, check_head_columns(plain));
  append(errors, check_rest_fields(plain));
  append(errors, check_recursion(plain));
  append(errors, check_unbounded_recursion(full, plain));
  append(errors, check_reserved(plain));
  append(errors, check_sqlexpr(plain));
  append(errors, check_table_names(full));
  append(errors, check_positional(plain));
  append(errors, check_undefined(full));
  append(errors, check_order_by(program, full));
  if (check_name(program)) errors.emplace_back(NameError{});
  append(errors, check_description(program));
  append(errors, check_functors(full));
  append(errors, check_directives(full));
  result.warnings = check_contradictions(plain);

  AssertionFindings assertions = check_assertions(full);
  append(errors, std::move(assertions.errors));
  result.past_bound = assertions.past_bound;
  for (const assertion::AssertionReport& report : assertions.reports) {
    if (report.status != assertion::AssertionStatus::Unsupported || !report.detail) continue;
    result.warnings.push_back("Assertion '" + report.predicate + "." + report.name +
                              "' cannot be checked: " + *report.detail);
  }
  result.reports = std::move(assertions.reports);
  return result;
}

}  // namespace mirtova::verifier
