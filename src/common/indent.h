// Line indentation for the SQL texts the program model nests inside one another.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mirtova {

// How an engine's SQL encloses text that must reach it byte for byte. Every
// engine has '…' literals, "…" and `…` quoted names or literals, "--" line
// comments and "/* */" block comments; these say where the engines part.
struct SqlLexicon {
  // A backslash inside '…' or "…" takes the byte after it into the text.
  bool backslash_escapes = false;
  // The same inside `…`.
  bool backslash_in_backquotes = false;
  // E'…' literals, where a backslash takes the byte after it.
  bool escape_strings = false;
  // $$…$$ and $tag$…$tag$ literals.
  bool dollar_quotes = false;
  // '''…''' and """…""" literals.
  bool triple_quotes = false;
  // "#" opens a line comment.
  bool hash_comments = false;
  // A "/*" inside a block comment opens another that its own "*/" closes.
  bool nested_comments = false;
};

// Where the literal, quoted name or comment opening at `at` of `text` ends (the
// text's size when it never closes); `at` itself where none opens there.
size_t enclosure_end(std::string_view text, size_t at, const SqlLexicon& lexicon);

// The bracket that closes the one at `at`, past literals and comments; the
// text's size when none does.
size_t closing_bracket(std::string_view text, size_t at, const SqlLexicon& lexicon);

// Where `token` starts in `text` outside every literal, comment and bracket.
std::vector<size_t> top_level_places(std::string_view text, std::string_view token,
                                     const SqlLexicon& lexicon);

// Every non-empty line of `text` with `spaces` spaces before it, except a line
// that starts inside a literal, a quoted name or a block comment: those bytes
// are the program's own, and a space added there would change a value.
std::string indent(std::string_view text, int spaces, const SqlLexicon& lexicon);
// The same, appended to `out`.
void append_indented(std::string& out, std::string_view text, int spaces, const SqlLexicon& lexicon);
// The most bytes indenting `text` by `spaces` makes: what a caller reserves
// to write a nested text into one buffer without growing it.
size_t indented_size(std::string_view text, int spaces);

}  // namespace mirtova
