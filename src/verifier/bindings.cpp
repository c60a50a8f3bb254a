// Mirrors the binding order of the rule translation: the bare variable
// arguments of the calls first, then equalities and inclusions until nothing
// more is bound. What is left unbound makes compile refuse the rule.
#include "verifier/bindings.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/rule_translate/names.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"

namespace mirtova::verifier {

namespace {

std::string name_of(const Json& var_name) { return var_name.as_var_name(); }

// The bare variable an expression is, or nothing.
const Json* bare_variable(const Json* expression) {
  const Json* variable = expression != nullptr ? expression->get("variable") : nullptr;
  return variable != nullptr ? variable->get("var_name") : nullptr;
}

const Json::ArrayType* call_entries(const Json& call) {
  const Json* record = call.get("record");
  const Json* entries = record != nullptr ? record->get("field_value") : nullptr;
  return entries != nullptr && entries->is_array() ? &entries->as_array() : nullptr;
}

// Every variable named under `node` outside combines.
void outside_combines(const Json& node, VarSet& out) {
  walk_tree(node, [&](const Json& object) {
    if (object.has("combine")) return Walk::Skip;
    if (const Json* name = bare_variable(&object)) {
      if (std::string text = name_of(*name); text != "_") out.insert(std::move(text));
      return Walk::Skip;
    }
    return Walk::Enter;
  });
}

// An aggregate called where no aggregation is allowed is the aggregate
// findings' business, and what it aggregates the aggregation findings'.
bool is_aggregate(const Json& object) {
  if (object.has("aggregation")) return true;
  const Json* call = object.get("call");
  const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
  if (name == nullptr || !name->is_str()) return false;
  return std::find(kBuiltInAggregates.begin(), kBuiltInAggregates.end(), name->as_str()) !=
         kBuiltInAggregates.end();
}

// The variables an argument or a side names where it stands: combines and
// aggregates left out.
void named_in_place(const Json& node, VarSet& out) {
  walk_tree(node, [&](const Json& object) {
    if (object.has("combine") || is_aggregate(object)) return Walk::Skip;
    if (const Json* name = bare_variable(&object)) {
      if (std::string text = name_of(*name); text != "_") out.insert(std::move(text));
      return Walk::Skip;
    }
    return Walk::Enter;
  });
}

// The variables read through a field (`r.a`) anywhere in the rule, head and
// conditions too, combines left out: a record is only read there, never given.
void read_through_fields(const Json& rule, VarSet& out) {
  walk_tree(rule, [&](const Json& object) {
    if (object.has("combine")) return Walk::Skip;
    const Json* subscript = object.get("subscript");
    const Json* record = subscript != nullptr ? subscript->get("record") : nullptr;
    if (record != nullptr) named_in_place(*record, out);
    return Walk::Enter;
  });
}

// What an expression needs to be computed: its variables outside combines,
// and those of its combines that the rule also names outside them.
VarSet needed(const Json& expression, const VarSet& rule_names) {
  VarSet need;
  walk_tree(expression, [&](const Json& object) {
    if (const Json* name = bare_variable(&object)) {
      if (std::string text = name_of(*name); text != "_") need.insert(std::move(text));
      return Walk::Skip;
    }
    if (const Json* combine = object.get("combine")) {
      walk_tree(*combine, [&](const Json& inner) {
        const Json* name = bare_variable(&inner);
        if (name == nullptr) return Walk::Enter;
        if (std::string text = name_of(*name); rule_names.count(text) != 0) need.insert(std::move(text));
        return Walk::Skip;
      });
      return Walk::Skip;
    }
    return Walk::Enter;
  });
  return need;
}

struct Pending {
  bool inclusion;
  const Json* left;  // the element of an inclusion
  const Json* right;
};

}  // namespace

VarSet never_given_values(const Json& rule, const VarSet& outer) {
  VarSet named, bound, rule_names;
  const Json::ArrayType* conjuncts = body_conjuncts(rule);
  if (conjuncts == nullptr) return named;
  outside_combines(rule, rule_names);
  rule_names.insert(outer.begin(), outer.end());
  bound = VarCollector::function_input_vars(rule);
  bound.insert(outer.begin(), outer.end());
  read_through_fields(rule, named);
  std::vector<Pending> pending;
  auto bind_bare = [&](const Json* expression) {
    if (const Json* name = bare_variable(expression))
      if (std::string text = name_of(*name); text != "_") bound.insert(std::move(text));
  };
  for (const Json& conjunct : *conjuncts) {
    if (conjunct.has("disjunction")) return VarSet{};
    if (const Json* call = conjunct.get("predicate")) {
      const std::string_view name = call->at("predicate_name").as_str();
      const Json::ArrayType* entries = call_entries(*call);
      if (entries == nullptr) continue;
      if (name == "=") {
        const Json *left = nullptr, *right = nullptr;
        for (const Json& entry : *entries) {
          const Json* field = entry.get("field");
          if (field == nullptr) continue;
          const bool first =
              field->is_str() ? field->as_str() == "left" : field->is_int() && field->as_int() == 0;
          const bool second =
              field->is_str() ? field->as_str() == "right" : field->is_int() && field->as_int() == 1;
          if (first) left = field_expression(entry);
          if (second) right = field_expression(entry);
        }
        if (left != nullptr && right != nullptr) pending.push_back(Pending{false, left, right});
        continue;
      }
      if (is_constraint_predicate(name)) continue;
      // A call of a predicate reads its columns: a bare variable takes one; any
      // other argument is compared with its column.
      for (const Json& entry : *entries) {
        const Json* expression = field_expression(entry);
        bind_bare(expression);
        if (expression != nullptr) named_in_place(*expression, named);
      }
    } else if (const Json* unification = conjunct.get("unification")) {
      const Json* left = unification->get("left_hand_side");
      const Json* right = unification->get("right_hand_side");
      if (left == nullptr || right == nullptr) continue;
      named_in_place(*left, named);
      named_in_place(*right, named);
      pending.push_back(Pending{false, left, right});
    } else if (const Json* inclusion = conjunct.get("inclusion")) {
      const Json* element = inclusion->get("element");
      const Json* list = inclusion->get("list");
      if (element == nullptr || list == nullptr) continue;
      // The list is read where it stands, whether or not the element binds.
      named_in_place(*element, named);
      named_in_place(*list, named);
      pending.push_back(Pending{true, element, list});
    }
  }
  // Only a side that is a bare variable can be bound, from what the other side
  // needs: both are read once. A variable is not computed from an expression
  // that needs it itself.
  struct Candidate {
    std::string target;
    VarSet need;
  };
  std::vector<Candidate> candidates;
  for (const Pending& p : pending) {
    if (const Json* left = bare_variable(p.left))
      candidates.push_back(Candidate{name_of(*left), needed(*p.right, rule_names)});
    if (const Json* right = p.inclusion ? nullptr : bare_variable(p.right))
      candidates.push_back(Candidate{name_of(*right), needed(*p.left, rule_names)});
  }
  std::erase_if(candidates,
                [](const Candidate& c) { return c.target == "_" || c.need.count(c.target) != 0; });
  // Equalities reach their fixed point before an inclusion binds, as in the
  // translation; the set of bound names is what matters here, not the order.
  // Each candidate waits on the names it still needs, so a long chain of
  // equalities written backwards costs no pass per link.
  std::vector<size_t> missing(candidates.size(), 0);
  std::map<std::string, std::vector<size_t>, std::less<>> waiting;
  std::vector<size_t> ready;
  for (size_t i = 0; i < candidates.size(); ++i) {
    for (const std::string& name : candidates[i].need)
      if (bound.count(name) == 0) {
        ++missing[i];
        waiting[name].push_back(i);
      }
    if (missing[i] == 0) ready.push_back(i);
  }
  while (!ready.empty()) {
    const std::string& target = candidates[ready.back()].target;
    ready.pop_back();
    if (!bound.insert(target).second) continue;
    auto waiters = waiting.find(target);
    if (waiters == waiting.end()) continue;
    for (size_t j : waiters->second)
      if (--missing[j] == 0) ready.push_back(j);
  }
  VarSet left_unbound;
  for (const std::string& name : named)
    if (bound.count(name) == 0) left_unbound.insert(name);
  return left_unbound;
}

}  // namespace mirtova::verifier
