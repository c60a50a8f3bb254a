// parse_rules: the road back from program text that the compiler wrote.
#include "compiler/functors/parse_rules.h"

#include "parser/parse_file.h"

namespace mirtova {

Result<std::vector<Json>, CompileError> parse_rules(const std::string& text) {
  ParseResult<Json> parsed = parse_file(text);
  if (!parsed.ok())
    return CompileError("Failed to parse generated program: " + parsed.error().show_message());
  return std::move(parsed.value().at_mut("rule").as_array_mut());
}

}  // namespace mirtova
