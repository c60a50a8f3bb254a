// Quoting of values and statements for reports about assertions: line breaks,
// control characters and invisible or reordering characters are escaped so
// that text from the data or from a statement cannot disguise a report.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirtova::assertion {

// Appends `text` escaped: TAB, LF and CR as \t \n \r, a backslash doubled, the
// quote character (when given) after a backslash, and control, invisible and
// bidirectional characters as \u{hhhh}. Bytes that are no UTF-8 become U+FFFD.
void escape(std::string_view text, std::optional<char> quote, std::string& out);

// A value as a report shows it: double-quoted, escaped, at most 200 characters
// of it, then "… ({n} more characters)" when it is longer.
std::string quote_value(std::string_view text);

// A statement as a report shows it: on one line (runs of white space become
// one blank, none at either end), escaped, without quotes.
std::string statement_text(std::string_view text);

}  // namespace mirtova::assertion
