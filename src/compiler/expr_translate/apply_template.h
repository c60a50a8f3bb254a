// Filling of function and operator templates with the SQL of their arguments.
#pragma once

#include <cstddef>
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

// Whether the template takes its arguments by position ("{0}", "{1}", "{2}").
bool names_positional(std::string_view tmpl);

// How many arguments a template needs so that none of its placeholders stays
// in place: one more than its highest "{n}", or its number of "%s" when it has
// several and no positional ones.
size_t arguments_needed(std::string_view tmpl);

// Fills an operator template: "{left}" and "{right}" when it names either,
// otherwise as apply_template with the two operands. Not yet wrapped in brackets.
std::string apply_operator_template(std::string_view tmpl, const std::string& left, const std::string& right);

}  // namespace mirtova
