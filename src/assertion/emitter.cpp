#include "assertion/emitter.h"

#include <algorithm>

#include "assertion/domain.h"
#include "assertion/parser.h"
#include "assertion/variable_names.h"
#include "common/stack_room.h"
#include "common/strings.h"

namespace mirtova::assertion {

namespace {

constexpr const char* kTolerance = "0.000000001";

TranslateError invalid(std::string message) { return TranslateError::invalid(std::move(message)); }
TranslateError unsupported(std::string message) { return TranslateError::unsupported(std::move(message)); }

std::string plural(size_t n) { return n == 1 ? "" : "s"; }

bool contains(const std::vector<std::string>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Floating arithmetic may miss an exact equality, so a side that computes or
// holds a fraction is compared within a tolerance.
bool is_tolerant(const Expr& e) {
  switch (e.kind) {
    case Expr::Kind::Sum:
    case Expr::Kind::Neg:
      return true;
    case Expr::Kind::Number:
      return e.text.find('.') != std::string::npos;
    case Expr::Kind::Binary:
      return is_arithmetic(e.op);
    default:
      return false;
  }
}

std::string comparison_text(BinOp op, bool tolerant, const std::string& l, const std::string& r) {
  if (tolerant && op == BinOp::Eq) return "Abs(" + l + " - " + r + ") <= " + kTolerance;
  if (tolerant && op == BinOp::Ne) return "Abs(" + l + " - " + r + ") > " + kTolerance;
  return l + " " + std::string(ascii_spelling(op)) + " " + r;
}

void append_free_vars(const Expr& e, std::vector<std::string>& out) {
  for (std::string& v : free_vars(e)) out.push_back(std::move(v));
}

// A value read from a row equals a value of the enclosing rule, a null equalling a null.
std::string same_value(const std::string& local, const std::string& value) {
  return "(" + local + " == " + value + " || (IsNull(" + local + ") && IsNull(" + value + ")))";
}

// Whether any of the values is null.
std::string any_null(const std::vector<std::string>& values) {
  std::vector<std::string> nulls;
  for (const std::string& value : values) nulls.push_back("IsNull(" + value + ")");
  return nulls.size() == 1 ? nulls[0] : "(" + join(nulls, " || ") + ")";
}

bool is_literal(const Expr& e) { return e.kind == Expr::Kind::Number || e.kind == Expr::Kind::Str; }

// Whether an atom's argument joins a value of the rule's earlier atoms: a
// variable they bind, a predicate's value (its atom stands before), or a
// computation, which the engine joins as it would a column. A sum is never null.
bool joins(const Expr& e, const Body& body) {
  switch (e.kind) {
    case Expr::Kind::Var:
      return body.bound.contains(e.text);
    case Expr::Kind::App:
    case Expr::Kind::Neg:
    case Expr::Kind::Binary:
      return true;
    default:
      return false;
  }
}

// The body's form for the rows whose first null joined value is the one at
// `first`: the values before it joined as written, it null wherever read, and
// those after it read apart and matched, a null equalling a null. Each form
// tests a column of one atom for null, so on rows free of nulls it is empty
// from the first scan.
std::vector<std::string> null_form(const Body& body, size_t first) {
  std::vector<std::string> out = body.positives;
  std::vector<std::string> matches{"IsNull(" + body.joined[first] + ")"};
  std::vector<bool> taken(out.size(), false);
  for (const JoinedAtom& atom : body.joined_atoms) {
    std::vector<std::string> pieces = atom.pieces;
    for (size_t i = 0; i < pieces.size(); ++i) {
      if (!atom.joins[i] || atom.joins[i]->first < first) continue;
      const auto& [value, local] = *atom.joins[i];
      pieces[i] = atom.columns[i] + ": " + local;
      matches.push_back(value == first ? "IsNull(" + local + ")" : same_value(local, body.joined[value]));
    }
    // Identical atoms are interchangeable, so the first one not yet taken will do.
    for (size_t i = 0; i < out.size(); ++i)
      if (!taken[i] && out[i] == atom.written) {
        out[i] = atom.name + "(" + join(pieces, ", ") + ")";
        taken[i] = true;
        break;
      }
  }
  out.insert(out.end(), body.filters.begin(), body.filters.end());
  out.insert(out.end(), matches.begin(), matches.end());
  return out;
}

std::vector<std::vector<std::string>> null_forms(const Body& body) {
  std::vector<std::vector<std::string>> out;
  for (size_t first = 0; first < body.joined.size(); ++first) out.push_back(null_form(body, first));
  return out;
}

}  // namespace

std::string head_argument(std::string_view var) {
  std::string out(var);
  out += ": ";
  out += var;
  return out;
}

BoundClosure::BoundClosure(Body& body) : body_(body), lacking_(body.definitions.size(), 0) {
  for (size_t i = 0; i < body_.definitions.size(); ++i) {
    const auto& [var, from] = body_.definitions[i];
    if (body_.bound.contains(var)) continue;
    for (const std::string& v : from) {
      if (body_.bound.contains(v)) continue;
      waiting_[v].push_back(i);
      ++lacking_[i];
    }
    if (lacking_[i] == 0) complete_.push_back(i);
  }
  settle();
}

void BoundClosure::bind(const std::string& var) {
  if (!body_.bound.insert(var).second) return;
  if (auto woken = waiting_.find(var); woken != waiting_.end())
    for (size_t i : woken->second)
      if (--lacking_[i] == 0) complete_.push_back(i);
  settle();
}

void BoundClosure::settle() {
  while (!complete_.empty()) {
    const size_t i = complete_.back();
    complete_.pop_back();
    const std::string& var = body_.definitions[i].first;
    if (!body_.bound.insert(var).second) continue;
    auto woken = waiting_.find(var);
    if (woken == waiting_.end()) continue;
    for (size_t j : woken->second)
      if (--lacking_[j] == 0) complete_.push_back(j);
  }
}

std::string Emitter::listed_columns(const std::string& name, const std::vector<std::string>& columns) {
  if (listed_ == nullptr) return join(columns, ", ");
  auto found = listed_->find(name);
  if (found == listed_->end()) found = listed_->emplace(name, join(columns, ", ")).first;
  return found->second;
}

const std::vector<std::string>& Emitter::columns_of(const std::string& name) const {
  // Translation looks for missing predicates first, so every predicate
  // applied here is known; an unknown one reads as having no columns.
  static const std::vector<std::string> kNone;
  auto found = schema_.find(name);
  return found == schema_.end() ? kNone : found->second;
}

std::string Emitter::next_aux_name() {
  helpers_.push_back(head_ + "_" + std::to_string(helpers_.size() + 1));
  return helpers_.back();
}
std::string Emitter::next_value_name() { return "s__" + std::to_string(++next_value_); }
// No statement variable takes the "s__" shape, and value variables have digits after it.
std::string Emitter::next_match_name() { return "s__m" + std::to_string(++next_match_); }

Result<std::string, TranslateError> Emitter::rule(std::string_view predicate,
                                                  const std::vector<std::string>& head_arguments,
                                                  const std::vector<std::string>& texts) {
  std::string text(predicate);
  text += "(" + join(head_arguments, ", ") + ") distinct :- " + join(texts, ", ") + ";";
  program_bytes_ += text.size() + 1;
  if (program_bytes_ > kMaxProgramBytes) return unsupported(kTooManyAlternatives);
  return text;
}

Result<ConjunctOutcome, TranslateError> Emitter::conjunct_seeded(const Conjunct& lits,
                                                                 const std::vector<std::string>& seeds,
                                                                 Body body, bool shared) {
  if (++conjunct_runs_ > kMaxConjunctRuns) return unsupported(kTooManyAlternatives);
  if (stack_nearly_exhausted()) return invalid(kTooDeepMessage);
  body.needs.clear();
  // Positive atoms bind their variables; everything else is written after them.
  for (const Lit& lit : lits) {
    if (lit.kind != Lit::Kind::Atom || !lit.positive) continue;
    TRY(std::string text, relation(lit.name, lit.args, body));
    body.positives.push_back(std::move(text));
  }
  static const std::vector<std::string> kNone;
  ConjunctOutcome out;
  for (const Lit& lit : lits) {
    switch (lit.kind) {
      case Lit::Kind::Atom:
        if (!lit.positive) TRY_VOID(negated_atom(lit, body));
        break;
      case Lit::Kind::Cmp:
        TRY_VOID(comparison(lit, body));
        break;
      case Lit::Kind::NotExists:
        TRY_VOID(not_exists(lit, lits, shared ? seeds : kNone, body, out.unbound));
        if (out.unbound) return out;
        break;
    }
  }
  close_bound(body);
  // Left unbound, a shared seed has the caller write the rule again with the
  // enclosing rule's literals.
  if (shared) {
    auto unbound = std::find_if(seeds.begin(), seeds.end(),
                                [&](const std::string& name) { return !body.bound.contains(name); });
    if (unbound != seeds.end()) {
      out.unbound = *unbound;
      return out;
    }
  }
  out.unbound = seed(lits, seeds, body);
  if (!out.unbound) out.unbound = seed(lits, body.needs, body);
  if (out.unbound) return out;
  out.null_forms = null_forms(body);
  out.texts = std::move(body.positives);
  for (std::string& filter : body.filters) out.texts.push_back(std::move(filter));
  return out;
}

std::optional<std::string> Emitter::seed(const Conjunct& lits, const std::vector<std::string>& names,
                                         Body& body) const {
  BoundClosure closure(body);
  for (const std::string& name : names)
    if (!body.bound.contains(name) && !seed_one(first_column(lits, name, domain_of), name, closure))
      return name;
  return std::nullopt;
}

std::optional<ColumnRef> Emitter::first_column(const Conjunct& lits, std::string_view name,
                                               ColumnFinder find) const {
  for (const Lit& lit : lits)
    if (std::optional<ColumnRef> found = find(lit, name, schema_)) return found;
  return std::nullopt;
}

bool Emitter::seed_one(const std::optional<ColumnRef>& column, const std::string& name,
                       BoundClosure& closure) const {
  if (!column) return false;
  closure.body().positives.push_back(column->predicate + "(" + column->column + ": " + name + ")");
  closure.bind(name);
  return true;
}

Result<Unit, TranslateError> Emitter::negated_atom(const Lit& lit, Body& body) {
  // The atom's own variables stay unbound: only the values it reads bind. The
  // atoms of those values join the variables the rule binds.
  Body inner;
  inner.bound = body.bound;
  inner.joined = std::move(body.joined);
  std::vector<std::string> texts;
  TRY(std::string text, relation(lit.name, lit.args, inner, &texts));
  for (std::string& positive : inner.positives) body.positives.push_back(std::move(positive));
  for (std::string& filter : inner.filters) body.filters.push_back(std::move(filter));
  for (auto& definition : inner.definitions) body.definitions.push_back(std::move(definition));
  for (const std::string& name : inner.bound)
    if (name.starts_with("s__")) body.bound.insert(name);
  body.joined = std::move(inner.joined);
  for (JoinedAtom& atom : inner.joined_atoms) body.joined_atoms.push_back(std::move(atom));
  for (const Expr& arg : lit.args) append_free_vars(arg, body.needs);
  body.filters.push_back("~" + text);
  std::vector<bool> literal;
  for (const Expr& arg : lit.args) literal.push_back(is_literal(arg));
  add_null_negation(lit.name, columns_of(lit.name), texts, literal, body);
  return Unit{};
}

Result<Unit, TranslateError> Emitter::comparison(const Lit& lit, Body& body) {
  if (!is_comparison(lit.op)) return invalid("'" + show(lit.left()) + "' is a value, not a formula");
  TRY(std::string left, term(lit.left(), body));
  TRY(std::string right, term(lit.right(), body));
  append_free_vars(lit.left(), body.needs);
  append_free_vars(lit.right(), body.needs);
  const bool tolerant = is_tolerant(lit.left()) || is_tolerant(lit.right());
  body.filters.push_back(comparison_text(lit.op, tolerant, left, right));
  if (!tolerant && lit.op == BinOp::Eq) {
    // An equality may give a variable no atom binds the other side's value,
    // a null included, where a comparison with a null holds of nothing.
    for (const Expr* side : {&lit.left(), &lit.right()})
      if (side->kind == Expr::Kind::Var && !body.bound.contains(side->text))
        body.filters.push_back("!IsNull(" + side->text + ")");
    if (lit.left().kind == Expr::Kind::Var)
      body.definitions.emplace_back(lit.left().text, free_vars(lit.right()));
    if (lit.right().kind == Expr::Kind::Var)
      body.definitions.emplace_back(lit.right().text, free_vars(lit.left()));
  }
  return Unit{};
}

Result<Unit, TranslateError> Emitter::not_exists(const Lit& lit, const Conjunct& enclosing,
                                                 const std::vector<std::string>& enclosing_shared, Body& body,
                                                 std::optional<std::string>& unbound) {
  const std::string aux = next_aux_name();
  std::vector<std::string> head_args;
  for (const std::string& var : lit.vars) head_args.push_back(head_argument(var));
  if (head_args.empty()) head_args.emplace_back("holds: 1");
  close_bound(body);
  TRY(Dnf conjuncts, dnf(lit.body()));
  for (const Conjunct& conjunct : conjuncts) {
    const Mark before = mark();
    TRY(ConjunctOutcome run, conjunct_seeded(conjunct, lit.vars, Body{}, true));
    if (run.unbound) {
      // The sub-formula's variables take their values from the enclosing
      // rule: write it again with that rule's literals, numbering afresh. A
      // shared variable that the enclosing rule binds only by a comparison
      // still to come, or else by seeding, takes its values from the column
      // that will bind it there; one that rule shares in turn is left to the
      // rule enclosing it.
      rewind(before);
      Body seeded;
      seeded.positives = body.positives;
      seeded.filters = body.filters;
      seeded.definitions = body.definitions;
      seeded.bound = body.bound;
      // Their joins take nulls in the forms for them as in the enclosing rule.
      seeded.joined = body.joined;
      seeded.joined_atoms = body.joined_atoms;
      {
        // The enclosing rule's literals come along with the variables they
        // read but that rule has yet to seed (as for z in z = (∑ t, R z t)):
        // each takes its values from the column that will seed it there.
        std::vector<std::string> wanted = lit.vars;
        wanted.insert(wanted.end(), body.needs.begin(), body.needs.end());
        BoundClosure closure(seeded);
        for (const std::string& var : wanted) {
          if (seeded.bound.contains(var) || contains(enclosing_shared, var)) continue;
          std::optional<ColumnRef> column = first_column(enclosing, var, comparison_binding);
          seed_one(column ? column : first_column(enclosing, var, domain_of), var, closure);
        }
      }
      TRY(ConjunctOutcome again, conjunct_seeded(conjunct, lit.vars, std::move(seeded), true));
      if (again.unbound) {
        unbound = std::move(again.unbound);
        return Unit{};
      }
      // The enclosing rule's values bind the sub-formula's atoms as a join
      // does, so a shared variable that is null is matched by the second form.
      TRY_VOID(add_rules(aux, head_args, again));
      continue;
    }
    TRY_VOID(add_rules(aux, head_args, run));
  }
  body.needs.insert(body.needs.end(), lit.vars.begin(), lit.vars.end());
  body.filters.push_back("~" + aux + "(" + join(head_args, ", ") + ")");
  add_null_negation(aux, lit.vars, lit.vars, std::vector<bool>(lit.vars.size(), false), body);
  return Unit{};
}

Result<Unit, TranslateError> Emitter::add_rules(const std::string& aux,
                                                const std::vector<std::string>& head_args,
                                                const ConjunctOutcome& outcome) {
  if (outcome.texts.empty()) return unsupported("a quantifier ranges over no predicate");
  TRY(std::string text, rule(aux, head_args, outcome.texts));
  rules_.push_back(std::move(text));
  for (const std::vector<std::string>& form : outcome.null_forms) {
    TRY(std::string null_text, rule(aux, head_args, form));
    rules_.push_back(std::move(null_text));
  }
  return Unit{};
}

void Emitter::add_null_negation(const std::string& name, const std::vector<std::string>& columns,
                                const std::vector<std::string>& texts, const std::vector<bool>& literal,
                                Body& body) {
  // The negation just written finds no row for an argument that is null, so
  // a statement holding of a row with a null (R a b → R a b) failed there.
  // This one looks for the rows holding the same nulls; only a row with a
  // null reads it, so the other rows keep the equality that engines join on.
  std::vector<std::string> pieces, read, matches;
  for (size_t i = 0; i < texts.size(); ++i) {
    if (literal[i]) {
      pieces.push_back(columns[i] + ": " + texts[i]);
      continue;
    }
    const std::string local = next_match_name();
    pieces.push_back(columns[i] + ": " + local);
    read.push_back(texts[i]);
    matches.push_back(same_value(local, texts[i]));
  }
  if (read.empty()) return;
  body.filters.push_back("~(" + name + "(" + join(pieces, ", ") + "), " + any_null(read) + ", " +
                         join(matches, ", ") + ")");
}

Result<std::string, TranslateError> Emitter::relation(const std::string& name, const std::vector<Expr>& args,
                                                      Body& body, std::vector<std::string>* texts) {
  const std::vector<std::string>& columns = columns_of(name);
  if (args.size() != columns.size())
    return invalid("'" + name + "' has " + std::to_string(columns.size()) + " column" +
                   plural(columns.size()) + " (" + listed_columns(name, columns) + ") but is applied to " +
                   std::to_string(args.size()) + " argument" + plural(args.size()));
  return atom(name, columns, args, nullptr, body, texts);
}

Result<std::string, TranslateError> Emitter::atom(const std::string& name,
                                                  const std::vector<std::string>& columns,
                                                  const std::vector<Expr>& args, const std::string* value,
                                                  Body& body, std::vector<std::string>* texts) {
  JoinedAtom joined{"", name, columns, {}, {}};
  bool joins_any = false;
  for (size_t i = 0; i < args.size(); ++i) {
    TRY(std::string text, term(args[i], body));
    const bool var = args[i].kind == Expr::Kind::Var;
    if (texts) texts->push_back(text);
    joined.joins.emplace_back();
    if (var && contains(body.matched, args[i].text)) {
      const std::string local = next_match_name();
      body.filters.push_back(same_value(local, text));
      text = local;
    } else if (texts == nullptr && joins(args[i], body)) {
      auto at = std::find(body.joined.begin(), body.joined.end(), text);
      if (at == body.joined.end()) at = body.joined.insert(at, text);
      joined.joins.back().emplace(static_cast<size_t>(at - body.joined.begin()), next_match_name());
      joins_any = true;
    } else if (var) {
      // Only a bare variable binds; x + 1 in a column reads it, no more.
      body.bound.insert(args[i].text);
    }
    joined.pieces.push_back(columns[i] + ": " + text);
  }
  if (value) {
    joined.pieces.push_back(columns.back() + ": " + *value);
    joined.joins.emplace_back();
    body.bound.insert(*value);
  }
  std::string written = name + "(" + join(joined.pieces, ", ") + ")";
  if (joins_any) {
    joined.written = written;
    body.joined_atoms.push_back(std::move(joined));
  }
  return written;
}

Result<std::string, TranslateError> Emitter::term(const Expr& e, Body& body) {
  if (stack_nearly_exhausted()) return invalid(kTooDeepMessage);
  switch (e.kind) {
    case Expr::Kind::Var:
    case Expr::Kind::Number:
      return e.text;
    case Expr::Kind::Str:
      if (e.text.find_first_of("\"\n") != std::string::npos)
        return unsupported("string literals cannot hold quotes or line breaks");
      return "\"" + e.text + "\"";
    case Expr::Kind::Neg: {
      TRY(std::string operand, term(e.operand(), body));
      return "(-" + operand + ")";
    }
    case Expr::Kind::Binary:
      if (is_arithmetic(e.op)) {
        TRY(std::string left, term(e.left(), body));
        TRY(std::string right, term(e.right(), body));
        return "(" + left + " " + std::string(ascii_spelling(e.op)) + " " + right + ")";
      }
      break;
    case Expr::Kind::App:
      return predicate_value(e, body);
    case Expr::Kind::Sum:
      return sum(e, body);
    default:
      break;
  }
  return invalid("'" + show(e) + "' is a formula, not a value");
}

Result<std::string, TranslateError> Emitter::predicate_value(const Expr& e, Body& body) {
  const std::vector<std::string>& columns = columns_of(e.name());
  if (columns.size() != e.args().size() + 1) {
    const size_t expected = columns.empty() ? 0 : columns.size() - 1;
    const std::vector<std::string> but_last(columns.begin(),
                                            columns.begin() + static_cast<ptrdiff_t>(expected));
    return invalid("'" + e.name() + "' is used as a value: it must be applied to " +
                   std::to_string(expected) + " argument" + plural(expected) +
                   " (its columns but the last: " + join(but_last, ", ") + "), not " +
                   std::to_string(e.args().size()));
  }
  const std::string value = next_value_name();
  TRY(std::string text, atom(e.name(), columns, e.args(), &value, body));
  body.positives.push_back(std::move(text));
  return value;
}

Result<std::string, TranslateError> Emitter::sum(const Expr& e, Body& body) {
  std::vector<std::string> outer;
  for (std::string& v : free_vars(e.body()))
    if (!contains(e.vars, v)) outer.push_back(std::move(v));
  // The rows summed for a row of the enclosing rule are those of its group,
  // also when the group's value is null.
  Body inner;
  inner.matched = outer;
  TRY(std::string value, term(e.body(), inner));
  if (inner.positives.empty()) return unsupported("a sum ranges over no predicate");
  for (const std::string& v : e.vars)
    if (!inner.bound.contains(v))
      return unsupported("variable '" + std::string(display(v)) + "' of a sum is not bound by a predicate");
  // The rows whose joined values are null are summed by the forms for them.
  const std::vector<std::vector<std::string>> forms = null_forms(inner);
  std::vector<std::string> texts = std::move(inner.positives);
  for (std::string& filter : inner.filters) texts.push_back(std::move(filter));
  // A sum over no row is 0, also for values of the outer variables that no
  // row has: the sum is a combine read for each row of the enclosing rule,
  // which gives the outer variables their values.
  const std::string s = next_value_name();
  std::string total = "Coalesce(Sum{" + value + " :- " + join(texts, ", ") + "}, 0)";
  for (const std::vector<std::string>& form : forms)
    total += " + Coalesce(Sum{" + value + " :- " + join(form, ", ") + "}, 0)";
  body.filters.push_back(s + " == " + total);
  body.needs.insert(body.needs.end(), outer.begin(), outer.end());
  body.definitions.emplace_back(s, std::move(outer));
  return s;
}

}  // namespace mirtova::assertion
