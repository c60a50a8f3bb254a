// Readers of syntax-tree shapes: statements, calls and their fields, literals.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "parser/json.h"

namespace mirtova {

// The "field_value" entries of a call's record; empty when absent.
const Json::ArrayType& call_fields(const Json& call);
// The expression under a field's value, or nullptr for an aggregated field.
const Json* field_expression(const Json& field);
// The column a field stands for: "col{i}" for positional ones, the name otherwise.
std::string field_column(const Json& field);
// Whether field_column(field) == column, without the column's name made.
bool field_is_column(const Json& field, std::string_view column);

// A variable a conjunct's predicate call reads from a column.
struct CalledVariable {
  std::string_view predicate;
  std::string column;
  std::string variable;
};
// The fields of a conjunct's predicate call whose value is a bare variable, in
// order; empty for any other conjunct.
std::vector<CalledVariable> called_variables(const Json& conjunct);

// The predicate an argument names: a "variable" expression's "var_name" (a
// string unchanged, an integer in decimal) or a predicate literal's name.
std::optional<std::string> predicate_name(const Json& expr);
// The name of a predicate literal ({"literal": {"the_predicate":
// {"predicate_name": name}}}); nothing for any other expression, a variable too.
std::optional<std::string_view> predicate_literal_name(const Json& expr);
// The text of a string literal: its "the_string" when that is a text, else the
// text under the object there (where import renaming keeps the statement_source).
std::optional<std::string> string_literal(const Json& expr);
// The variable's name when the expression is a bare variable.
std::optional<std::string> variable_name(const Json& expr);

// The head's field expressions in order, named and positional alike (aggregated
// fields are left out).
std::vector<const Json*> annotation_arguments(const Json& rule);
// The expression of the head field with this name, or nullptr.
const Json* named_argument(const Json& rule, std::string_view name);

// The conjuncts of a proposition's "conjunction"; nullptr when either key is
// absent or the list is no array.
const Json::ArrayType* proposition_conjuncts(const Json& proposition);
// The conjuncts of a rule body; nullptr when the rule has no body.
const Json::ArrayType* body_conjuncts(const Json& rule);
Json::ArrayType* body_conjuncts_mut(Json& rule);
// The body's conjunct list, created when the rule has none.
Json::ArrayType& ensure_body(Json& rule);

std::string_view head_name(const Json& rule);

// A statement's source text, "full_text", or "<unknown>" when it has none.
std::string rule_text(const Json& rule);

// The expression of an "@Make" statement's first head field value (what it
// makes), or nullptr.
const Json* made_expression(const Json& statement);
// The predicate an "@Make" statement makes: made_expression read by
// predicate_name; none when there is no field value or it names nothing.
std::optional<std::string> made_predicate(const Json& statement);

}  // namespace mirtova
