// The form parsers of the statement and expression grammar. Each answers a
// node, nothing (the text is not of its form) or a ParsingException; the first
// error ends the whole parse. The grammar is mutually recursive through
// parse_expression and parse_proposition, so every form is declared here.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "parser/json.h"
#include "parser/parsing_exception.h"
#include "parser/span.h"

namespace mirtova {

using MaybeNode = std::optional<Json>;

// ---- rules (rule.cpp) ----
// One statement (without its ";") into a rule node.
ParseResult<Json> parse_rule(const SpanString& statement);
// The same, given split_raw's pieces of the statement at ":-", for a caller
// whose own traversal of the statement cut them.
ParseResult<Json> parse_rule_pieces(const SpanString& statement, std::vector<SpanString> parts);

struct Denotation {
  SpanString rest;
  bool found = false;
  MaybeNode value;  // a record node, for words that carry a value
};
ParseResult<Denotation> grab_denotation(const SpanString& head, std::string_view word, bool has_value);

// ---- denotations as annotations (denotations.cpp) ----
// Appends the @OrderBy and @Limit rules of `rule` (if any), then the rule.
void append_rule_with_denotations(Json rule, Json::ArrayType& rules);

// ---- function definitions and functor statements (definitions.cpp) ----
ParseResult<std::vector<Json>> parse_function_definition(const SpanString& left, const SpanString& value);
ParseResult<Json> parse_functor_statement(const SpanString& left, const SpanString& right);

// ---- heads and calls (call.cpp) ----
struct GenericCall {
  std::string name;
  SpanString inside;
};
ParseResult<std::optional<GenericCall>> parse_generic_call(const SpanString& text, char opening,
                                                           char closing);
ParseResult<MaybeNode> parse_call(const SpanString& text, bool in_head);
struct HeadCall {
  Json call;
  bool is_aggregating = false;
};
ParseResult<HeadCall> parse_head_call(const SpanString& head, bool is_distinct);

// ---- expressions (expression.cpp) ----
ParseResult<Json> parse_expression(const SpanString& text);

// ---- literals (literal.cpp) ----
ParseResult<MaybeNode> parse_literal(const SpanString& text);

// ---- infix operators (infix.cpp) ----
// Without `operators` the default precedence table is used.
ParseResult<MaybeNode> parse_infix(const SpanString& text,
                                   const std::vector<std::string_view>* operators = nullptr,
                                   const std::set<std::string_view>* disallowed = nullptr);

// ---- implications (implication.cpp) ----
ParseResult<MaybeNode> parse_implication(const SpanString& text);

// ---- records and field values (record.cpp) ----
ParseResult<Json> parse_record_internals(const SpanString& inside, bool is_record_literal,
                                         bool is_aggregation_allowed);
ParseResult<MaybeNode> parse_record(const SpanString& text);

// ---- subscripts and variables (variable.cpp) ----
ParseResult<MaybeNode> parse_variable(const SpanString& text);
ParseResult<MaybeNode> parse_subscript(const SpanString& text);
ParseResult<MaybeNode> parse_array_sub(const SpanString& text);

// ---- propositions (proposition.cpp) ----
ParseResult<Json> parse_proposition(const SpanString& text);
ParseResult<MaybeNode> parse_unification(const SpanString& text);
ParseResult<MaybeNode> parse_inclusion(const SpanString& text);

// ---- negation (negation.cpp) ----
Json negation_tree(const SpanString& text, const Json& body);
ParseResult<MaybeNode> parse_negation(const SpanString& text);
ParseResult<MaybeNode> parse_negation_expression(const SpanString& text);
ParseResult<MaybeNode> parse_propositional_implication(const SpanString& text);

// ---- combines (combine.cpp) ----
ParseResult<MaybeNode> parse_combine(const SpanString& text);
ParseResult<MaybeNode> parse_concise_combine(const SpanString& text);
ParseResult<MaybeNode> parse_ultra_concise_combine(const SpanString& text);
// `body` is the object with key "conjunct", or null for no body.
Json build_tree_for_combine(Json aggregated_value, const SpanString& operator_span, const Json* body,
                            const SpanString& full_text);

}  // namespace mirtova
