// VerifyError: the verifier's catalogue of message kinds. Several check errors
// print by building one of these from their fields; no check returns one.
#pragma once

#include <optional>
#include <string>
#include <variant>

namespace mirtova::verifier {

struct DisjunctionNotSupported {
  std::string rule;  // the rule text
};
struct ReservedPredicateName {
  std::string name;
  bool is_function = false;
};
struct UnsafeSqlExpr {
  std::string predicate;
};
struct InvalidTableName {
  std::string predicate;
  std::string table;
};
struct MissingFrontMatterName {};
struct MissingFrontMatterDescription {
  std::optional<std::string> predicate;  // the front matter's name
};
struct DirectiveMessage {
  std::string message;
};
struct FunctorMessage {
  std::string message;
};
struct MissingOrderBy {
  std::string predicate;
};
struct UndefinedFunction {
  std::optional<std::string> suggestion;
  std::string name;
};

// The kinds in their declared order.
using VerifyError = std::variant<DisjunctionNotSupported, ReservedPredicateName, UnsafeSqlExpr,
                                 InvalidTableName, MissingFrontMatterName, MissingFrontMatterDescription,
                                 DirectiveMessage, FunctorMessage, MissingOrderBy, UndefinedFunction>;

// The message of a catalogue value, whole: nothing is added around it.
std::string text(const VerifyError& error);

// " — did you mean '{0}'?", the suffix of a message that suggests a name.
std::string did_you_mean(const std::string& suggestion);

}  // namespace mirtova::verifier
