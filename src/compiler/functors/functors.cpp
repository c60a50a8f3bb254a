// The functor index: rules per predicate and their direct and transitive
// dependencies, kept up to date as generated rules are appended.
#include "compiler/functors/functors.h"

#include <algorithm>
#include <iostream>

#include "compiler/functors/tree_walks.h"

namespace mirtova {

bool is_aux_predicate(std::string_view name) { return name.find("_MultBodyAggAux") != std::string_view::npos; }

Functors::Functors(std::vector<Json> input_rules) : rules(std::move(input_rules)) {
  input_rule_count = rules.size();
  index_rules_from(0);
  for (const std::string& name : predicates) direct_args[name] = build_direct_args_of_predicate(name);
  for (const std::string& name : predicates) {
    if (args.count(name) == 0) build_args(name);  // a stored set is final; skip copying it out
  }
}

NameSet Functors::index_rules_from(size_t start) {
  NameSet fresh;
  for (size_t i = start; i < rules.size(); ++i) {
    if (rules[i].get("head") == nullptr) continue;
    const std::string& name = head_name(rules[i]);
    if (predicates.insert(name).second) fresh.insert(name);
    rules_by_predicate[name].push_back(rules[i]);
  }
  indexed_rule_count = rules.size();
  return fresh;
}

NameSet Functors::args_of(std::string_view name) const {
  auto it = args.find(std::string(name));
  return it == args.end() ? NameSet{} : it->second;
}

NameSet Functors::build_direct_args_of_predicate(std::string_view name) const {
  NameSet result;
  auto it = rules_by_predicate.find(std::string(name));
  if (it == rules_by_predicate.end()) return result;
  for (const Json& rule : it->second) {
    if (const Json* body = rule.get("body")) result.merge(extract_predicate_names(*body));
    const Json* head = rule.get("head");
    if (head == nullptr) continue;
    if (const Json* record = head->get("record")) result.merge(extract_predicate_names(*record));
  }
  return result;
}

// Strongly connected components (Tarjan, with an explicit stack so that a long
// chain of predicates cannot exhaust the call stack) over the predicates whose
// set is missing; components finish callees first, so each component's set is
// its members' direct names plus the finished sets of the names they reach.
// A stored set counts as complete, as a stale entry left by update_structure
// must.
NameSet Functors::build_args(const std::string& name) {
  if (auto it = args.find(name); it != args.end()) return it->second;
  if (direct_args.count(name) == 0) return {};

  auto open = [&](const std::string& n) { return direct_args.count(n) != 0 && args.count(n) == 0; };
  struct Frame {
    std::string node;
    std::vector<std::string> next;
    size_t pos = 0;
  };
  std::map<std::string, size_t> order;
  std::map<std::string, size_t> low;
  std::vector<std::string> stack;
  NameSet on_stack;
  std::vector<Frame> calls;
  auto enter = [&](const std::string& n) {
    size_t position = order.size();
    order[n] = position;
    low[n] = position;
    stack.push_back(n);
    on_stack.insert(n);
    const NameSet& direct = direct_args.at(n);
    calls.push_back(Frame{n, std::vector<std::string>(direct.begin(), direct.end())});
  };

  enter(name);
  while (!calls.empty()) {
    Frame& frame = calls.back();
    if (frame.pos < frame.next.size()) {
      std::string callee = frame.next[frame.pos++];
      if (!open(callee)) continue;
      if (order.count(callee) == 0) {
        enter(callee);  // invalidates `frame`
      } else if (on_stack.count(callee) != 0) {
        low[frame.node] = std::min(low[frame.node], order[callee]);
      }
      continue;
    }
    std::string node = std::move(frame.node);
    calls.pop_back();
    if (!calls.empty()) low[calls.back().node] = std::min(low[calls.back().node], low[node]);
    if (low[node] != order[node]) continue;

    NameSet members;
    std::string member;
    do {
      member = stack.back();
      stack.pop_back();
      on_stack.erase(member);
      members.insert(member);
    } while (member != node);
    NameSet closure;
    for (const std::string& m : members) {
      for (const std::string& callee : direct_args.at(m)) {
        closure.insert(callee);
        if (members.count(callee) != 0) continue;
        if (auto it = args.find(callee); it != args.end()) closure.insert(it->second.begin(), it->second.end());
      }
    }
    for (const std::string& m : members) args[m] = closure;
  }
  return args.at(name);
}

Result<std::vector<Json>, CompileError> Functors::all_rules_of(const std::string& name) const {
  std::vector<Json> result;
  auto append_rules = [&](const std::string& n) {
    auto it = rules_by_predicate.find(n);
    if (it != rules_by_predicate.end()) result.insert(result.end(), it->second.begin(), it->second.end());
  };
  append_rules(name);
  auto it = args.find(name);
  if (it == args.end()) return result;
  for (const std::string& q : it->second) {
    if (q == name) {
      std::cerr << "[WARNING] Failed to eliminate recursion of " << name << ".\n";
      continue;
    }
    append_rules(q);
  }
  return result;
}

// Every indexed predicate had its direct and transitive sets before this call,
// so only the predicates first indexed now and the sets erased here can lack
// one: those are visited (in byte order, as a walk over all predicates would
// meet them) instead of every predicate on every call.
void Functors::update_structure(const std::string& made) {
  NameSet missing = index_rules_from(indexed_rule_count);
  if (rules_by_predicate.count(made) != 0) direct_args[made] = build_direct_args_of_predicate(made);
  for (const std::string& name : missing) {
    if (direct_args.count(name) == 0) direct_args[name] = build_direct_args_of_predicate(name);
  }
  for (auto it = args.begin(); it != args.end();) {
    if (it->first == made || it->second.count(made) != 0) {
      if (predicates.count(it->first) != 0) missing.insert(it->first);
      it = args.erase(it);
    } else {
      ++it;
    }
  }
  for (const std::string& name : missing) {
    if (args.count(name) == 0) build_args(name);
  }
}

std::vector<std::string> Functors::iteration_companions(std::string_view name) const {
  NameSet result;
  auto it = rules_by_predicate.find("@Iteration");
  if (it == rules_by_predicate.end()) return {};
  for (const Json& rule : it->second) {
    const Json* record = rule.at("head").get("record");
    if (record == nullptr) continue;
    const Json* fields = record->get("field_value");
    if (fields == nullptr || !fields->is_array() || fields->as_array().empty()) continue;
    const Json* value = fields->as_array().front().get("value");
    const Json* expression = value == nullptr ? nullptr : value->get("expression");
    const Json* literal = expression == nullptr ? nullptr : expression->get("literal");
    if (literal == nullptr || !literal->has("the_predicate")) continue;
    NameSet named = extract_predicate_names(*record);
    if (named.count(std::string(name)) == 0) continue;
    for (const std::string& other : named) {
      if (other != name) result.insert(other);
    }
  }
  return std::vector<std::string>(result.begin(), result.end());
}

std::string Functors::get_constant_function(const std::string& key) {
  auto it = constant_names.find(key);
  if (it != constant_names.end()) return it->second;
  std::string name = "QuorilCompilerConstant" + std::to_string(constant_names.size());
  constant_names.emplace(key, name);
  return name;
}

}  // namespace mirtova
