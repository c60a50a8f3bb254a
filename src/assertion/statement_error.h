// A lexer or parser error in an assertion statement: a message and the
// character at which it was found.
#pragma once

#include <cstddef>
#include <string>

namespace mirtova::assertion {

struct StatementError {
  std::string message;
  size_t position = 0;  // in Unicode scalar values, from 0; the length for the end

  // "{message} (at character {position + 1})": the one text callers report.
  std::string text() const { return message + " (at character " + std::to_string(position + 1) + ")"; }
};

}  // namespace mirtova::assertion
