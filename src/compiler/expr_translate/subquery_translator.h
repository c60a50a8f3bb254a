// SubqueryTranslator: what an expression translator asks of the program it
// belongs to (sub-queries of combines and called predicates, column types,
// record types). The program model implements it.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/type_inference/types.h"
#include "parser/json.h"

namespace mirtova {

// What each variable of a rule stands for in SQL, and what is known of its type.
// Ordered maps: nothing of their order reaches SQL, but lookups stay cheap and
// copies (one per combine scope) keep a fixed layout.
using Vocabulary = std::map<std::string, std::string, std::less<>>;
using TypeMap = std::map<std::string, Type, std::less<>>;
// Flag name to value text, owned by the program.
using FlagMap = std::map<std::string, std::string, std::less<>>;

// Values of the query around a combine, as rows a combine can join: on an engine
// whose sub-queries refer to the query around them only in conditions, a
// combine reads an outer value it aggregates, or passes on to a combine of its
// own, from a column of these rows.
struct CarriedValues {
  // A SELECT DISTINCT that refers to no query around it, holding a row for every
  // combination of the values the query around gives.
  std::string sql;
  // (column, the query around's SQL of its value): equal, nulls alike, on the
  // one row a combine reads.
  std::vector<std::pair<std::string, std::string>> keys;
  // Each carried variable's column.
  Vocabulary columns;
  // For each list asked for, the column holding its value; empty where the
  // query around cannot write it.
  std::vector<std::string> list_columns;
};

// The query a combine stands in, asked for the rows of some of its variables'
// values; it answers while the combine is being written.
class OuterRows {
 public:
  virtual ~OuterRows() = default;
  // `lists` are lists the combine unnests that read only carried values: each
  // is written by the query around as a column of the rows.
  virtual Result<CarriedValues, CompileError> carried_values(const std::set<std::string>& variables,
                                                             const std::vector<const Json*>& lists) = 0;
  // Its variables whose SQL holds a sub-query (see computed_by_subquery).
  virtual std::set<std::string> computed_by_subquery() const = 0;
  // Whether its variable reads a column that holds nulls only (which an
  // engine typing bare nulls holds as text).
  virtual bool reads_from_nulls(std::string_view variable) const = 0;
};

class SubqueryTranslator {
 public:
  virtual ~SubqueryTranslator() = default;

  // The text that stands for the predicate's table in a FROM list.
  virtual Result<std::string, CompileError> translate_table(std::string_view predicate) = 0;
  // An alias for one more reading of the predicate's table, which no other
  // table of the compilation has: a sub-query reading a table that the
  // enclosing query also reads must not take the outer query's name for it.
  virtual std::string table_alias(std::string_view predicate) = 0;
  // The SQL of a combine's rule, seen from inside a rule whose variables are
  // `outer` (with their types `outer_types`); `around` is that rule's query.
  virtual Result<std::string, CompileError> translate_rule(const Json& rule, const Vocabulary& outer,
                                                           const TypeMap& outer_types, bool in_combine,
                                                           OuterRows* around) = 0;
  // The PostgreSQL type of the combine's result, when the program knows it;
  // asked where the dialect casts combines to their type.
  virtual std::optional<std::string> combine_psql_type(const Json& rule) = 0;
  // The list a combine gathers with List, Set or ArrayAgg, when the program
  // knows the type of the variable gathered (`outer_types` the rule's around).
  virtual std::optional<Type> gathered_list_type(const Json&, const TypeMap&) { return std::nullopt; }
  virtual std::optional<Type> column_type(std::string_view predicate, std::string_view column) = 0;
  // The value a combine gives, written in a rule whose variables are of
  // `outer_types`: its body's variables typed by the columns they are read from.
  virtual Type combine_value_type(const Json& combine, const TypeMap& outer_types) { return Type::any(); }
  // Whether every value of the predicate's column is a 64-bit integer.
  virtual bool integer_column(std::string_view predicate, std::string_view column) { return false; }
  // Whether the combine's every value is such an integer.
  virtual bool integer_combine(const Json& combine) { return false; }
  // Enters a record type into the program's registry; answers its SQL type name.
  virtual std::string register_record_type(const Type& record) = 0;
  // Whether every rule of the predicate gives the column a null and nothing
  // gives the column a type: PostgreSQL holds such a column as text.
  virtual bool column_of_nulls(std::string_view predicate, std::string_view column) { return false; }
  // Whether the rule's head gives the column the Max, Min or AnyValue of a
  // variable its body reads from a column every rule fills with nulls, or
  // from the empty list: one of those nulls, or none.
  virtual bool aggregates_nulls(const Json& rule, std::string_view column) { return false; }
  // Whether every rule of the predicate writes a bare null into the column,
  // whatever type the program gives it.
  virtual bool filled_with_nulls(std::string_view predicate, std::string_view column) { return false; }
  // Whether every rule of the predicate writes a record in the column whose
  // field is a bare null.
  virtual bool field_filled_with_nulls(std::string_view predicate, std::string_view column,
                                       std::string_view field) {
    return false;
  }
  // Whether a call of `name` reads a value of the program's predicate by a
  // sub-query, rather than calling a built-in function.
  virtual bool reads_program_value(std::string_view name) const { return false; }
  // The source of the values of a host table's column, where the dialect
  // declares a record field by that column's type; null otherwise.
  virtual std::shared_ptr<const ColumnOrigin> host_column_origin(std::string_view, std::string_view) {
    return nullptr;
  }
};

}  // namespace mirtova
