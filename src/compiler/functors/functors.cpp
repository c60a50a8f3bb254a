// The functor index: rules per predicate and their direct and transitive
// dependencies, kept up to date as generated rules are appended.
#include "compiler/functors/functors.h"

#include <algorithm>
#include <iostream>

#include "compiler/functors/dependency_graph.h"
#include "compiler/functors/tree_walks.h"

namespace mirtova {

bool is_aux_predicate(std::string_view name) { return name.find(kAuxMarker) != std::string_view::npos; }

Functors::Functors(std::vector<Json> input_rules, ArgumentSets sets) : rules(std::move(input_rules)) {
  input_rule_count = rules.size();
  index_rules_from(0);
  for (const std::string& name : predicates) set_direct_args(name, build_direct_args_of_predicate(name));
  if (sets == ArgumentSets::OnDemand) {
    // Deferred with no name to be made: a reader computes what it asks for.
    defer_argument_sets(NameSet{});
    return;
  }
  for (const std::string& name : predicates) {
    if (args.count(name) == 0) build_missing_sets(name);
  }
}

NameSet Functors::index_rules_from(size_t start) {
  NameSet fresh;
  for (size_t i = start; i < rules.size(); ++i) {
    if (rules[i].get("head") == nullptr) continue;
    const std::string name(head_name(rules[i]));
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

// The strongly connected components of the predicates whose set is missing,
// among those reached from `name`; components finish callees first, so each
// component's set is its members' direct names plus the finished sets of the
// names they reach. A stored set counts as complete, as a stale entry left by
// update_structure must. (A member has no set until its component finishes,
// so only names outside the component bring their sets.)
void Functors::build_missing_sets(const std::string& name) const {
  // Breadth first from `name`: the nodes in order of discovery, each with its
  // callees in byte order, which the search follows as a walk from `name` would.
  DependencyGraph graph;
  std::vector<const NameSet*> direct_of{&direct_args.find(name)->second};
  graph.add_node(name);
  for (size_t node = 0; node < graph.size(); ++node) {
    for (const std::string& callee : *direct_of[node]) {
      auto direct = direct_args.find(callee);
      if (direct == direct_args.end() || args.count(callee) != 0) continue;
      const size_t known = graph.size();
      const size_t next = graph.add_node(callee);
      if (next == known) direct_of.push_back(&direct->second);
      graph.add_edge(node, next);
    }
  }

  std::vector<const std::string*> reached;
  for (const Component& members : strongly_connected_components(graph)) {
    reached.clear();
    for (size_t m : members) {
      for (const std::string& callee : *direct_of[m]) {
        reached.push_back(&callee);
        if (auto it = args.find(callee); it != args.end()) {
          for (const std::string& held : it->second) reached.push_back(&held);
        }
      }
    }
    std::sort(reached.begin(), reached.end(),
              [](const std::string* a, const std::string* b) { return *a < *b; });
    NameSet closure;
    for (const std::string* held : reached) {
      if (closure.empty() || *std::prev(closure.end()) != *held) closure.emplace_hint(closure.end(), *held);
    }
    for (size_t i = 0; i < members.size(); ++i) {
      const std::string& member = graph.name(members[i]);
      if (deferring_) {
        for (const std::string& held : closure) {
          if (!watched_ || watched_->count(held) != 0) holders_[held].push_back(member);
        }
      }
      if (i + 1 == members.size()) {
        args.emplace(member, std::move(closure));
      } else {
        args.emplace(member, closure);
      }
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
    acyclic_.reset();
    companions_.clear();
    companion_rules_read_ = 0;
    any_companions_ = false;
    partners_.clear();
    ground_rules_read_ = 0;
    annotation_rules_read_.fill(0);
    first_refused_.fill(std::nullopt);
    annotations_naming_.clear();
  }
  NameSet missing = index_rules_from(indexed_rule_count);
  if (deferring_ && watched_ && watched_->count(made) == 0) {
    // No holders were kept for this name: compute every set while the direct
    // sets are still those they were deferred under, and go on eagerly.
    settle_argument_sets();
    sets_exact_ = false;
  }
  if (deferring_) {
    for (const std::string& name : missing) {
      auto callers = callers_.find(name);
      if (name != made && direct_args.count(name) == 0 && callers != callers_.end() &&
          !callers->second.empty()) {
        // A name that some set already ends at gains callees that no set
        // lists: only an eager rebuild leaves those sets as they are.
        settle_argument_sets();
        sets_exact_ = false;
        break;
      }
    }
  }
  auto set_direct = [&](const std::string& name) {
    set_direct_args(name, build_direct_args_of_predicate(name));
  };
  if (rules_by_predicate.count(made) != 0) set_direct(made);
  for (const std::string& name : missing) {
    if (direct_args.count(name) == 0) set_direct(name);
  }
  if (acyclic_.value_or(false) && callers_of(made).count(made) != 0) acyclic_ = false;
  if (deferring_) {
    forget_sets_holding(made);
    if (watched_) watched_->erase(made);
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
// leaving the deferral leaves the eager index's sets behind. The stored sets
// that hold a name to be made are listed under it in holders_ when stored, so
// forgetting them needs no pass over every set; a name made that was not
// announced has no such list, and settles first.
void Functors::defer_argument_sets(std::optional<NameSet> to_be_made) {
  if (!sets_exact_ || deferring_) return;
  deferring_ = true;
  watched_ = std::move(to_be_made);
  for (const auto& [holder, held] : args) {
    for (const std::string& name : held) {
      if (!watched_ || watched_->count(name) != 0) holders_[name].push_back(holder);
    }
  }
}

void Functors::settle_argument_sets() {
  if (!deferring_) return;
  deferring_ = false;  // the sets built now need no holders
  for (const auto& [name, unused] : direct_args) {
    if (args.count(name) == 0) build_missing_sets(name);
  }
  holders_.clear();
  watched_.reset();
}

void Functors::keep_rules_only() {
  Functors kept;
  kept.rules = std::move(rules);
  kept.constant_names = std::move(constant_names);
  kept.names = std::move(names);
  kept.input_rule_count = input_rule_count;
  kept.indexed_rule_count = indexed_rule_count;
  kept.functor_call_count = functor_call_count;
  *this = std::move(kept);
}

void Functors::set_direct_args(const std::string& name, NameSet direct) {
  const auto entry = direct_args.try_emplace(name).first;
  const std::string* caller = &entry->first;
  NameSet& stored = entry->second;
  for (const std::string& callee : stored) {
    if (direct.count(callee) != 0) continue;
    std::vector<const std::string*>& callers = callers_.find(callee)->second;
    callers.erase(std::find(callers.begin(), callers.end(), caller));
  }
  for (const std::string& callee : direct) {
    if (stored.count(callee) != 0) continue;
    auto callers = callers_.find(callee);
    if (callers == callers_.end())
      callers = callers_.emplace(callee, std::vector<const std::string*>{}).first;
    callers->second.push_back(caller);
  }
  stored = std::move(direct);
}

NameSet Functors::callers_of(const std::string& name) const {
  NameSet found;
  std::vector<const std::string*> pending{&name};
  while (!pending.empty()) {
    const std::string& callee = *pending.back();
    pending.pop_back();
    auto it = callers_.find(callee);
    if (it == callers_.end()) continue;
    for (const std::string* caller : it->second) {
      if (found.insert(*caller).second) pending.push_back(caller);
    }
  }
  return found;
}

bool Functors::has_ties() const {
  read_iteration_rules();
  read_ground_rules();
  return any_companions_ || !partners_.empty();
}

bool Functors::is_tied(std::string_view name) const {
  return !iteration_companions(name).empty() || !ground_partners(name).empty();
}

DependencyGraph Functors::direct_graph() const {
  DependencyGraph graph;
  for (const auto& [name, direct] : direct_args) {
    const size_t from = graph.add_node(name);
    for (const std::string& callee : direct) graph.add_edge(from, graph.add_node(callee));
  }
  return graph;
}

bool Functors::is_acyclic() const {
  if (!acyclic_) {
    const DependencyGraph graph = direct_graph();
    acyclic_ = true;
    for (const Component& component : strongly_connected_components(graph)) {
      if (is_recursive(graph, component)) acyclic_ = false;
    }
  }
  return *acyclic_;
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

// The @Iteration rules are read once each, in the order they were indexed, into
// the companions of every name they hold; the union over the rules read so far
// is what a pass over all of them would gather.
void Functors::read_iteration_rules() const {
  auto it = rules_by_predicate.find("@Iteration");
  if (it == rules_by_predicate.end()) return;
  for (; companion_rules_read_ < it->second.size(); ++companion_rules_read_) {
    const Json* record = rules[it->second[companion_rules_read_]].at("head").get("record");
    if (record == nullptr) continue;
    const Json* fields = record->get("field_value");
    if (fields == nullptr || !fields->is_array() || fields->as_array().empty()) continue;
    const Json* value = fields->as_array().front().get("value");
    const Json* expression = value == nullptr ? nullptr : value->get("expression");
    const Json* literal = expression == nullptr ? nullptr : expression->get("literal");
    if (literal == nullptr || !literal->has("the_predicate")) continue;
    const NameSet named = extract_predicate_names(*record);
    for (const std::string& one : named) {
      NameSet& companions = companions_[one];
      for (const std::string& other : named) {
        if (other != one) companions.insert(other);
      }
      if (!companions.empty()) any_companions_ = true;
    }
  }
}

std::vector<std::string> Functors::iteration_companions(std::string_view name) const {
  read_iteration_rules();
  auto found = companions_.find(std::string(name));
  if (found == companions_.end()) return {};
  return std::vector<std::string>(found->second.begin(), found->second.end());
}

void Functors::read_ground_rules() const {
  auto it = rules_by_predicate.find("@Ground");
  if (it == rules_by_predicate.end()) return;
  for (; ground_rules_read_ < it->second.size(); ++ground_rules_read_) {
    const Json* record = rules[it->second[ground_rules_read_]].at("head").get("record");
    const Json* fields = record == nullptr ? nullptr : record->get("field_value");
    if (fields == nullptr || !fields->is_array() || fields->as_array().size() < 2) continue;
    std::array<std::optional<std::string_view>, 2> pair{};
    for (size_t i = 0; i < 2; ++i) {
      const Json& field = fields->as_array()[i];
      const Json* position = field.get("field");
      if (position == nullptr || !position->is_int() || position->as_int() != int64_t(i)) break;
      const Json* expression = field_expression(field);
      pair[i] = expression == nullptr ? std::nullopt : predicate_literal_name(*expression);
      if (!pair[i]) break;
    }
    if (!pair[1] || *pair[0] == *pair[1]) continue;
    partners_[std::string(*pair[0])].emplace(*pair[1]);
    partners_[std::string(*pair[1])].emplace(*pair[0]);
  }
}

std::vector<std::string> Functors::ground_partners(std::string_view name) const {
  read_ground_rules();
  auto found = partners_.find(std::string(name));
  if (found == partners_.end()) return {};
  return std::vector<std::string>(found->second.begin(), found->second.end());
}

Functors::CopiedAnnotations Functors::copied_annotations(const std::array<std::string_view, 5>& annotations,
                                                         const NameSet& copied) const {
  for (size_t kind = 0; kind < annotations.size(); ++kind) {
    auto it = rules_by_predicate.find(std::string(annotations[kind]));
    if (it == rules_by_predicate.end()) continue;
    for (size_t& order = annotation_rules_read_[kind]; order < it->second.size(); ++order) {
      const size_t position = it->second[order];
      const Json* record = rules[position].at("head").get("record");
      const Json* fields = record == nullptr ? nullptr : record->get("field_value");
      if (fields == nullptr || !fields->is_array() || fields->as_array().empty()) continue;
      const Json* value = fields->as_array().front().get("value");
      const Json* expression = value == nullptr ? nullptr : value->get("expression");
      const Json* literal = expression == nullptr ? nullptr : expression->get("literal");
      if (literal == nullptr) continue;
      const Json* predicate = literal->get("the_predicate");
      const Json* name = predicate == nullptr ? nullptr : predicate->get("predicate_name");
      if (name == nullptr || !name->is_str()) {
        if (!first_refused_[kind]) first_refused_[kind] = position;
        continue;
      }
      annotations_naming_[std::string(name->as_str())].push_back({kind, order, position});
    }
  }
  CopiedAnnotations found;
  for (const std::optional<size_t>& refused : first_refused_) {
    if (refused) {
      found.refused = &rules[*refused];
      return found;
    }
  }
  std::vector<std::array<size_t, 3>> naming;
  for (const std::string& name : copied) {
    auto it = annotations_naming_.find(name);
    if (it != annotations_naming_.end()) naming.insert(naming.end(), it->second.begin(), it->second.end());
  }
  std::sort(naming.begin(), naming.end());
  for (const auto& [kind, order, position] : naming) found.rules.push_back(&rules[position]);
  return found;
}

std::string Functors::get_constant_function(const std::string& key) {
  auto it = constant_names.find(key);
  if (it != constant_names.end()) return it->second;
  std::string name = names.make("QuorilCompilerConstant" + std::to_string(constant_names.size()), "");
  constant_names.emplace(key, name);
  return name;
}

}  // namespace mirtova
