// Function definitions ("-->") and functor statements (":="): statement forms
// that reach the compiler as annotation rules.
#include "parser/forms.h"
#include "parser/tree_build.h"

namespace mirtova {

// F(args) --> E becomes @CompileAsUdf(F) and the equation F(args) = E. Both
// are parsed from texts of their own, so their errors point into those texts.
ParseResult<std::vector<Json>> parse_function_definition(const SpanString& left, const SpanString& value) {
  TRY(MaybeNode call, parse_call(left, false));
  if (!call) return ParsingException("Left hand side of function definition must be a predicate call.", left);
  const std::string name(call->at("predicate_name").as_str());

  std::vector<Json> rules;
  TRY(Json annotation, parse_rule(SpanString("@CompileAsUdf(" + name + ")")));
  rules.push_back(std::move(annotation));
  TRY(Json equation, parse_rule(SpanString(left.to_string() + " = " + value.to_string())));
  rules.push_back(std::move(equation));
  return rules;
}

// A := B(args) becomes @Make(A, B, {args}). The pieces are spans of the
// statement's own text, so their source is the whole statement.
ParseResult<Json> parse_functor_statement(const SpanString& left, const SpanString& right) {
  TRY(Json made, parse_expression(left));
  TRY(Json applied, parse_expression(right));
  const Json* call = applied.get("call");
  if (call == nullptr) return ParsingException("Incorrect syntax for functor call.", right);
  const Json* literal = made.get("literal");
  if (literal == nullptr || !literal->has("the_predicate"))
    return ParsingException("Incorrect syntax for functor call.", left);

  Json fields = make_array(make_field(0, std::move(made)),
                           make_field(1, make_predicate_literal(call->at("predicate_name"))),
                           make_field(2, make_object("record", call->at("record"))));
  return make_object("head", make_call("@Make", std::move(fields)), "full_text", left.source());
}

}  // namespace mirtova
