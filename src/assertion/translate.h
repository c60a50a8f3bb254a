// translate: a parsed assertion statement becomes the program text of the
// rules whose rows are its counterexamples.
#pragma once

#include <string_view>

#include "assertion/expr.h"
#include "assertion/schema.h"
#include "assertion/translate_error.h"
#include "assertion/translation.h"
#include "common/result.h"

namespace mirtova::assertion {

// The rules of the predicate `head`: the statement's leading universal
// variables and its free variables are the head's columns; each conjunct of
// the statement's negation is one rule. Pending when the statement applies
// predicates the schema lacks; Invalid or Unsupported when it cannot be
// written (a name bound twice gives one column).
Result<Translation, TranslateError> translate(const Expr& statement, const Schema& schema,
                                              std::string_view head, ColumnLists* listed = nullptr);

}  // namespace mirtova::assertion
