// Reading SQL text written for Spark: where its literals and brackets end.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "common/indent.h"

namespace mirtova {

// How Spark encloses text: a backslash escapes inside '…' and "…", comments nest.
SqlLexicon spark_lexicon();

// Where the literal, quoted name or comment opening at `at` ends; `at` where
// none opens there.
size_t spark_enclosure_end(std::string_view sql, size_t at);

// The bracket that closes the one at `at`; the text's size when none does.
size_t spark_closing_bracket(std::string_view sql, size_t at);

// Where `token` starts in `sql` outside every literal and bracket.
std::vector<size_t> spark_top_level_places(std::string_view sql, std::string_view token);

}  // namespace mirtova
