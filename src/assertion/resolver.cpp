#include "assertion/resolver.h"

#include "assertion/parser.h"
#include "assertion/variable_names.h"
#include "common/stack_room.h"
#include "parser/unicode_tables.h"
#include "parser/utf8.h"

namespace mirtova::assertion {

namespace {

// An ASCII capital or a character with the Unicode Uppercase property.
bool starts_upper_case(std::string_view name) {
  const std::optional<DecodedChar> first = decode_utf8(name, 0);
  return first && is_uppercase(first->code_point);
}

// A user's name in the shape of a made-up one moves out of the way.
std::string clear_of_generated(std::string name) { return is_generated_shape(name) ? "v_" + name : name; }

}  // namespace

std::vector<std::string> collect_missing(const Expr& statement, const Schema& schema) {
  return unbound_names(statement, [&schema](const Expr& node) {
    return node.kind == Expr::Kind::App && starts_upper_case(node.text) && !schema.contains(node.text);
  });
}

std::string Resolver::user_variable(std::string_view name) {
  if (auto given = user_names_.find(name); given != user_names_.end()) return given->second;
  const std::string base = clear_of_generated(program_variable_name(name));
  std::string candidate = base;
  for (size_t k = 2; taken_.contains(candidate); ++k) {
    std::string numbered = base;
    numbered += '_';
    numbered += std::to_string(k);
    candidate = clear_of_generated(std::move(numbered));
  }
  taken_.insert(candidate);
  user_names_.emplace(std::string(name), candidate);
  return candidate;
}

std::string Resolver::add_outer(std::string_view name) {
  std::string program = user_variable(name);
  push(std::string(name), program);
  return program;
}

const std::string* Resolver::lookup(std::string_view name) const {
  auto found = scope_.find(name);
  return found == scope_.end() ? nullptr : &found->second.back();
}

void Resolver::push(const std::string& name, std::string program) {
  scope_[name].push_back(std::move(program));
}

void Resolver::pop(const std::string& name) {
  auto found = scope_.find(name);
  found->second.pop_back();
  if (found->second.empty()) scope_.erase(found);
}

Result<Resolver::Bound, TranslateError> Resolver::bind(const std::vector<std::string>& vars,
                                                       const Expr& body) {
  Bound bound;
  if (!bind_into(vars, body, bound.names, bound.body)) return failure_;
  return bound;
}

Result<Expr, TranslateError> Resolver::resolve(const Expr& e) {
  Expr out;
  if (!walk(e, out)) return failure_;
  return out;
}

bool Resolver::fail(std::string message) {
  failure_ = TranslateError::invalid(std::move(message));
  return false;
}

bool Resolver::bind_into(const std::vector<std::string>& vars, const Expr& body,
                         std::vector<std::string>& names, Expr& out) {
  for (const std::string& var : vars) {
    ++counter_;
    std::string name = "q";
    name += std::to_string(counter_);
    name += "__";
    name += program_variable_name(var);
    names.push_back(std::move(name));
    push(var, names.back());
  }
  const bool ok = walk(body, out);
  for (auto var = vars.rbegin(); var != vars.rend(); ++var) pop(*var);
  return ok;
}

bool Resolver::walk(const Expr& e, Expr& out) {
  using K = Expr::Kind;
  // The parse bounded the depth for the stack it ran on; a tree made
  // otherwise, or walked from deeper, is refused rather than overflowing.
  if (stack_nearly_exhausted()) return fail(kTooDeepMessage);
  switch (e.kind) {
    case K::Forall:
    case K::Exists:
    case K::Sum:
      out.kind = e.kind;
      out.children.resize(1);
      return bind_into(e.vars, e.body(), out.vars, out.children[0]);
    case K::Not:
    case K::Neg:
    case K::Binary:
      out.kind = e.kind;
      out.op = e.op;
      out.children.resize(e.children.size());
      // Left before right: the first error in walk order is the one reported.
      for (size_t i = 0; i < e.children.size(); ++i)
        if (!walk(e.children[i], out.children[i])) return false;
      return true;
    case K::App:
      return application(e, out);
    default:  // Var, Number, Str
      out = e;
      return true;
  }
}

bool Resolver::application(const Expr& e, Expr& out) {
  if (const std::string* program = lookup(e.text)) {
    // A bound name is a variable whatever its case.
    if (!e.children.empty()) return fail("'" + e.text + "' is a variable and cannot be applied");
    out = Expr::var(*program);
    return true;
  }
  if (starts_upper_case(e.text)) {
    out = Expr::app(e.text);
    out.children.resize(e.children.size());
    for (size_t i = 0; i < e.children.size(); ++i)
      if (!walk(e.children[i], out.children[i])) return false;
    return true;
  }
  if (!e.children.empty())
    return fail(
        "'" + e.text +
        "' is not a predicate: a raw table has no declared columns, wrap it in a predicate to state an "
        "assertion about it");
  std::string program = user_variable(e.text);
  if (free_seen_.insert(program).second) free_.push_back(program);
  out = Expr::var(std::move(program));
  return true;
}

}  // namespace mirtova::assertion
