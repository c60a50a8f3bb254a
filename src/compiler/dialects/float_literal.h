// How the engines write a number literal that has a decimal point.
#pragma once

#include <string>
#include <string_view>

namespace mirtova {

// The text with "E0" appended unless it already has an exponent, so that the
// engine reads a double rather than a decimal.
std::string exponent_float_literal(std::string_view text);

// The text unchanged when SQLite's own reading of it is exact; otherwise an
// expression of an integer and powers of two that gives exactly the double that
// a correctly rounded reading of the text gives.
std::string sqlite_float_literal(std::string_view text);

}  // namespace mirtova
