// The expression dispatcher: asks the form parsers in a fixed order and wraps
// the first node that one of them accepts, with the text it came from.
#include <set>
#include <string_view>

#include "parser/depth_guard.h"
#include "parser/forms.h"
#include "parser/nesting.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {

using FormParser = ParseResult<MaybeNode> (*)(const SpanString&);

ParseResult<MaybeNode> call_form(const SpanString& text) { return parse_call(text, false); }

ParseResult<MaybeNode> infix_form(const SpanString& text) {
  // "~" is a proposition-level operator only; inside a value it falls through.
  static const std::set<std::string_view> kDisallowed = {"~"};
  return parse_infix(text, nullptr, &kDisallowed);
}

// Propositional implication answers with a proposition; only the call under
// "predicate" is an expression.
ParseResult<MaybeNode> propositional_implication_form(const SpanString& text) {
  TRY(MaybeNode proposition, parse_propositional_implication(text));
  if (!proposition || !proposition->is_object()) return MaybeNode();
  const Json* predicate = proposition->get("predicate");
  if (predicate == nullptr) return MaybeNode();
  return MaybeNode(*predicate);
}

struct Form {
  FormParser parse;
  // The kind key the node goes under; null for negation, which answers an
  // object that already holds its kind key.
  const char* kind;
};

// The order decides meaning: literals before variables, calls and operators
// (so "-3" is a number), implications before calls, "a[i]" last of all.
constexpr Form kForms[] = {
    {parse_combine, "combine"},
    {parse_implication, "implication"},
    {parse_literal, "literal"},
    {parse_variable, "variable"},
    {parse_record, "record"},
    {propositional_implication_form, "call"},
    {call_form, "call"},
    {parse_ultra_concise_combine, "combine"},
    {infix_form, "call"},
    {parse_subscript, "subscript"},
    {parse_negation_expression, nullptr},
    {parse_array_sub, "call"},
};

}  // namespace

ParseResult<Json> parse_expression(const SpanString& text) {
  DepthGuard guard;
  if (guard.too_deep()) return ParsingException(kTooDeepMessage, text);
  if (guard.outermost()) TRY_VOID(check_nesting(text));
  for (const Form& form : kForms) {
    TRY(MaybeNode node, form.parse(text));
    if (!node) continue;
    if (form.kind != nullptr)
      return make_object(form.kind, std::move(*node), "expression_heritage", text.view());
    Json expression = std::move(*node);
    expression.set("expression_heritage", Json(text.view()));
    return expression;
  }
  return ParsingException("Could not parse expression of a value.", text);
}

}  // namespace mirtova
