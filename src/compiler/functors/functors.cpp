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
    if (args.count(name) == 0) build_missing_sets(name);
  }
}

NameSet Functors::index_rules_from(size_t start) {
  NameSet fresh;
  for (size_t i = start; i < rules.size(); ++i) {
    if (rules[i].get("head") == nullptr) continue;
    const std::string& name = head_name(rules[i]);
    if (predicates.insert(name).second) fresh.insert(name);
    rules_by_predicate[name].push_back(i);
  }
  indexed_rule_count = rules.size();
  indexed_through_ = indexed_rule_count;
  return fresh;
}

NameSet Functors::args_of(std::string_view name) const { return argument_set(name); }

NameSet Functors::build_direct_args_of_predicate(std::string_view name) const {
  NameSet result;
  auto it = rules_by_predicate.find(std::string(name));
  if (it == rules_by_predicate.end()) return result;
  for (size_t position : it->second) {
    const Json& rule = rules[position];
    if (const Json* body = rule.get("body")) result.merge(extract_predicate_names(*body));
    const Json* head = rule.get("head");
    if (head == nullptr) continue;
    if (const Json* record = head->get("record")) result.merge(extract_predicate_names(*record));
  }
  return result;
}

NameSet Functors::build_args(const std::string& name) {
  if (auto it = args.find(name); it != args.end()) return it->second;
  if (direct_args.count(name) == 0) return {};
  build_missing_sets(name);
  return args.at(name);
}

const NameSet& Functors::argument_set(std::string_view name) const {
  static const NameSet kNone;
  const std::string key(name);
  if (auto it = args.find(key); it != args.end()) return it->second;
  if (!deferring_ || direct_args.count(key) == 0) return kNone;
  build_missing_sets(key);
  return args.at(key);
}

// Strongly connected components (Tarjan, with an explicit stack so that a long
// chain of predicates cannot exhaust the call stack) over the predicates whose
// set is missing; components finish callees first, so each component's set is
// its members' direct names plus the finished sets of the names they reach.
// A stored set counts as complete, as a stale entry left by update_structure
// must.
void Functors::build_missing_sets(const std::string& name) const {
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
    for (const std::string& m : members) {
      if (deferring_) {
        for (const std::string& held : closure) holders_[held].push_back(m);
      }
      args[m] = closure;
    }
  }
}

Result<std::vector<Json>, CompileError> Functors::all_rules_of(const std::string& name) const {
  std::vector<Json> result;
  for (const Json* rule : rules_reached_from(name)) result.push_back(*rule);
  return result;
}

std::vector<const Json*> Functors::rules_reached_from(const std::string& name) const {
  std::vector<const Json*> result;
  auto append_rules = [&](const std::string& n) {
    auto it = rules_by_predicate.find(n);
    if (it == rules_by_predicate.end()) return;
    for (size_t position : it->second) result.push_back(&rules[position]);
  };
  append_rules(name);
  for (const std::string& q : argument_set(name)) {
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
  if (indexed_rule_count != indexed_through_) {
    // Indexing again from the start follows rules rewritten in place, which
    // the direct sets kept from before do not: the sets are exact no more.
    settle_argument_sets();
    sets_exact_ = false;
  }
  NameSet missing = index_rules_from(indexed_rule_count);
  if (deferring_) {
    for (const std::string& name : missing) {
      if (name != made && direct_args.count(name) == 0 && mentioned_.count(name) != 0) {
        // A name that some set already ends at gains callees that no set
        // lists: only an eager rebuild leaves those sets as they are.
        settle_argument_sets();
        sets_exact_ = false;
        break;
      }
    }
  }
  auto set_direct = [&](const std::string& name) {
    NameSet& direct = direct_args[name];
    direct = build_direct_args_of_predicate(name);
    if (deferring_) mentioned_.insert(direct.begin(), direct.end());
  };
  if (rules_by_predicate.count(made) != 0) set_direct(made);
  for (const std::string& name : missing) {
    if (direct_args.count(name) == 0) set_direct(name);
  }
  if (deferring_) {
    forget_sets_holding(made);
    return;
  }
  sets_exact_ = false;
  for (auto it = args.begin(); it != args.end();) {
    if (it->first == made || it->second.count(made) != 0) {
      if (predicates.count(it->first) != 0) missing.insert(it->first);
      it = args.erase(it);
    } else {
      ++it;
    }
  }
  for (const std::string& name : missing) {
    if (args.count(name) == 0 && direct_args.count(name) != 0) build_missing_sets(name);
  }
}

// Why deferring gives the sets an eager index would hold.
//
// While the sets are exact (see sets_exact_), the eager index holds for each
// name X with a direct set the closure R(X) of the current direct sets, and
// nothing for other names. An update changes direct sets only at `made` and at
// the names first indexed now (the fresh ones). Suppose no fresh name other
// than `made` is named by any direct set from before the update (else we
// settle and turn eager first). Then a path out of X that changes must pass
// through `made`: a fresh name is reached by no old path. So R(X) changes only
// if X is `made` or reaches it, that is, if `made` is in X's old exact set:
// exactly the sets the eager update erases and rebuilds (all of them, as every
// name with a direct set is a predicate here), so after it every set is again
// exact. Deferred, the index forgets those same sets and keeps the others,
// which are exact; a reader computes a missing one by the same walk, whose
// result over exact stored sets is R(X) on the graph as it is then, which is
// the set the eager index holds then. Settling computes every missing set, so
// leaving the deferral leaves the eager index's sets behind.
void Functors::defer_argument_sets() {
  if (!sets_exact_ || deferring_) return;
  deferring_ = true;
  for (const auto& [unused, direct] : direct_args) mentioned_.insert(direct.begin(), direct.end());
  for (const auto& [holder, held] : args) {
    for (const std::string& name : held) holders_[name].push_back(holder);
  }
}

void Functors::settle_argument_sets() {
  if (!deferring_) return;
  for (const auto& [name, unused] : direct_args) {
    if (args.count(name) == 0) build_missing_sets(name);
  }
  deferring_ = false;
  mentioned_.clear();
  holders_.clear();
}

void Functors::forget_sets_holding(const std::string& made) {
  if (auto holders = holders_.find(made); holders != holders_.end()) {
    for (const std::string& holder : holders->second) {
      auto it = args.find(holder);
      if (it != args.end() && it->second.count(made) != 0) args.erase(it);
    }
    holders_.erase(holders);
  }
  args.erase(made);
}

std::vector<std::string> Functors::iteration_companions(std::string_view name) const {
  NameSet result;
  auto it = rules_by_predicate.find("@Iteration");
  if (it == rules_by_predicate.end()) return {};
  for (size_t position : it->second) {
    const Json* record = rules[position].at("head").get("record");
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
