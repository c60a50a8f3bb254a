// Functor arguments: a make instruction read into functor and argument map,
// literal arguments turned into constant predicates, and those predicates'
// definitions written once every make is done.
#pragma once

#include <map>
#include <string>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/functors/functors.h"
#include "compiler/functors/make_instructions.h"

namespace mirtova {

// Argument predicate -> the predicate that takes its place.
using ArgumentMap = std::map<std::string, std::string>;

struct PreparedMake {
  std::string made;
  std::string functor;
  ArgumentMap arguments;

  friend bool operator==(const PreparedMake&, const PreparedMake&) = default;
};

// The functor and the argument map of one instruction; number and text values
// get their constant predicates from `index`. An argument of another kind
// (a variable, a call) is not substituted. An instruction without a functor
// predicate is refused with "Bad @Make instruction for {0}".
Result<PreparedMake, CompileError> prepare_make(Functors& index, const MakeInstruction& instruction);

// The definition of one constant predicate, e.g. `QuorilCompilerConstant0() = 5;`.
// A text that a double-quoted literal cannot hold (a double quote, a line break)
// is written as a single-quoted literal with escapes, which reads back as the
// same text.
std::string constant_statement(const std::string& name, const std::string& key);

// Appends the definitions of the index's constant predicates to its rules, in
// the order the constants were first used.
void emit_constants(Functors& index);

}  // namespace mirtova
