// The three quoted forms of a string literal and the escapes of the single-quote form.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirtova {

// The string that `text` (the whole literal, quotes included) denotes, or
// nothing when it is none of "...", '...' and """...""".
std::optional<std::string> read_string_literal(std::string_view text);

// The contents of a single-quoted literal with its escapes decoded; invalid
// UTF-8 made by \x escapes is replaced by U+FFFD.
std::string decode_single_quoted(std::string_view contents);

}  // namespace mirtova
