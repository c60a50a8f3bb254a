// The lexer of assertion statements: symbols and keywords, names, numbers and
// strings, with positions counted in characters (Unicode scalar values).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "assertion/statement_error.h"
#include "assertion/token.h"
#include "common/result.h"

namespace mirtova::assertion {

// The tokens in order, each at the index of its first character (bytes of a
// text that are no UTF-8 count as U+FFFD); or the first lexer error
// ("unclosed string", "unexpected character '{0}'").
Result<std::vector<TokenAt>, StatementError> tokenize(std::u32string_view chars);
Result<std::vector<TokenAt>, StatementError> tokenize(std::string_view statement);

}  // namespace mirtova::assertion
