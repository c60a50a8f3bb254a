#include "assertion/normal_form.h"

#include "assertion/parser.h"
#include "common/stack_room.h"

namespace mirtova::assertion {

Lit Lit::atom(std::string name, std::vector<Expr> args, bool positive) {
  Lit lit;
  lit.kind = Kind::Atom;
  lit.name = std::move(name);
  lit.args = std::move(args);
  lit.positive = positive;
  return lit;
}

Lit Lit::cmp(Expr left, BinOp op, Expr right) {
  Lit lit;
  lit.kind = Kind::Cmp;
  lit.args.reserve(2);
  lit.args.push_back(std::move(left));
  lit.args.push_back(std::move(right));
  lit.op = op;
  return lit;
}

namespace {

size_t form_size(const Nnf& form) {
  if (form.kind == Nnf::Kind::Lit) return literal_size(form.lit);
  size_t size = 1;
  for (const Nnf& part : form.parts) size += form_size(part);
  return size;
}

TranslateError too_many() { return TranslateError::unsupported(kTooManyAlternatives); }
TranslateError too_deep() { return TranslateError::invalid(kTooDeepMessage); }

// Builds the form while counting what it holds, so that an expansion past the
// bound stops before it is built. Each step answers whether it stayed within
// the bound (and the stack) and writes its form into place: the recursion
// through deep statements keeps small frames.
class NnfBuilder {
 public:
  bool build(const Expr& e, bool negate, Nnf& out) {
    using K = Expr::Kind;
    if (stack_nearly_exhausted()) {
      out_of_stack_ = true;
      return false;
    }
    switch (e.kind) {
      case K::Forall:
        return negate ? build(e.body(), true, out) : not_exists(e, true, out);  // dropped when negated
      case K::Exists:
        return negate ? not_exists(e, false, out) : build(e.body(), false, out);
      case K::Not:
        return build(e.operand(), !negate, out);
      case K::App:
        return atom(e, negate, out);
      case K::Binary:
        if (is_comparison(e.op)) return comparison(e, negate, out);
        if (is_connective(e.op)) return connective(e.op, e.left(), e.right(), negate, out);
        return value(e, out);
      default:
        return value(e, out);
    }
  }

  // Whether the last build stopped for want of stack rather than past the bound.
  bool out_of_stack() const { return out_of_stack_; }

 private:
  bool spend(size_t size) {
    used_ += size;
    return used_ <= kMaxNormalFormSize;
  }

  // The leaves stay out of line, keeping their temporaries out of the
  // recursion's frames.
  [[gnu::noinline]] bool atom(const Expr& e, bool negate, Nnf& out) {
    size_t size = 1;
    for (const Expr& arg : e.args()) size += node_count(arg);
    if (!spend(size)) return false;
    out = Nnf::literal(Lit::atom(e.name(), e.args(), !negate));
    return true;
  }

  [[gnu::noinline]] bool comparison(const Expr& e, bool negate, Nnf& out) {
    if (!spend(1 + node_count(e.left()) + node_count(e.right()))) return false;
    out = Nnf::literal(Lit::cmp(e.left(), negate ? negated_comparison(e.op) : e.op, e.right()));
    return true;
  }

  // A value where a formula is required; the rule writer reports it.
  [[gnu::noinline]] bool value(const Expr& e, Nnf& out) {
    if (!spend(1 + 2 * node_count(e))) return false;
    out = Nnf::literal(Lit::cmp(e, BinOp::Add, e));
    return true;
  }

  // A kept quantifier: its body under the variables it shares with the rest.
  bool not_exists(const Expr& e, bool negate_body, Nnf& out) {
    std::vector<std::string> shared = free_vars(e);
    if (!spend(1 + shared.size())) return false;
    out = Nnf::literal(Lit::not_exists(std::move(shared), Nnf{}));
    return build(e.body(), negate_body, out.lit.forms[0]);
  }

  bool both(bool conjunction, const Expr& a, bool negate_a, const Expr& b, bool negate_b, Nnf& out) {
    if (!spend(1)) return false;
    out = conjunction ? Nnf::conjunction(std::vector<Nnf>(2)) : Nnf::disjunction(std::vector<Nnf>(2));
    return build(a, negate_a, out.parts[0]) && build(b, negate_b, out.parts[1]);
  }

  bool connective(BinOp op, const Expr& a, const Expr& b, bool negate, Nnf& out) {
    switch (op) {
      case BinOp::Iff:
        return equivalence(a, b, negate, out);
      case BinOp::Implies:
        return implication(a, b, negate, out);
      case BinOp::Or:
        return both(negate, a, negate, b, negate, out);
      default:
        return both(!negate, a, negate, b, negate, out);  // And
    }
  }

  // (a → b) ∧ (b → a), built without making the implications as trees.
  bool equivalence(const Expr& a, const Expr& b, bool negate, Nnf& out) {
    if (!spend(1)) return false;
    out = negate ? Nnf::disjunction(std::vector<Nnf>(2)) : Nnf::conjunction(std::vector<Nnf>(2));
    return implication(a, b, negate, out.parts[0]) && implication(b, a, negate, out.parts[1]);
  }

  // a → b is ¬a ∨ b; its negation a ∧ ¬b.
  bool implication(const Expr& a, const Expr& b, bool negate, Nnf& out) {
    return both(negate, a, !negate, b, negate, out);
  }

  size_t used_ = 0;
  bool out_of_stack_ = false;
};

// Conjuncts with their sizes, so that a product is measured before it is built.
struct Terms {
  Dnf conjuncts;
  std::vector<size_t> sizes;
  size_t total = 0;
};

// Appends the conjuncts of `part` to `out`. Every form has at least one
// conjunct, so a list past the bound only grows on the way up: it fails here
// as it would at the end.
[[gnu::noinline]] bool append(Terms& out, Terms& part) {
  if (out.conjuncts.size() + part.conjuncts.size() > kMaxConjuncts ||
      out.total + part.total > kMaxNormalFormSize)
    return false;
  for (size_t i = 0; i < part.conjuncts.size(); ++i) {
    out.conjuncts.push_back(std::move(part.conjuncts[i]));
    out.sizes.push_back(part.sizes[i]);
  }
  out.total += part.total;
  return true;
}

// Replaces `out` by every conjunct of `out` extended by every conjunct of
// `part`, the literals of `out` first.
[[gnu::noinline]] bool multiply(Terms& out, const Terms& part) {
  const size_t count = out.conjuncts.size() * part.conjuncts.size();
  if (count > kMaxConjuncts) return false;
  const size_t total = part.conjuncts.size() * out.total + out.conjuncts.size() * part.total;
  if (total > kMaxNormalFormSize) return false;
  Terms product;
  product.conjuncts.reserve(count);
  product.sizes.reserve(count);
  product.total = total;
  for (size_t i = 0; i < out.conjuncts.size(); ++i) {
    for (size_t j = 0; j < part.conjuncts.size(); ++j) {
      Conjunct joined = out.conjuncts[i];
      joined.insert(joined.end(), part.conjuncts[j].begin(), part.conjuncts[j].end());
      product.conjuncts.push_back(std::move(joined));
      product.sizes.push_back(out.sizes[i] + part.sizes[j]);
    }
  }
  out = std::move(product);
  return true;
}

// One conjunct of one literal.
[[gnu::noinline]] bool single(const Lit& lit, Terms& out) {
  const size_t size = literal_size(lit);
  if (size > kMaxNormalFormSize) return false;
  out.conjuncts.push_back({lit});
  out.sizes.push_back(size);
  out.total = size;
  return true;
}

// The conjuncts of `form` into `out` (empty on entry); false past the bounds,
// or with `out_of_stack` set where the stack left would not hold the form's
// depth. The helpers above stay out of line to keep their locals out of this
// recursion's frames.
bool terms_of(const Nnf& form, Terms& out, bool& out_of_stack) {
  if (stack_nearly_exhausted()) {
    out_of_stack = true;
    return false;
  }
  if (form.kind == Nnf::Kind::Lit) return single(form.lit, out);
  const bool conjunction = form.kind == Nnf::Kind::And;
  if (conjunction) {
    out.conjuncts.emplace_back();
    out.sizes.push_back(0);
  }
  for (const Nnf& part : form.parts) {
    Terms terms;
    if (!terms_of(part, terms, out_of_stack) || !(conjunction ? multiply(out, terms) : append(out, terms)))
      return false;
  }
  return true;
}

}  // namespace

size_t literal_size(const Lit& lit) {
  size_t size = 1;
  for (const Expr& arg : lit.args) size += node_count(arg);
  if (lit.kind == Lit::Kind::NotExists) size += lit.vars.size() + form_size(lit.body());
  return size;
}

Result<Nnf, TranslateError> nnf(const Expr& e, bool negate) {
  Nnf out;
  NnfBuilder builder;
  if (!builder.build(e, negate, out)) return builder.out_of_stack() ? too_deep() : too_many();
  return out;
}

Result<Dnf, TranslateError> dnf(const Nnf& form) {
  Terms terms;
  bool out_of_stack = false;
  if (!terms_of(form, terms, out_of_stack)) return out_of_stack ? too_deep() : too_many();
  return std::move(terms.conjuncts);
}

}  // namespace mirtova::assertion
