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
// refused with kTooDeepMessage at the token where the bound was crossed.
inline constexpr size_t kMaxStatementDepth = 200;
inline constexpr const char* kTooDeepMessage = "the statement is nested too deeply";

// Stack that one level of a statement may take in the deepest of the walks
// after the parse (resolution, normal forms, the rule writer, copies of the
// tree) in an optimised build; a parse that starts with less room than
// kMaxStatementDepth levels need allows fewer levels. Where frames are larger
// (a debug or sanitizer build), the walks that can fail check the stack left
// themselves.
inline constexpr size_t kStatementStackPerLevel = 2 * 1024;

// The levels a statement parsed here may open: kMaxStatementDepth, or fewer
// on a small stack. The walks after the parse run at about the same depth of
// the stack, so what the parse lets through they can hold.
size_t statement_depth_limit();

// The statement's tree, or its first lexer or parser error.
Result<Expr, StatementError> parse_statement_tree(std::string_view statement);

// The statement's tree, or the text of its first error: "{0} (at character {1})".
Result<Expr, std::string> parse_statement(std::string_view statement);

}  // namespace mirtova::assertion
