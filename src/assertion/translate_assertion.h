// translate_assertion: the one entry through which an assertion read from an
// @Assert annotation becomes its counterexample rules.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>

#include "assertion/schema.h"
#include "assertion/translate_error.h"
#include "assertion/translation.h"
#include "common/name_sets.h"
#include "common/result.h"

namespace mirtova::assertion {

// One assertion: a named statement of an @Assert annotation.
struct Entry {
  std::string predicate;  // the annotation's first argument
  std::string name;       // the argument's name
  std::string statement;  // the text translated
  std::string source;     // the text reports show: as written, before import renaming

  friend bool operator==(const Entry&, const Entry&) = default;
};

// The counterexample predicate's name as the statement's predicate and name
// give it: "Assert_{predicate}_{name}", with every character that a predicate
// name cannot hold written as "_u" and its code point in hex.
std::string counterexample_predicate(std::string_view predicate, std::string_view name);

// The entry's statement parsed and translated. `defined` holds the predicates
// the program defines; an assertion on another one whose name starts with an
// ASCII capital, and that the compiler does not define either, is Pending on
// it once its statement translates. `used` holds, lower-cased, every predicate
// name the program mentions: the rules written take names none of them holds
// in any case, so that they cannot stand for a predicate of the user's.
// `listed` keeps the column lists of messages from one statement to the next.
Result<Translation, TranslateError> translate_assertion(const Entry& entry, const SortedNames& defined,
                                                        const Schema& schema, const SortedNames& used,
                                                        ColumnLists* listed = nullptr);

}  // namespace mirtova::assertion
