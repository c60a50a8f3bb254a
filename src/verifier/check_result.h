// What one run of the verifier finds: errors of every check, warnings, and a
// report per assertion.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "assertion/assertion_report.h"
#include "verifier/arity.h"
#include "verifier/directives.h"
#include "verifier/front_matter.h"
#include "verifier/functors.h"
#include "verifier/orderby.h"
#include "verifier/positional.h"
#include "verifier/recursion.h"
#include "verifier/reserved.h"
#include "verifier/safety.h"
#include "verifier/sqlexpr.h"
#include "verifier/stratification.h"
#include "verifier/undefined.h"

namespace mirtova::verifier {

// One error, wrapping the error value of the check that found it. The
// alternatives stand in this order: Safety, Stratification, Arity, Recursion,
// Reserved, SqlExpr, Positional, Undefined, OrderBy, Name, Description,
// Functor, Directive, Assertion.
using CheckError = std::variant<SafetyError, StratificationError, ArityError, RecursionError, ReservedError,
                                SqlExprError, PositionalError, UndefinedError, OrderByError, NameError,
                                DescriptionError, FunctorError, DirectiveError, assertion::AssertionError>;

// Exactly the text of the wrapped error.
std::string text(const CheckError& error);

struct CheckResult {
  std::vector<CheckError> errors;  // grouped by check, in the order the checks run
  std::vector<std::string> warnings;
  std::vector<assertion::AssertionReport> reports;
  // Some findings were left out, their texts together passing the bound on
  // what one call may return (see AssertionFindings::past_bound).
  bool past_bound = false;
};

}  // namespace mirtova::verifier
