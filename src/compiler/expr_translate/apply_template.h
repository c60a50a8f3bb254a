// Filling of function and operator templates with the SQL of their arguments.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirtova {

// Fills "{0}".."{n}" by position when the template names "{0}", "{1}" or "{2}";
// otherwise a lone "%s" takes all arguments joined by ", ", and several "%s"
// take one argument each, left to right. Missing arguments leave their
// placeholder in place; surplus arguments are dropped.
//
// Every placeholder is replaced in one left-to-right pass over the template, so
// text that an argument brings (a user's string literal holding "{1}", say) is
// copied as it is and never read as a placeholder.
std::string apply_template(std::string_view tmpl, const std::vector<std::string>& args);

// The length of what apply_template gives, worked out without writing it: a
// template that names an argument several times multiplies its length.
size_t filled_size(std::string_view tmpl, const std::vector<std::string>& args);

// Whether the template takes its arguments by position ("{0}", "{1}", "{2}").
bool names_positional(std::string_view tmpl);

// How many arguments a template needs so that none of its placeholders stays
// in place: one more than its highest "{n}" or "{n:...}", or its number of "%s"
// when it has several and no positional ones.
size_t arguments_needed(std::string_view tmpl);

// A keyword placeholder "{n:WORD|WORD|...}": where an engine reads a keyword (a
// date part, say) no argument's SQL can stand, so argument n, a text literal
// naming one of the words, is written as that word.
struct KeywordPlace {
  size_t index = 0;        // the argument's position
  std::string_view words;  // "WORD|WORD|..."
  size_t at = 0;           // where the placeholder starts in the template
  size_t length = 0;       // and its length
};

// The keyword placeholders of a template, left to right.
std::vector<KeywordPlace> keyword_places(std::string_view tmpl);

// The word of `words` ("WORD|WORD|...") that `text` names in any ASCII case; none
// when it names none.
std::optional<std::string_view> keyword_named(std::string_view words, std::string_view text);

// The template with each of its keyword placeholders (keyword_places) replaced
// by the word chosen for it, the other placeholders left for apply_template.
std::string with_keywords(std::string_view tmpl, const std::vector<KeywordPlace>& places,
                          const std::vector<std::string_view>& chosen);

// Fills an operator template: "{left}" and "{right}" when it names either,
// otherwise as apply_template with the two operands. Not yet wrapped in brackets.
std::string apply_operator_template(std::string_view tmpl, const std::string& left, const std::string& right);
// Whether the SQL is one whole in brackets: its first "(" closes at its end.
bool is_bracketed(std::string_view sql);
// As apply_operator_template, except that a template "(%s) OP (%s)" gives an
// operand already in brackets (is_bracketed) no second pair.
std::string apply_operator_template_once_bracketed(std::string_view tmpl, const std::string& left,
                                                   const std::string& right);

}  // namespace mirtova
