// Line indentation for the SQL texts the program model nests inside one another.
#pragma once

#include <string>
#include <string_view>

namespace mirtova {

// Every non-empty line of `text` with `spaces` spaces before it.
std::string indent(std::string_view text, int spaces);
// The same, appended to `out`.
void append_indented(std::string& out, std::string_view text, int spaces);

}  // namespace mirtova
