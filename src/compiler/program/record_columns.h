// Record columns completed from the values their rules put in them.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/type_inference/inference.h"
#include "parser/json.h"

namespace mirtova {

class ExprTranslator;

using ColumnTypes = std::map<std::string, std::map<std::string, Type>, std::less<>>;

// Inference types a record literal by what its fields show as written, so a
// field holding a variable stays of any type in its column, while the rule
// writes that field with the variable's own type; every rule of a predicate
// must write one record type, or PostgreSQL refuses their union. Each head
// value that is a record or a list, typed with its rule's variable types, is
// met into its column's type; a pair that does not meet leaves the column as
// inference left it. `rule_types` is by rule number, as `rules` are.
//
// Where the dialect declares record types field by field (PostgreSQL), a
// field's values read from one column of a host's table keep that column as
// their source (Type::origin) into the column's type; columns a rule copies
// one into another share their sources, and so do the rule variables bound
// from them. `host_tables` are the tables read there, a combine's too.
void complete_record_columns(const std::vector<Json>& rules, std::vector<RuleVariableTypes>& rule_types,
                             const Dialect& dialect, const HostTables& host_tables,
                             ColumnTypes& column_types);

// Whether `predicate` is one of the program's, with `type` set to the type of
// its `column` where that is known.
using ProgramColumnType =
    std::function<bool(std::string_view predicate, std::string_view column, Type& type)>;

// The value of a combine written in a rule whose variables `typing` holds:
// those its body reads from a host's table are of that column's source, those
// it reads from a predicate's column of that column's type.
Type combine_value_type(const Json& combine, ExprTranslator& typing, const std::vector<Json>& rules,
                        const HostTables& host_tables, const ProgramColumnType& column_of);

// Whether a value of `type` holds a record whose fields the dialect leaves
// unnamed: one holding a value read from a host table's column, where the
// engine names fields only with their types.
bool holds_unnamed_fields(const Type& type, const Dialect& dialect);

}  // namespace mirtova
