// Negation normal form and disjunctive normal form of a resolved statement.
// Counterexamples are the rows on which a statement fails, so translation
// takes the normal forms of its negation: each conjunct of the DNF becomes one
// counterexample rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "assertion/expr.h"
#include "assertion/token.h"
#include "assertion/translate_error.h"
#include "common/result.h"

namespace mirtova::assertion {

struct Nnf;

// A literal of a normal form.
struct Lit {
  enum class Kind : uint8_t {
    Atom,       // name, args, positive: the predicate has (has no) row matching the arguments
    Cmp,        // left op right; an op that is no comparison marks a value standing for a formula
    NotExists,  // vars, body: no assignment of the body's other variables makes it hold
  };

  Kind kind = Kind::Atom;
  std::string name;               // Atom
  std::vector<Expr> args;         // Atom: the arguments; Cmp: left and right
  bool positive = true;           // Atom
  BinOp op = BinOp::Eq;           // Cmp
  std::vector<std::string> vars;  // NotExists: the variables shared with the enclosing formula
  std::vector<Nnf> forms;         // NotExists: the body, exactly one

  static Lit atom(std::string name, std::vector<Expr> args, bool positive);
  static Lit cmp(Expr left, BinOp op, Expr right);
  static Lit not_exists(std::vector<std::string> vars, Nnf body);

  const Expr& left() const { return args[0]; }   // Cmp
  const Expr& right() const { return args[1]; }  // Cmp
  const Nnf& body() const;                       // NotExists

  friend bool operator==(const Lit&, const Lit&) = default;
};

// A formula in negation normal form.
struct Nnf {
  enum class Kind : uint8_t { And, Or, Lit };

  Kind kind = Kind::Lit;
  std::vector<Nnf> parts;  // And, Or
  assertion::Lit lit;      // Lit

  static Nnf conjunction(std::vector<Nnf> parts) { return {Kind::And, std::move(parts), {}}; }
  static Nnf disjunction(std::vector<Nnf> parts) { return {Kind::Or, std::move(parts), {}}; }
  static Nnf literal(assertion::Lit lit) { return {Kind::Lit, {}, std::move(lit)}; }

  friend bool operator==(const Nnf&, const Nnf&) = default;
};

inline const Nnf& Lit::body() const { return forms[0]; }

inline Lit Lit::not_exists(std::vector<std::string> vars, Nnf body) {
  Lit lit;
  lit.kind = Kind::NotExists;
  lit.vars = std::move(vars);
  lit.forms.push_back(std::move(body));
  return lit;
}

// Literals that must all hold; the statement's negation holds when one
// conjunct of its DNF holds.
using Conjunct = std::vector<Lit>;
using Dnf = std::vector<Conjunct>;

inline constexpr size_t kMaxConjuncts = 64;

// How much a normal form may hold, in tree nodes (formula nodes, literals and
// the expression nodes inside them). An equivalence copies both sides into
// both of its alternatives, so nested equivalences grow a form exponentially;
// the bound refuses them before memory runs out.
inline constexpr size_t kMaxNormalFormSize = size_t{1} << 16;

inline constexpr const char* kTooManyAlternatives = "the statement has too many alternatives";

// The negation normal form of the resolved expression, or of its negation when
// `negate` is set. Unsupported with kTooManyAlternatives past kMaxNormalFormSize.
Result<Nnf, TranslateError> nnf(const Expr& e, bool negate);

// The conjuncts of the form, multiplied out in order. Unsupported with
// kTooManyAlternatives past kMaxConjuncts conjuncts or kMaxNormalFormSize
// nodes. A NotExists literal is kept whole: its body is a form of its own.
Result<Dnf, TranslateError> dnf(const Nnf& form);

// The size of a literal in the unit of kMaxNormalFormSize.
size_t literal_size(const Lit& lit);

}  // namespace mirtova::assertion
