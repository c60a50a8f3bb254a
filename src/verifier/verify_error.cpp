// The texts of the verifier's message catalogue.
#include "verifier/verify_error.h"

#include <type_traits>

namespace mirtova::verifier {

std::string did_you_mean(const std::string& suggestion) {
  return " \u2014 did you mean '" + suggestion + "'?";
}

std::string text(const VerifyError& error) {
  return std::visit(
      [](const auto& e) -> std::string {
        using T = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<T, DisjunctionNotSupported>) {
          return "A disjunction inside a negation or a combine is not supported: write the alternatives as "
                 "rules of a predicate of their own and use it there, in: " +
                 e.rule;
        } else if constexpr (std::is_same_v<T, ReservedPredicateName>) {
          return "Reserved predicate name '" + e.name + "': it is a built-in " +
                 (e.is_function ? "function" : "library predicate") + " and cannot be redefined";
        } else if constexpr (std::is_same_v<T, UnsafeSqlExpr>) {
          return "Unsafe SqlExpr in rule '" + e.predicate +
                 "': raw SQL bypasses verification and portability";
        } else if constexpr (std::is_same_v<T, InvalidTableName>) {
          return "Invalid table name in rule '" + e.predicate + "': '" + e.table +
                 "' is not a table name: write names of letters, digits and '_', joined by '.'";
        } else if constexpr (std::is_same_v<T, MissingFrontMatterName>) {
          return "The front matter has no name: give the predicate this file is about, the one that runs "
                 "(name: ...)";
        } else if constexpr (std::is_same_v<T, MissingFrontMatterDescription>) {
          std::string whose = e.predicate ? " for '" + *e.predicate + "'" : std::string();
          std::string what = e.predicate ? "its rows are" : "this file is about";
          return "The front matter has no description" + whose + ": say what " + what +
                 " \u2014 in the words someone would search for (description: ...)";
        } else if constexpr (std::is_same_v<T, DirectiveMessage> || std::is_same_v<T, FunctorMessage>) {
          return e.message;
        } else if constexpr (std::is_same_v<T, MissingOrderBy>) {
          return "Missing @OrderBy for '" + e.predicate +
                 "', the predicate this file is about: without it its rows come back in no stable order and "
                 "pages differ between runs; add @OrderBy(" +
                 e.predicate + ", \"column\"); before its rules";
        } else {
          static_assert(std::is_same_v<T, UndefinedFunction>);
          return "Undefined function '" + e.name + "': not defined and not a built-in" +
                 (e.suggestion ? did_you_mean(*e.suggestion) : std::string());
        }
      },
      error);
}

}  // namespace mirtova::verifier
