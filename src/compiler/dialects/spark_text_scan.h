// Reading SQL text written for Spark: where its literals and brackets end.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace mirtova {

// The end of the literal or quoted name opening at `at`: a backslash escapes
// inside '…' and "…", a backquote is doubled inside `…`.
size_t spark_quoted_end(std::string_view sql, size_t at);

// The bracket that closes the one at `at`; the text's size when none does.
size_t spark_closing_bracket(std::string_view sql, size_t at);

// Where `token` starts in `sql` outside every literal and bracket.
std::vector<size_t> spark_top_level_places(std::string_view sql, std::string_view token);

}  // namespace mirtova
