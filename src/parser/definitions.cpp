// Placeholder until this form is built: answers "nothing" so the other forms are tried.
#include "parser/forms.h"

namespace mirtova {

ParseResult<std::vector<Json>> parse_function_definition(const SpanString& left, const SpanString&) { return ParsingException("Left hand side of function definition must be a predicate call.", left); }

ParseResult<Json> parse_functor_statement(const SpanString&, const SpanString& right) { return ParsingException("Incorrect syntax for functor call.", right); }

}  // namespace mirtova
