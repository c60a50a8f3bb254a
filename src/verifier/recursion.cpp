// The recursion checks and the texts of their findings. Recursion is read off
// the compiler's dependency graph of the rules; bodies nest as deep as the
// program is written, so the walks keep their own stacks.
#include "verifier/recursion.h"

#include <algorithm>
#include <map>
#include <set>
#include <string_view>
#include <unordered_set>

#include "common/name_sets.h"
#include "compiler/functors/dependency_graph.h"
#include "compiler/functors/functors.h"
#include "parser/tree_access.h"
#include "verifier/rule_origins.h"

namespace mirtova::verifier {

namespace {

// One argument of a head or a call, as far as a loop test compares it: a
// variable by its name, anything else as the whole expression, source text
// included.
struct Argument {
  const Json* expression;
  bool is_variable;

  friend bool operator==(const Argument& a, const Argument& b) {
    if (a.is_variable != b.is_variable) return false;
    if (a.is_variable)
      return a.expression->at("variable").at("var_name").as_var_name() ==
             b.expression->at("variable").at("var_name").as_var_name();
    return *a.expression == *b.expression;
  }
};

// The arguments of a call in field order; aggregated fields are none.
std::vector<Argument> arguments_of(const Json& call) {
  std::vector<Argument> arguments;
  for (const Json& field : call_fields(call)) {
    const Json* value = field.get("value");
    const Json* expression = value != nullptr ? value->get("expression") : nullptr;
    if (expression != nullptr) arguments.push_back(Argument{expression, expression->has("variable")});
  }
  return arguments;
}

// Visits each conjunct of the body and of its disjuncts, depth first without
// recursion; `visit` may queue more propositions in `pending`, and ends the walk
// by answering true, which is then the answer.
template <class Visit>
bool some_conjunct(const Json& body, Visit visit) {
  std::vector<const Json*> pending{&body};
  while (!pending.empty()) {
    const Json::ArrayType* conjuncts = proposition_conjuncts(*pending.back());
    pending.pop_back();
    if (conjuncts == nullptr) continue;
    for (const Json& conjunct : *conjuncts) {
      if (const Json* disjunction = conjunct.get("disjunction")) {
        if (const Json* disjuncts = disjunction->get("disjunct"))
          for (const Json& disjunct : disjuncts->as_array()) pending.push_back(&disjunct);
      } else if (visit(conjunct, pending)) {
        return true;
      }
    }
  }
  return false;
}

// The predicates a body calls: its conjuncts, through disjunctions, and the
// right side of unifications (a call's name, a combine's body). The arguments
// of calls are not searched, so a negation adds only "IsNull".
HashedNames body_predicates(const Json& body) {
  HashedNames names;
  some_conjunct(body, [&names](const Json& conjunct, std::vector<const Json*>& pending) {
    if (const Json* call = conjunct.get("predicate")) {
      names.emplace(call->at("predicate_name").as_str());
    } else if (const Json* unification = conjunct.get("unification")) {
      const Json* right = unification->get("right_hand_side");
      if (right == nullptr) return false;
      if (const Json* call = right->get("call")) names.emplace(call->at("predicate_name").as_str());
      if (const Json* combine = right->get("combine"))
        if (const Json* combined = combine->get("body")) pending.push_back(combined);
    }
    return false;
  });
  return names;
}

// Whether the body, or one of its disjuncts, calls `name` with exactly these arguments.
bool has_identical_self_call(const Json& body, std::string_view name, const std::vector<Argument>& head) {
  return some_conjunct(body, [&](const Json& conjunct, std::vector<const Json*>&) {
    const Json* call = conjunct.get("predicate");
    return call != nullptr && call->at("predicate_name").as_str() == name && arguments_of(*call) == head;
  });
}

// The predicate the first argument of an @Recursive statement names.
std::optional<std::string> annotated_predicate(const Json& statement) {
  const Json::ArrayType& fields = call_fields(statement.at("head"));
  if (fields.empty()) return std::nullopt;
  const Json* value = fields.front().get("value");
  const Json* e = value != nullptr ? value->get("expression") : nullptr;
  if (e == nullptr) return std::nullopt;
  if (const Json* literal = e->get("literal")) {
    if (const Json* predicate = literal->get("the_predicate"))
      return std::string(predicate->at("predicate_name").as_str());
    return std::nullopt;
  }
  if (const Json* variable = e->get("variable")) return variable->at("var_name").as_var_name();
  if (const Json* call = e->get("call")) return std::string(call->at("predicate_name").as_str());
  return std::nullopt;
}

}  // namespace

std::string RecursionError::text() const {
  switch (kind) {
    case RecursionKind::NoBaseCase:
      return "Recursive predicate '" + predicate + "' has no base case";
    case RecursionKind::TrivialInfiniteLoop:
      return "Trivial infinite loop: '" + predicate + "' calls itself with same arguments";
    case RecursionKind::MissingRecursiveAnnotation:
      return "Recursive predicate '" + predicate + "' missing @Recursive annotation";
  }
  return predicate;
}

std::vector<RecursionError> check_recursion(const RuleList& plain) {
  std::vector<RecursionError> errors;
  std::map<std::string_view, std::vector<const Json*>, std::less<>> rules_of;
  for (const Json* statement : plain) {
    const std::string_view name = head_name(*statement);
    if (!is_annotation_name(name)) rules_of[name].push_back(statement);
  }

  const DependencyGraph graph = build_dep_graph(plain);
  for (const Component& component : strongly_connected_components(graph)) {
    if (!is_recursive(graph, component)) continue;
    HashedNames members;
    for (size_t node : component) members.insert(graph.name(node));
    auto is_base_case = [&](const Json* statement) {
      const Json* body = statement->get("body");
      if (body == nullptr) return true;
      const HashedNames called = body_predicates(*body);
      return std::none_of(called.begin(), called.end(),
                          [&](const std::string& name) { return members.contains(name); });
    };
    bool has_base_case = false;
    for (size_t node : component) {
      auto rules = rules_of.find(graph.name(node));
      if (rules != rules_of.end() && std::any_of(rules->second.begin(), rules->second.end(), is_base_case))
        has_base_case = true;
    }
    if (has_base_case) continue;
    for (size_t node : component)
      if (rules_of.contains(graph.name(node)))
        errors.push_back(RecursionError{RecursionKind::NoBaseCase, graph.name(node)});
  }

  // The alternatives of one written rule share its head and, where the loop
  // is, its self call: the rule is told once.
  OncePerRule once;
  for (const Json* statement : plain) {
    const std::string name(head_name(*statement));
    const Json* body = statement->get("body");
    if (is_annotation_name(name) || body == nullptr) continue;
    once.at(*statement);
    const std::vector<Argument> head = arguments_of(statement->at("head"));
    if (head.empty()) continue;
    if (has_identical_self_call(*body, name, head) && once.first([&] { return name; }))
      errors.push_back(RecursionError{RecursionKind::TrivialInfiniteLoop, name});
  }
  return errors;
}

std::vector<RecursionError> check_unbounded_recursion(const RuleList& full, const RuleList& plain) {
  HashedNames annotated;
  for (const Json* statement : full)
    if (head_name(*statement) == "@Recursive")
      if (std::optional<std::string> name = annotated_predicate(*statement))
        annotated.insert(std::move(*name));

  HashedNames defined;
  for (const Json* statement : plain) {
    const std::string name(head_name(*statement));
    if (!is_annotation_name(name)) defined.insert(name);
  }

  // Reported in the order the predicates first appear in the rules.
  const DependencyGraph graph = build_dep_graph(plain);
  std::vector<size_t> recursive;
  for (const Component& component : strongly_connected_components(graph)) {
    if (!is_recursive(graph, component)) continue;
    for (size_t node : component)
      if (defined.contains(graph.name(node))) recursive.push_back(node);
  }
  std::sort(recursive.begin(), recursive.end());

  std::vector<RecursionError> errors;
  HashedNames reported;
  for (size_t node : recursive) {
    std::string_view name = graph.name(node);
    const std::string_view base = aggregated_predicate(name);
    if (annotated.contains(name) || annotated.contains(base)) continue;
    if (!reported.insert(std::string(base)).second) continue;
    errors.push_back(RecursionError{RecursionKind::MissingRecursiveAnnotation, std::string(base)});
  }
  return errors;
}

}  // namespace mirtova::verifier
