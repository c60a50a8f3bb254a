// SubqueryTranslator: what an expression translator asks of the program it
// belongs to (sub-queries of combines and called predicates, column types,
// record types). The program model implements it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

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
  // `outer` (with their types `outer_types`).
  virtual Result<std::string, CompileError> translate_rule(const Json& rule, const Vocabulary& outer,
                                                           const TypeMap& outer_types, bool in_combine) = 0;
  // The PostgreSQL type of the combine's result, when the program knows it;
  // asked where the dialect casts combines to their type.
  virtual std::optional<std::string> combine_psql_type(const Json& rule) = 0;
  virtual std::optional<Type> column_type(std::string_view predicate, std::string_view column) = 0;
  // Enters a record type into the program's registry; answers its SQL type name.
  virtual std::string register_record_type(const Type& record) = 0;
  // Whether every rule of the predicate gives the column a null and nothing
  // gives the column a type: PostgreSQL holds such a column as text.
  virtual bool column_of_nulls(std::string_view predicate, std::string_view column) { return false; }
};

}  // namespace mirtova
