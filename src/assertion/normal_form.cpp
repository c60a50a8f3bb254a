#include "assertion/normal_form.h"

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

// Builds the form while counting what it holds, so that an expansion past the
// bound stops before it is built.
class NnfBuilder {
 public:
  Result<Nnf, TranslateError> build(const Expr& e, bool negate) {
    using K = Expr::Kind;
    switch (e.kind) {
      case K::Forall:
        if (!negate) return not_exists(e, true);
        return build(e.body(), true);  // the quantifier is dropped
      case K::Exists:
        if (negate) return not_exists(e, false);
        return build(e.body(), false);
      case K::Not:
        return build(e.operand(), !negate);
      case K::App: {
        size_t size = 1;
        for (const Expr& arg : e.args()) size += node_count(arg);
        TRY_VOID(spend(size));
        return Nnf::literal(Lit::atom(e.name(), e.args(), !negate));
      }
      case K::Binary:
        if (is_comparison(e.op)) {
          TRY_VOID(spend(1 + node_count(e.left()) + node_count(e.right())));
          return Nnf::literal(Lit::cmp(e.left(), negate ? negated_comparison(e.op) : e.op, e.right()));
        }
        if (is_connective(e.op)) return connective(e.op, e.left(), e.right(), negate);
        break;
      default:
        break;
    }
    // A value where a formula is required; the rule writer reports it.
    TRY_VOID(spend(1 + 2 * node_count(e)));
    return Nnf::literal(Lit::cmp(e, BinOp::Add, e));
  }

 private:
  Result<Unit, TranslateError> spend(size_t size) {
    used_ += size;
    if (used_ > kMaxNormalFormSize) return too_many();
    return Unit{};
  }

  // A kept quantifier: its body under the variables it shares with the rest.
  Result<Nnf, TranslateError> not_exists(const Expr& e, bool negate_body) {
    std::vector<std::string> shared = free_vars(e);
    TRY_VOID(spend(1 + shared.size()));
    TRY(Nnf body, build(e.body(), negate_body));
    return Nnf::literal(Lit::not_exists(std::move(shared), std::move(body)));
  }

  Result<Nnf, TranslateError> both(bool conjunction, const Expr& a, bool negate_a, const Expr& b, bool negate_b) {
    TRY_VOID(spend(1));
    TRY(Nnf first, build(a, negate_a));
    TRY(Nnf second, build(b, negate_b));
    std::vector<Nnf> parts;
    parts.reserve(2);
    parts.push_back(std::move(first));
    parts.push_back(std::move(second));
    return conjunction ? Nnf::conjunction(std::move(parts)) : Nnf::disjunction(std::move(parts));
  }

  Result<Nnf, TranslateError> connective(BinOp op, const Expr& a, const Expr& b, bool negate) {
    switch (op) {
      case BinOp::Iff: {
        // (a → b) ∧ (b → a), built without making the implications as trees.
        TRY_VOID(spend(1));
        TRY(Nnf forward, implication(a, b, negate));
        TRY(Nnf backward, implication(b, a, negate));
        std::vector<Nnf> parts;
        parts.reserve(2);
        parts.push_back(std::move(forward));
        parts.push_back(std::move(backward));
        return negate ? Nnf::disjunction(std::move(parts)) : Nnf::conjunction(std::move(parts));
      }
      case BinOp::Implies: return implication(a, b, negate);
      case BinOp::Or: return both(negate, a, negate, b, negate);
      default: return both(!negate, a, negate, b, negate);  // And
    }
  }

  // a → b is ¬a ∨ b; its negation a ∧ ¬b.
  Result<Nnf, TranslateError> implication(const Expr& a, const Expr& b, bool negate) {
    return both(negate, a, !negate, b, negate);
  }

  size_t used_ = 0;
};

// Conjuncts with their sizes, so that a product is measured before it is built.
struct Terms {
  Dnf conjuncts;
  std::vector<size_t> sizes;
  size_t total = 0;
};

Result<Terms, TranslateError> terms_of(const Nnf& form) {
  if (form.kind == Nnf::Kind::Lit) {
    const size_t size = literal_size(form.lit);
    if (size > kMaxNormalFormSize) return too_many();
    return Terms{{{form.lit}}, {size}, size};
  }
  if (form.kind == Nnf::Kind::Or) {
    Terms out;
    for (const Nnf& part : form.parts) {
      TRY(Terms terms, terms_of(part));
      // Every form has at least one conjunct, so a list past the bound only
      // grows on the way up: it fails here as it would at the end.
      if (out.conjuncts.size() + terms.conjuncts.size() > kMaxConjuncts ||
          out.total + terms.total > kMaxNormalFormSize)
        return too_many();
      for (size_t i = 0; i < terms.conjuncts.size(); ++i) {
        out.conjuncts.push_back(std::move(terms.conjuncts[i]));
        out.sizes.push_back(terms.sizes[i]);
      }
      out.total += terms.total;
    }
    return out;
  }
  Terms out{{Conjunct{}}, {0}, 0};
  for (const Nnf& part : form.parts) {
    TRY(Terms terms, terms_of(part));
    const size_t count = out.conjuncts.size() * terms.conjuncts.size();
    if (count > kMaxConjuncts) return too_many();
    const size_t total = terms.conjuncts.size() * out.total + out.conjuncts.size() * terms.total;
    if (total > kMaxNormalFormSize) return too_many();
    Terms product;
    product.conjuncts.reserve(count);
    product.sizes.reserve(count);
    product.total = total;
    for (size_t i = 0; i < out.conjuncts.size(); ++i) {
      for (size_t j = 0; j < terms.conjuncts.size(); ++j) {
        Conjunct joined = out.conjuncts[i];
        joined.insert(joined.end(), terms.conjuncts[j].begin(), terms.conjuncts[j].end());
        product.conjuncts.push_back(std::move(joined));
        product.sizes.push_back(out.sizes[i] + terms.sizes[j]);
      }
    }
    out = std::move(product);
  }
  return out;
}

}  // namespace

size_t literal_size(const Lit& lit) {
  size_t size = 1;
  for (const Expr& arg : lit.args) size += node_count(arg);
  if (lit.kind == Lit::Kind::NotExists) size += lit.vars.size() + form_size(lit.body());
  return size;
}

Result<Nnf, TranslateError> nnf(const Expr& e, bool negate) { return NnfBuilder().build(e, negate); }

Result<Dnf, TranslateError> dnf(const Nnf& form) {
  TRY(Terms terms, terms_of(form));
  return std::move(terms.conjuncts);
}

}  // namespace mirtova::assertion
