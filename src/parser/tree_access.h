// Small readers and builders of syntax-tree shapes shared by the program model and rule translation.
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

// A variable's name or a predicate literal's name.
std::optional<std::string> predicate_argument(const Json& expr);
// The text of a string literal.
std::optional<std::string> string_argument(const Json& expr);
// The variable's name when the expression is a bare variable.
std::optional<std::string> variable_name(const Json& expr);

// The head's field expressions in order, named and positional alike (aggregated
// fields are left out).
std::vector<const Json*> annotation_arguments(const Json& rule);
// The expression of the head field with this name, or nullptr.
const Json* named_argument(const Json& rule, std::string_view name);

// The conjuncts of a rule body; nullptr when the rule has no body.
const Json::ArrayType* body_conjuncts(const Json& rule);
Json::ArrayType* body_conjuncts_mut(Json& rule);
// The body's conjunct list, created when the rule has none.
Json::ArrayType& ensure_body(Json& rule);

const std::string& head_name(const Json& rule);

// Builders of generated nodes (no "expression_heritage").
Json make_variable(std::string name);
Json make_call_expr(std::string predicate, Json::ArrayType fields);
Json make_field(Json field, Json expression);
Json make_unification(Json left, Json right);
Json make_number(int64_t value);

}  // namespace mirtova
