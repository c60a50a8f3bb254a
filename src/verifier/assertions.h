// The verifier's step over the @Assert statements: a report per assertion and
// the errors of those that are malformed, invalid or stated twice; and the
// search for one assertion's counterexample rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "assertion/assertion_report.h"
#include "assertion/translate_assertion.h"
#include "assertion/translation.h"
#include "common/result.h"
#include "parser/json.h"
#include "verifier/rule_lists.h"

namespace mirtova::verifier {

struct AssertionFindings {
  std::vector<assertion::AssertionReport> reports;  // in source order
  std::vector<assertion::AssertionError> errors;
  // Whether the messages of invalid assertions passed the bound on what one
  // call may return (kMaxScriptBytes), the errors past it being left out: each
  // message lists its predicate's columns, so they could grow as the product of
  // a predicate's width and its assertions.
  bool past_bound = false;
};

// The assertions of one annotation statement (`annotation` is its name,
// "@Assert"), one per named argument in written order. A malformed annotation
// states none: it appends one Malformed error, for its first fault.
std::vector<assertion::Entry> read_annotation(const Json& rule, std::string_view annotation,
                                              std::vector<assertion::AssertionError>& errors);

// Every assertion of the program translated: a report for each but the
// repeats of a (predicate, name) pair, which are Duplicate errors; Malformed
// errors first, in rule order, then Duplicate and Invalid ones in entry order.
AssertionFindings check_assertions(const RuleList& full);

// The counterexample rules of the first assertion `name` of `predicate` (its
// internal name), or the text refusing them: "No assertion '{0}.{1}'", or why
// the assertion is pending, invalid or cannot be checked.
Result<assertion::Translation, std::string> assertion_check(const RuleList& full, std::string_view predicate,
                                                            std::string_view name);

}  // namespace mirtova::verifier
