// ParsingException: a parse error, a message and the span of the offending text.
#pragma once

#include <string>

#include "common/result.h"
#include "parser/span.h"

namespace mirtova {

struct ParsingException {
  std::string message;
  SpanString span;

  ParsingException(std::string message, SpanString span)
      : message(std::move(message)), span(std::move(span)) {}

  // "Parsing:\n{before}{span}{after}\n\n[ Error ] {message}\n", each side cut to
  // 300 bytes on a character boundary, "<EMPTY>" for an empty span.
  std::string show_message() const;
};

template <class T>
using ParseResult = Result<T, ParsingException>;

}  // namespace mirtova
