// Name resolution of an assertion statement: which names are predicates and
// which are program variables, and which predicates the statement waits for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "assertion/expr.h"
#include "assertion/schema.h"
#include "assertion/translate_error.h"
#include "common/result.h"
#include "common/string_hash.h"

namespace mirtova::assertion {

// The predicates that the (unresolved) statement applies and the schema lacks,
// in order of first appearance, without repeats: names that start with an
// upper-case letter and are not bound by a quantifier around them.
std::vector<std::string> collect_missing(const Expr& statement, const Schema& schema);

// The resolution state of one statement.
//
// Program names: a variable of the outermost universal binders and a free
// variable are named after the statement's name (`program_variable_name`); a
// variable of any other binder is "q{n}__{name}", n counting every such binding
// of the statement. Two different statement names never share a program name:
// when the naming gives one name to both (x' and x_p) the later one gets a
// suffix, and a user's name never takes the shape of a name that translation
// makes up ("q{n}__...", "s__..."), which would bind it to the wrong values.
class Resolver {
 public:
  struct Bound {
    std::vector<std::string> names;  // the program names of the binder's variables
    Expr body;
  };

  // Puts a variable of the statement's outermost universal binders in scope
  // for the whole statement and gives its program name; a name given twice
  // keeps one program name.
  std::string add_outer(std::string_view name);

  // The resolved expression: every App a predicate application, every
  // variable a Var of its program name. Leaves the scope as it found it.
  Result<Expr, TranslateError> resolve(const Expr& e);

  // Resolves a binder: its variables in scope over the body, each with a new
  // "q{n}__" name.
  Result<Bound, TranslateError> bind(const std::vector<std::string>& vars, const Expr& body);

  // The program names of the free variables met so far, in order of first
  // appearance.
  const std::vector<std::string>& free() const { return free_; }
  uint64_t counter() const { return counter_; }

 private:
  // Each step writes its result into place and answers whether it succeeded,
  // keeping the failure aside: the recursion through deep statements keeps
  // small frames.
  bool walk(const Expr& e, Expr& out);
  bool bind_into(const std::vector<std::string>& vars, const Expr& body, std::vector<std::string>& names,
                 Expr& out);
  bool application(const Expr& e, Expr& out);
  // Out of line, to keep the error texts out of the recursion's frames.
  [[gnu::noinline]] bool fail(std::string message);

  const std::string* lookup(std::string_view name) const;
  void push(const std::string& name, std::string program);
  void pop(const std::string& name);
  // The program name of an outer or free variable.
  [[gnu::noinline]] std::string user_variable(std::string_view name);

  // Statement name to the program names it is bound to, innermost last.
  std::unordered_map<std::string, std::vector<std::string>, StringHash, std::equal_to<>> scope_;
  std::vector<std::string> free_;
  std::unordered_set<std::string, StringHash, std::equal_to<>> free_seen_;
  uint64_t counter_ = 0;
  // Statement name to the program name it was given, and the names given.
  std::unordered_map<std::string, std::string, StringHash, std::equal_to<>> user_names_;
  std::unordered_set<std::string, StringHash, std::equal_to<>> taken_;
  TranslateError failure_;
};

}  // namespace mirtova::assertion
