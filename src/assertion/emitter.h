// The writer of counterexample rules: one rule body per conjunct of a negated
// statement, auxiliary predicates for universal sub-formulas, a combine for
// each sum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "assertion/domain.h"
#include "assertion/expr.h"
#include "assertion/normal_form.h"
#include "assertion/schema.h"
#include "assertion/translate_error.h"
#include "common/result.h"
#include "common/string_hash.h"

namespace mirtova::assertion {

// An atom that joins values of the rule's earlier atoms: its name, its pieces
// "column: text", and for each piece that joins, the index of the value in the
// body's `joined` and the variable it is read into where the join is loosened.
struct JoinedAtom {
  std::string written;
  std::string name;
  std::vector<std::string> columns, pieces;
  std::vector<std::optional<std::pair<size_t, std::string>>> joins;
};

// The body of one rule being written.
struct Body {
  std::vector<std::string> positives;  // predicate atoms, in the order written
  std::vector<std::string> filters;    // negations and comparisons, in the order written
  // Variables some predicate must bind before the body is complete, in order
  // of appearance, repeats kept.
  std::vector<std::string> needs;
  // A variable defined by an equality from the listed variables: bound once they are.
  std::vector<std::pair<std::string, std::vector<std::string>>> definitions;
  std::unordered_set<std::string, StringHash, std::equal_to<>> bound;
  // Variables of an enclosing rule that the atoms written here match as that
  // rule's row holds them, a null included (the outer variables of a sum).
  std::vector<std::string> matched;
  // A join of atoms on equal values finds no row where the value is null, so
  // the rule has more forms, one for each value joined: the form of the i-th
  // reads the rows where it is the first joined value that is null (an
  // equality joins those before it, they are not null). The values joined, in
  // order of first join, and each atom that joins one.
  std::vector<std::string> joined;
  std::vector<JoinedAtom> joined_atoms;
};

// What one conjunct gives: the texts of its body (positives, then filters), or
// the first variable that no predicate column gives values.
struct ConjunctOutcome {
  std::vector<std::string> texts;
  // The texts of the rule's forms for joined nulls; none when no atoms join.
  std::vector<std::vector<std::string>> null_forms;
  std::optional<std::string> unbound;
};

// How much one translation may write. Universal sub-formulas nest, and each
// copy of one in a conjunct is written again with all of its own conjuncts, so
// the output can grow exponentially with the nesting; past either bound the
// statement is refused as having too many alternatives.
inline constexpr size_t kMaxConjunctRuns = 4096;
inline constexpr size_t kMaxProgramBytes = size_t{4} << 20;

class BoundClosure;

class Emitter {
 public:
  Emitter(const Schema& schema, std::string head, ColumnLists* listed = nullptr)
      : schema_(schema), head_(std::move(head)), listed_(listed) {}

  // Writes the literals of one conjunct into `body`, which may already hold
  // the literals of an enclosing rule (its needs are ignored): positive atoms
  // first, then negations, comparisons and universal sub-formulas, then an
  // atom for every seed or needed variable left unbound. Seeds `shared` with
  // an enclosing rule take their values from that rule alone: a column found
  // in `lits` may lack some of them, so such a seed left unbound is reported.
  Result<ConjunctOutcome, TranslateError> conjunct_seeded(const Conjunct& lits,
                                                          const std::vector<std::string>& seeds, Body body,
                                                          bool shared = false);

  // One predicate atom used as a formula: its arguments bound to its columns.
  Result<std::string, TranslateError> relation(const std::string& name, const std::vector<Expr>& args,
                                               Body& body, std::vector<std::string>* texts = nullptr);

  // "name(column: term, ...)", binding columns to arguments by position and,
  // when a value variable is given, the last column to it; the arguments'
  // texts are appended to `texts` when it is given. A variable of the body's
  // `matched` is read into a variable of its own, with the filter that it
  // equals the variable, a null equalling a null. Unless `texts` is given (a
  // negated atom), an argument joining a value of the body's earlier atoms is
  // read apart in the body's forms for joined nulls.
  Result<std::string, TranslateError> atom(const std::string& name, const std::vector<std::string>& columns,
                                           const std::vector<Expr>& args, const std::string* value,
                                           Body& body, std::vector<std::string>* texts = nullptr);

  // The text of one value; a predicate's value adds its atom to the body's
  // positives, a sum the combine that computes it to the filters, and each
  // stands for a new value variable.
  Result<std::string, TranslateError> term(const Expr& e, Body& body);

  // "predicate(head arguments) distinct :- texts;", counted against the bounds.
  Result<std::string, TranslateError> rule(std::string_view predicate,
                                           const std::vector<std::string>& head_arguments,
                                           const std::vector<std::string>& texts);

  // The auxiliary rules written so far, in the order they were finished.
  const std::vector<std::string>& rules() const { return rules_; }
  // The auxiliary predicates those rules stand for, in the order they were named.
  const std::vector<std::string>& helpers() const { return helpers_; }

 private:
  // Each of these keeps its temporaries out of the frames of the recursion
  // through nested sub-formulas and values.
  [[gnu::noinline]] Result<Unit, TranslateError> negated_atom(const Lit& lit, Body& body);
  [[gnu::noinline]] Result<Unit, TranslateError> comparison(const Lit& lit, Body& body);
  // An unbound variable of the sub-formula's rules, written into `unbound`.
  // `enclosing` holds the literals of the rule being written, and
  // `enclosing_shared` the variables that rule shares with its own enclosing
  // one.
  [[gnu::noinline]] Result<Unit, TranslateError> not_exists(const Lit& lit, const Conjunct& enclosing,
                                                            const std::vector<std::string>& enclosing_shared,
                                                            Body& body, std::optional<std::string>& unbound);
  // The rule of the sub-formula `aux` for one conjunct, and its forms for joined nulls.
  Result<Unit, TranslateError> add_rules(const std::string& aux, const std::vector<std::string>& head_args,
                                         const ConjunctOutcome& outcome);
  // After "~name(columns: texts)", the negation that finds the rows holding
  // the same nulls as the arguments (the literals excepted), read only where
  // an argument is null.
  void add_null_negation(const std::string& name, const std::vector<std::string>& columns,
                         const std::vector<std::string>& texts, const std::vector<bool>& literal, Body& body);
  [[gnu::noinline]] Result<std::string, TranslateError> predicate_value(const Expr& e, Body& body);
  [[gnu::noinline]] Result<std::string, TranslateError> sum(const Expr& e, Body& body);
  // The first of `names` that no column found by domain_of binds.
  [[gnu::noinline]] std::optional<std::string> seed(const Conjunct& lits,
                                                    const std::vector<std::string>& names, Body& body) const;
  using ColumnFinder = std::optional<ColumnRef> (*)(const Lit&, std::string_view, const Schema&);
  // The first column `find` gives for `name` in the literals, in their order.
  std::optional<ColumnRef> first_column(const Conjunct& lits, std::string_view name, ColumnFinder find) const;
  // Binds `name` in the closure's body to the values of `column`; false when
  // there is none.
  bool seed_one(const std::optional<ColumnRef>& column, const std::string& name, BoundClosure& closure) const;

  const std::vector<std::string>& columns_of(const std::string& name) const;
  // The columns of `name` listed as a message shows them.
  std::string listed_columns(const std::string& name, const std::vector<std::string>& columns);
  std::string next_aux_name();
  std::string next_value_name();
  std::string next_match_name();

  // What a rule tried and withdrawn has written, to be undone whole.
  struct Mark {
    size_t helpers, rules, bytes;
    uint64_t value, match;
  };
  Mark mark() const { return {helpers_.size(), rules_.size(), program_bytes_, next_value_, next_match_}; }
  void rewind(const Mark& at) {
    helpers_.resize(at.helpers);
    rules_.resize(at.rules);
    program_bytes_ = at.bytes;
    next_value_ = at.value;
    next_match_ = at.match;
  }

  const Schema& schema_;
  std::string head_;
  ColumnLists* listed_;
  std::vector<std::string> rules_;
  std::vector<std::string> helpers_;
  uint64_t next_value_ = 0;
  uint64_t next_match_ = 0;
  size_t conjunct_runs_ = 0;
  size_t program_bytes_ = 0;
};

// "v: v": a head argument whose column is named after the variable.
std::string head_argument(std::string_view var);

// Keeps a body's bound variables closed under its definitions: a defined
// variable is bound once all its listed variables are. Each definition waits
// on the variables it still lacks, so that a chain of definitions written in
// any order is closed in one pass, and binding one more variable costs what it
// wakes rather than another pass over them all.
class BoundClosure {
 public:
  // Closes the body's bound variables; the body must outlive the closure and
  // keep its definitions unchanged meanwhile.
  explicit BoundClosure(Body& body);
  // Binds `var` and whatever it completes.
  void bind(const std::string& var);
  Body& body() { return body_; }

 private:
  void settle();

  Body& body_;
  std::unordered_map<std::string_view, std::vector<size_t>, StringHash, std::equal_to<>> waiting_;
  std::vector<size_t> lacking_;   // per definition, the listed variables not yet bound
  std::vector<size_t> complete_;  // definitions whose listed variables are all bound
};

// Adds to `bound` every defined variable whose listed variables are all bound.
inline void close_bound(Body& body) { BoundClosure{body}; }

}  // namespace mirtova::assertion
