// Translation: the counterexample rules of one assertion, as program text.
#pragma once

#include <string>
#include <vector>

namespace mirtova::assertion {

struct Translation {
  // The counterexample predicate: its rows are the data that break the statement.
  std::string predicate;
  // Its columns: the leading universal variables, then the free ones, each
  // under its program name; "violated" alone when there is none.
  std::vector<std::string> columns;
  // Every rule, one per line, auxiliary rules first; no line feed at the end.
  std::string program;
  // The auxiliary predicates the rules define besides `predicate`, each named
  // after it, in the order they were named.
  std::vector<std::string> helpers;

  friend bool operator==(const Translation&, const Translation&) = default;
};

}  // namespace mirtova::assertion
