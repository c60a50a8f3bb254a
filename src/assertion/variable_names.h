// Program variable names made from the names of a statement, and the way
// messages show them again.
#pragma once

#include <string>
#include <string_view>

namespace mirtova::assertion {

// The program variable for a statement name: "'" becomes "_p", ASCII letters,
// digits and "_" stay, any other character becomes "_u" and its code point in
// lower-case hex; a result that does not start with a lower-case ASCII letter,
// or that starts with "x_" (the compiler's own variables), gets "v_" in front.
// x → x, x' → x_p, Price → v_Price, x_1 → v_x_1, año → a_uf1o, é → v__ue9.
std::string variable_name(std::string_view name);

// The program variable for a statement name as counterexample rules spell it:
// `variable_name`, made a variable of the rule language. Rule variables hold
// only lower-case letters, digits and "_", so an upper-case letter becomes "_"
// and its lower-case form (X → v__x, aB → a_b); a word the rule language reads
// as a literal or a form ("true", "null", "nan", "if", ...) gets "v_" in front.
// Without this a statement about X would be reported checkable and then fail
// to compile, or compare against null where it meant a variable.
std::string program_variable_name(std::string_view name);

// Appends `text` with every character other than an ASCII letter, digit or "_"
// written as "_u" and its code point in lower-case hex: a name any rule can hold.
void append_plain_name(std::string_view text, std::string& out);

// The part of a program variable name after its last "__" (the whole name when
// it has none): how messages show a variable.
std::string_view display(std::string_view program_name);

// Whether a program name has the shape of a name that translation makes up
// itself: "q{n}__..." for inner binders, "s__..." for values. Names made from
// the user's never take these shapes.
bool is_generated_shape(std::string_view program_name);

}  // namespace mirtova::assertion
