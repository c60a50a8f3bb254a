// Outer values carried into a combine as rows, for the engines whose sub-queries
// may refer to the query around them only in their conditions: which values a
// combine carries, and the rows the query around writes for them.
#pragma once

#include <set>
#include <string>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/expr_translate/expr_translator.h"
#include "compiler/rule_translate/rule_translate.h"

namespace mirtova {

// The query around's variables that a combine reads from carried rows: every
// one it names, once one of them (or a value computed from one) is aggregated,
// unnested, or named by a combine inside it, or is computed by a sub-query of
// the query around (`outer_by_subquery`); none while they stand only in its
// conditions, which the engines read as they are.
// With `every_when_named_twice`, all it names once it names one in two places
// (or two names of one value of the query around);
// with `carries_field_reads`, every one once it reads a field of one.
std::set<std::string> outer_values_to_carry(const RuleStructure& combine,
                                            const std::set<std::string>& outer_by_subquery,
                                            bool every_when_named_twice, bool carries_field_reads);

// The variables of `query` whose SQL holds a sub-query (a combine, or a call of
// a predicate of the program; or, with `field_reads_too`, a record or a field
// read), or reads a variable whose SQL does.
std::set<std::string> computed_by_subquery(const RuleStructure& query, bool field_reads_too);

// The carried rows a query joins by its own, with the variables they hold.
struct OwnCarriedRows {
  std::string from_item;  // "(SELECT ...) AS alias", or empty
  Vocabulary columns;     // variable -> "alias.column"
};

// The rows of the values of `wanted`, variables of `query`, written with a copy
// of the query's translator as it stands (the variables bound so far). They are
// distinct on the variables whose SQL holds no sub-query; a variable computed by
// one comes along as a column fixed by those it is computed from. The query's
// conditions that hold a sub-query or a value of a query further out are left
// out: the rows are then more, never fewer.
// Each of `lists`, whose variables are among `wanted`, comes along as a column
// too, unless it reads a value the query cannot write.
Result<CarriedValues, CompileError> carried_rows(const RuleStructure& query, ExprTranslator translator,
                                                 const OwnCarriedRows& own,
                                                 const std::set<std::string>& wanted,
                                                 const std::vector<const Json*>& lists = {});

}  // namespace mirtova
