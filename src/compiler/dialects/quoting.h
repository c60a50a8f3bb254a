// Quoting shared by the dialects: SQL reserved words, plain identifiers, column names, literals.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace mirtova {

class Dialect;

// The 129 SQL reserved words, upper case, in their stored order.
const std::array<std::string_view, 129>& sql_reserved_words();
// Whether `word` is a reserved word under ASCII case folding (other bytes compare exactly).
bool is_sql_reserved_word(std::string_view word);
// An ASCII letter or "_" first, then ASCII letters, digits and "_" only.
bool is_plain_identifier(std::string_view name);

// A predicate name made fit to stand as an SQL name: bytes outside
// [A-Za-z0-9_] become "_", and a leading digit (or nothing) gets a "_" before it.
std::string clean_name(std::string_view predicate);

// A field or column name as the program means it: a backquoted name stands for
// the name between its backquotes.
std::string_view unquoted_name(std::string_view name);

// A column or field name as SQL (after unquoted_name): unchanged when it is a plain identifier that is
// not reserved, otherwise the dialect's quoted identifier.
std::string sql_column(std::string_view name, const Dialect& dialect);

// `text` in single quotes with each single quote doubled.
std::string single_quoted_literal(std::string_view text);
// `text` in double quotes; backslashes doubled first, then each double quote
// written as the six characters \u0022 (so that backslash is not doubled).
std::string backslash_escaped_literal(std::string_view text);
// `name` in `quote` characters, each `quote` inside it doubled.
std::string quoted_doubling(std::string_view name, char quote);

// Every occurrence of `from` in `text` replaced by `to`, left to right, without
// rescanning replaced text. An empty `from` changes nothing.
std::string replace_all(std::string_view text, std::string_view from, std::string_view to);

}  // namespace mirtova
