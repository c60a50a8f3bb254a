// Shared by the expression-parser tests: results printed as one comparable text.
#pragma once

#include <string>

#include "parser/forms.h"

namespace mirtova::expr_test {

inline SpanString text_of(std::string text) { return SpanString(std::move(text)); }

inline std::string error_text(const ParsingException& e) {
  return "error: " + e.message + " @ " + e.span.to_string();
}

// A node prints as its compact JSON; an error as "error: <message> @ <span text>".
inline std::string show(const ParseResult<Json>& r) {
  return r.ok() ? r.value().compact() : error_text(r.error());
}

// As above; "none" when the text is not of the form.
inline std::string show(const ParseResult<MaybeNode>& r) {
  if (!r.ok()) return error_text(r.error());
  return r.value() ? r.value()->compact() : "none";
}

// Expression node shapes the tables repeat.
inline std::string var(const std::string& name) {
  return R"({"variable":{"var_name":")" + name + R"("},"expression_heritage":")" + name + R"("})";
}
inline std::string num(const std::string& n) {
  return R"({"literal":{"the_number":{"number":")" + n + R"("}},"expression_heritage":")" + n + R"("})";
}

}  // namespace mirtova::expr_test
