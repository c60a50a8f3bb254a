// The variable sets of a rule. Expressions, propositions and combines nest as
// deeply as the program is written, so every walk keeps a list of what is left
// to visit instead of calling itself.
#include "verifier/vars.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/rule_translate/names.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"

namespace mirtova::verifier {

namespace {

constexpr std::string_view kAnonymous = "_";

// The calls whose arguments are aggregated values rather than bound ones.
bool is_aggregating(std::string_view name) {
  static constexpr std::string_view kNames[] = {"Count", "Sum",  "Min",   "Max",
                                                "Avg",   "List", "Array", "ArrayConcat"};
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

const Json::ArrayType* record_entries(const Json* record) {
  const Json* entries = record != nullptr ? record->get("field_value") : nullptr;
  return entries != nullptr && entries->is_array() ? &entries->as_array() : nullptr;
}

// The expression of a field whose value is not an aggregation.
const Json* entry_expression(const Json& entry) {
  const Json* value = entry.get("value");
  return value != nullptr ? value->get("expression") : nullptr;
}

bool is_value_field(const Json& entry) {
  const Json* field = entry.get("field");
  return field != nullptr && field->is_str() && field->as_str() == "quoril_value";
}

std::string_view predicate_name_of(const Json& call) { return call.at("predicate_name").as_str(); }

void add_variable(const Json& variable, VarSet& out) {
  std::string name = variable.at("var_name").as_var_name();
  if (name != kAnonymous) out.insert(std::move(name));
}

// What a node is read as.
enum class Role : uint8_t {
  Expression,       // every variable, into combines and implications
  Record,           // the expressions of a record's fields, aggregated fields left out
  Conjunct,         // every variable of one conjunct
  PlainExpression,  // aggregations, aggregating calls, combines and implications left out
  PlainRecord,      // the fields of a record read as plain expressions
};

struct Pending {
  const Json* node;
  Role role;
};

// Adds the variables of everything pending to `out`. The sets are unions, so
// the order of visits does not matter. Without combines, an expression holding
// a combine counts as a null literal, as if the combines had been cut out.
void collect(std::vector<Pending> pending, VarSet& out, bool without_combines = false) {
  auto push = [&](const Json* node, Role role) {
    if (node != nullptr && node->is_object()) pending.push_back(Pending{node, role});
  };
  auto push_record = [&](const Json* record, Role role) {
    if (const Json::ArrayType* entries = record_entries(record))
      for (const Json& entry : *entries) push(entry_expression(entry), role);
  };
  auto push_conjuncts = [&](const Json* proposition) {
    if (const Json::ArrayType* conjuncts = proposition ? proposition_conjuncts(*proposition) : nullptr)
      for (const Json& conjunct : *conjuncts) push(&conjunct, Role::Conjunct);
  };
  while (!pending.empty()) {
    const auto [node, role] = pending.back();
    pending.pop_back();
    switch (role) {
      case Role::Record:
        push_record(node, Role::Expression);
        break;
      case Role::PlainRecord:
        push_record(node, Role::PlainExpression);
        break;
      case Role::Expression: {
        if (without_combines && node->has("combine")) break;
        if (const Json* variable = node->get("variable")) {
          add_variable(*variable, out);
        } else if (node->has("literal")) {
          // The elements of a list literal bind nothing and are tested by nothing.
        } else if (const Json* call = node->get("call")) {
          push(call->get("record"), Role::Record);
        } else if (const Json* aggregation = node->get("aggregation")) {
          push(aggregation->get("expression"), Role::Expression);
        } else if (const Json* combine = node->get("combine")) {
          const Json* head = combine->get("head");
          push(head != nullptr ? head->get("record") : nullptr, Role::Record);
          push_conjuncts(combine->get("body"));
        } else if (const Json* implication = node->get("implication")) {
          if (const Json* branches = implication->get("if_then");
              branches != nullptr && branches->is_array()) {
            for (const Json& branch : branches->as_array()) {
              push(branch.get("condition"), Role::Expression);
              push(branch.get("consequence"), Role::Expression);
            }
          }
          push(implication->get("otherwise"), Role::Expression);
        } else if (const Json* record = node->get("record")) {
          push(record, Role::Record);
        }
        break;
      }
      case Role::PlainExpression: {
        if (const Json* variable = node->get("variable")) {
          add_variable(*variable, out);
        } else if (node->has("literal")) {
        } else if (const Json* call = node->get("call")) {
          if (!is_aggregating(predicate_name_of(*call))) push(call->get("record"), Role::PlainRecord);
        } else if (node->has("aggregation")) {
        } else if (const Json* record = node->get("record")) {
          push(record, Role::PlainRecord);
        }
        break;
      }
      case Role::Conjunct: {
        if (const Json* predicate = node->get("predicate")) {
          push(predicate->get("record"), Role::Record);
        } else if (const Json* unification = node->get("unification")) {
          push(unification->get("left_hand_side"), Role::Expression);
          push(unification->get("right_hand_side"), Role::Expression);
        } else if (const Json* inclusion = node->get("inclusion")) {
          push(inclusion->get("element"), Role::Expression);
          push(inclusion->get("list"), Role::Expression);
        } else if (const Json* disjunction = node->get("disjunction")) {
          if (const Json* disjuncts = disjunction->get("disjunct");
              disjuncts != nullptr && disjuncts->is_array())
            for (const Json& disjunct : disjuncts->as_array()) push_conjuncts(&disjunct);
        }
        break;
      }
    }
  }
}

VarSet collected(const Json* node, Role role, bool without_combines = false) {
  VarSet out;
  if (node != nullptr && node->is_object()) collect({Pending{node, role}}, out, without_combines);
  return out;
}

void merge(VarSet& into, VarSet from) {
  if (into.empty()) {
    into = std::move(from);
    return;
  }
  into.merge(from);
}

// The disjuncts of a disjunction conjunct; nullptr for any other conjunct.
const Json::ArrayType* disjuncts_of(const Json& conjunct) {
  const Json* disjunction = conjunct.get("disjunction");
  const Json* disjuncts = disjunction != nullptr ? disjunction->get("disjunct") : nullptr;
  return disjuncts != nullptr && disjuncts->is_array() ? &disjuncts->as_array() : nullptr;
}

// Calls `visit` on every conjunct of the proposition and of the alternatives of
// its disjunctions, at any depth of disjunctions, but not inside combines.
template <class Visit>
void for_each_conjunct(const Json& proposition, Visit&& visit) {
  std::vector<const Json*> propositions{&proposition};
  while (!propositions.empty()) {
    const Json* next = propositions.back();
    propositions.pop_back();
    const Json::ArrayType* conjuncts = proposition_conjuncts(*next);
    if (conjuncts == nullptr) continue;
    for (const Json& conjunct : *conjuncts) {
      if (const Json::ArrayType* disjuncts = disjuncts_of(conjunct)) {
        for (const Json& disjunct : *disjuncts) propositions.push_back(&disjunct);
      } else {
        visit(conjunct);
      }
    }
  }
}

// The variables a proposition gives a value. A disjunction gives only what
// every one of its alternatives gives, so each alternative is gathered into a
// set of its own, on a frame of its own, before the sets are intersected.
VarSet positive_of(const Json& proposition, bool without_combines = false) {
  struct Frame {
    const Json::ArrayType* items;  // the conjuncts of a proposition, or a disjunction's alternatives
    size_t next;
    bool alternatives;
    bool intersected;  // of alternatives: whether `vars` already holds one alternative's set
    VarSet vars;
  };
  std::vector<Frame> frames;
  frames.push_back(Frame{proposition_conjuncts(proposition), 0, false, false, {}});
  for (;;) {
    Frame& top = frames.back();
    if (top.items == nullptr || top.next == top.items->size()) {
      VarSet done = std::move(top.vars);
      frames.pop_back();
      if (frames.empty()) return done;
      Frame& parent = frames.back();
      if (!parent.alternatives) {
        merge(parent.vars, std::move(done));
      } else if (!parent.intersected) {
        parent.vars = std::move(done);
        parent.intersected = true;
      } else {
        VarSet common;
        std::set_intersection(parent.vars.begin(), parent.vars.end(), done.begin(), done.end(),
                              std::inserter(common, common.end()));
        parent.vars = std::move(common);
      }
      continue;
    }
    const Json& item = (*top.items)[top.next++];
    if (top.alternatives) {
      frames.push_back(Frame{proposition_conjuncts(item), 0, false, false, {}});  // invalidates `top`
      continue;
    }
    if (const Json* predicate = item.get("predicate")) {
      if (!is_constraint_predicate(predicate_name_of(*predicate)))
        collect({Pending{predicate->get("record"), Role::Record}}, top.vars, without_combines);
    } else if (const Json* unification = item.get("unification")) {
      std::vector<Pending> sides;
      for (const char* side : {"left_hand_side", "right_hand_side"}) {
        const Json* expression = unification->get(side);
        if (expression != nullptr && expression->is_object())
          sides.push_back(Pending{expression, Role::PlainExpression});
      }
      collect(std::move(sides), top.vars);
    } else if (const Json* inclusion = item.get("inclusion")) {
      merge(top.vars, collected(inclusion->get("element"), Role::Expression, without_combines));
    } else if (const Json::ArrayType* disjuncts = disjuncts_of(item)) {
      frames.push_back(Frame{disjuncts, 0, true, false, {}});  // invalidates `top`
    }
  }
}

// How many times each variable node names a variable anywhere under `node`.
std::map<std::string, size_t, std::less<>> count_var_uses(const Json& node) {
  std::map<std::string, size_t, std::less<>> counts;
  walk_tree(node, [&](const Json& object) {
    const Json* variable = object.get("variable");
    if (variable == nullptr) return;
    if (const Json* name = variable->get("var_name")) ++counts[name->as_var_name()];
  });
  return counts;
}

// The combine that an argument of an "IsNull" call holds: how the parser
// writes a negation.
const Json* negated_combine(const Json& entry) {
  const Json* expression = entry_expression(entry);
  return expression != nullptr ? expression->get("combine") : nullptr;
}

bool is_negation_call(const Json& node) {
  const Json* name = node.get("predicate_name");
  return name != nullptr && name->is_str() && name->as_str() == "IsNull";
}

// The variables under a negated combine that reach beyond the combines nested
// in it: an aggregation keeps to itself what its own body gives a value, as
// the compiler reads it; a negation nested in the negation keeps what it binds
// and uses at least twice, as the negation itself does. So ~(~R(x, y)) still
// negates x and y. Each combine's variables, and how often each is named, are
// gathered apart from the rest, then the innermost pass theirs outwards.
VarSet reaching_out(const Json& negated_expression) {
  constexpr size_t kNone = static_cast<size_t>(-1);
  struct Scope {
    const Json* combine;
    size_t parent;
    bool negation;
    VarSet vars;
    std::map<std::string, size_t, std::less<>> uses;  // of the combine and all it holds, once finished
  };
  struct Pending {
    const Json* node;
    size_t scope;
    bool negated;  // a combine that an "IsNull" call holds
  };
  std::vector<Scope> scopes;
  std::vector<Pending> pending{{&negated_expression, kNone, true}};
  while (!pending.empty()) {
    const Pending next = pending.back();
    pending.pop_back();
    const Json* node = next.node;
    if (node->is_array()) {
      for (const Json& item : node->as_array()) pending.push_back(Pending{&item, next.scope, false});
      continue;
    }
    if (!node->is_object()) continue;
    if (const Json* combine = node->get("combine")) {
      scopes.push_back(Scope{combine, next.scope, next.negated, {}, {}});
      pending.push_back(Pending{combine, scopes.size() - 1, false});
      continue;
    }
    if (const Json* variable = node->get("variable")) {
      if (next.scope != kNone) {
        add_variable(*variable, scopes[next.scope].vars);
        if (const Json* name = variable->get("var_name")) ++scopes[next.scope].uses[name->as_var_name()];
      }
      continue;
    }
    if (is_negation_call(*node)) {
      if (const Json::ArrayType* entries = record_entries(node->get("record"))) {
        for (const Json& entry : *entries) {
          const Json* expression = entry_expression(entry);
          const bool negated = negated_combine(entry) != nullptr;
          pending.push_back(Pending{negated ? expression : &entry, next.scope, negated});
        }
      }
      continue;
    }
    for (const auto& entry : node->as_object()) pending.push_back(Pending{&entry.second, next.scope, false});
  }
  if (scopes.empty()) return {};
  // A scope comes after its parent, so going backwards finishes the inner first.
  for (size_t i = scopes.size() - 1; i > 0; --i) {
    Scope& scope = scopes[i];
    if (const Json* body = scope.combine->get("body")) {
      for (const std::string& name : positive_of(*body)) {
        auto uses = scope.uses.find(name);
        if (!scope.negation || (uses != scope.uses.end() && uses->second >= 2)) scope.vars.erase(name);
      }
    }
    Scope& parent = scopes[scope.parent];
    merge(parent.vars, std::move(scope.vars));
    for (const auto& [name, count] : scope.uses) parent.uses[name] += count;
  }
  return std::move(scopes.front().vars);
}

// The variables of one negated combine that are not its own: a variable that
// the negated body binds and uses at least twice is local to the negation, and
// one that a combine inside it keeps is that combine's.
void add_negated(const Json& expression, VarSet& out) {
  VarSet inner = collected(&expression, Role::Expression);
  const VarSet reaching = reaching_out(expression);
  std::erase_if(inner, [&](const std::string& name) { return reaching.count(name) == 0; });
  const Json* body = expression.at("combine").get("body");
  if (body != nullptr) {
    const VarSet local = positive_of(*body);
    const auto counts = count_var_uses(*body);
    for (const std::string& name : local) {
      auto count = counts.find(name);
      if (count != counts.end() && count->second >= 2) inner.erase(name);
    }
  }
  merge(out, std::move(inner));
}

// The variables under an expression that aggregates where it stands: an
// aggregation, or a call of an aggregating function.
void add_aggregated(const Json* expression, VarSet& out) {
  if (expression == nullptr) return;
  if (const Json* aggregation = expression->get("aggregation"))
    merge(out, collected(aggregation->get("expression"), Role::Expression));
  if (const Json* call = expression->get("call"); call != nullptr && is_aggregating(predicate_name_of(*call)))
    merge(out, collected(call->get("record"), Role::Record));
}

const Json* head_record(const Json& rule) {
  const Json* head = rule.get("head");
  return head != nullptr ? head->get("record") : nullptr;
}

}  // namespace

VarSet VarCollector::head_vars(const Json& rule) {
  return collected(head_record(rule), Role::Record, /*without_combines=*/true);
}

VarSet VarCollector::positive_vars(const Json& rule) {
  const Json* body = rule.get("body");
  return body != nullptr ? positive_of(*body) : VarSet{};
}

VarSet VarCollector::positive_vars_outside_combines(const Json& rule) {
  const Json* body = rule.get("body");
  return body != nullptr ? positive_of(*body, /*without_combines=*/true) : VarSet{};
}

VarSet VarCollector::function_input_vars(const Json& rule) {
  VarSet out;
  const Json::ArrayType* entries = record_entries(head_record(rule));
  if (entries == nullptr || std::none_of(entries->begin(), entries->end(), is_value_field)) return out;
  std::vector<Pending> inputs;
  for (const Json& entry : *entries) {
    const Json* expression = entry_expression(entry);
    if (!is_value_field(entry) && expression != nullptr && expression->is_object())
      inputs.push_back(Pending{expression, Role::Expression});
  }
  collect(std::move(inputs), out);
  return out;
}

VarSet VarCollector::compared_vars(const Json& rule) {
  VarSet out;
  const Json* body = rule.get("body");
  if (body == nullptr) return out;
  for_each_conjunct(*body, [&](const Json& conjunct) {
    const Json* predicate = conjunct.get("predicate");
    if (predicate == nullptr) return;
    const std::string_view name = predicate_name_of(*predicate);
    if (is_constraint_predicate(name) && name != "IsNull")
      merge(out, collected(predicate->get("record"), Role::Record, /*without_combines=*/true));
  });
  return out;
}

VarSet VarCollector::negated_vars(const Json& rule) {
  VarSet out;
  const Json* body = rule.get("body");
  if (body == nullptr) return out;
  for_each_conjunct(*body, [&](const Json& conjunct) {
    const Json* predicate = conjunct.get("predicate");
    if (predicate == nullptr || predicate_name_of(*predicate) != "IsNull") return;
    const Json::ArrayType* entries = record_entries(predicate->get("record"));
    if (entries == nullptr) return;
    for (const Json& entry : *entries) {
      const Json* expression = entry_expression(entry);
      if (expression != nullptr && expression->has("combine")) add_negated(*expression, out);
    }
  });
  return out;
}

VarSet VarCollector::aggregation_vars(const Json& rule) {
  VarSet out;
  if (const Json* body = rule.get("body")) {
    for_each_conjunct(*body, [&](const Json& conjunct) {
      if (const Json* predicate = conjunct.get("predicate")) {
        if (const Json::ArrayType* entries = record_entries(predicate->get("record")))
          for (const Json& entry : *entries) add_aggregated(entry_expression(entry), out);
      } else if (const Json* unification = conjunct.get("unification")) {
        add_aggregated(unification->get("right_hand_side"), out);
        add_aggregated(unification->get("left_hand_side"), out);
      }
    });
  }
  if (const Json::ArrayType* entries = record_entries(head_record(rule))) {
    for (const Json& entry : *entries) {
      const Json* value = entry.get("value");
      const Json* aggregation = value != nullptr ? value->get("aggregation") : nullptr;
      if (aggregation == nullptr) continue;
      merge(out, collected(aggregation->get("expression"), Role::Expression, /*without_combines=*/true));
    }
  }
  return out;
}

}  // namespace mirtova::verifier
