// The Pratt parser of assertion statements, and parse_statement, which lexes
// and parses one statement and renders its first error as one message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "assertion/expr.h"
#include "assertion/statement_error.h"
#include "common/result.h"

namespace mirtova::assertion {

// Nesting levels one statement may open (parentheses, prefixes, operands of
// operators) and the height its tree may reach; past either the statement is
// refused with kTooDeepMessage at the token where the bound was crossed. Every
// later stage walks the tree recursively, so the bound keeps all of them
// within the stack of a Python thread.
inline constexpr size_t kMaxStatementDepth = 200;
inline constexpr const char* kTooDeepMessage = "the statement is nested too deeply";

// The statement's tree, or its first lexer or parser error.
Result<Expr, StatementError> parse_statement_tree(std::string_view statement);

// The statement's tree, or the text of its first error: "{0} (at character {1})".
Result<Expr, std::string> parse_statement(std::string_view statement);

}  // namespace mirtova::assertion
