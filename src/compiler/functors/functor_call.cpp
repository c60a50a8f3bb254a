// The functor call: gathering, naming and renaming the copies of one make.
#include "compiler/functors/functor_call.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "common/strings.h"
#include "compiler/functors/tree_walks.h"

namespace mirtova {

namespace {

// The annotations that follow a copied predicate to its copy.
constexpr std::array<std::string_view, 5> kCopiedAnnotations = {"@Ground", "@Iteration", "@Limit",
                                                                "@NoInject", "@OrderBy"};

std::string join(const std::vector<std::string>& names) { return mirtova::join(names, ", "); }

bool ends_with(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool shares_any(const NameSet& a, const ArgumentMap& b) {
  return std::any_of(b.begin(), b.end(), [&](const auto& entry) { return a.count(entry.first) != 0; });
}

struct KeyedRule {
  const std::string* text;  // the compact JSON text: the rule's order
  // Copied only once it is known to be wanted: a rule of a predicate that an
  // argument replaces, or that an earlier application copied, is left as it is.
  const Json* rule;
};

// The names a copy must never separate from `name`: those of one iteration
// (its name, members and accumulator), and a predicate and the owner of the
// table it is stored in. Copied apart, a loop would lose members or write the
// original's tables.
NameSet ties_of(const Functors& index, const std::string& name) {
  NameSet tied;
  for (std::string& other : index.iteration_companions(name)) tied.insert(std::move(other));
  for (std::string& other : index.ground_partners(name)) tied.insert(std::move(other));
  return tied;
}

struct Gathered {
  std::vector<const Json*> rules;  // in `index.rules`, each rule once
  NameSet names;                   // their heads, and the tied names without rules
};

// F's rules, the rules of everything F depends on, and of the names tied to
// all these, to a fixed point. Two rules of the same text are two rules (a
// predicate's rules are joined with UNION ALL), so a rule is known by its
// place in the list, not by its text.
Gathered gather(const Functors& index, const std::string& functor) {
  Gathered out;
  std::set<const Json*> seen;
  auto take = [&](const std::string& name) {
    for (const Json* rule : index.rules_reached_from(name)) {
      out.names.emplace(head_name(*rule));
      if (seen.insert(rule).second) out.rules.push_back(rule);
    }
  };
  take(functor);
  for (;;) {
    NameSet extra;
    for (const std::string& name : out.names) {
      for (const std::string& tied : ties_of(index, name)) {
        if (out.names.count(tied) == 0) extra.insert(tied);
      }
    }
    if (extra.empty()) break;
    for (const std::string& tied : extra) {
      take(tied);
      out.names.insert(tied);
    }
  }
  return out;
}

// The gathered names grouped by their ties; for each name in a group that
// reaches a replaced argument, the arguments the whole group depends on. A
// group is copied whole, each member keyed by what the group depends on, so
// that two calls share all of it or none of it.
std::map<std::string, NameSet> tied_dependencies(const Functors& index, const NameSet& names,
                                                 const ArgumentMap& resolved) {
  std::map<std::string, NameSet> dependencies;
  NameSet grouped;
  for (const std::string& start : names) {
    if (grouped.count(start) != 0) continue;
    std::vector<std::string> group{start}, pending{start};
    grouped.insert(start);
    while (!pending.empty()) {
      std::string name = std::move(pending.back());
      pending.pop_back();
      for (const std::string& tied : ties_of(index, name)) {
        if (names.count(tied) != 0 && grouped.insert(tied).second) {
          group.push_back(tied);
          pending.push_back(tied);
        }
      }
    }
    if (group.size() < 2) continue;
    NameSet reached;
    for (const std::string& member : group) {
      for (const std::string& dependency : index.argument_set(member)) {
        if (resolved.count(dependency) != 0) reached.insert(dependency);
      }
    }
    if (reached.empty()) continue;
    for (const std::string& member : group) dependencies[member] = reached;
  }
  return dependencies;
}

// Fails on the first annotation of the copied kinds whose first argument is a
// literal other than a predicate; otherwise the annotations of copied predicates.
Result<std::vector<Json>, CompileError> annotation_copies(const Functors& index, const NameSet& copied) {
  const Functors::CopiedAnnotations found = index.copied_annotations(kCopiedAnnotations, copied);
  if (found.refused != nullptr) {
    return CompileError("This annotation requires predicate symbol as the first positional argument.",
                        rule_text(*found.refused));
  }
  std::vector<Json> copies;
  for (const Json* rule : found.rules) copies.push_back(*rule);
  return copies;
}

}  // namespace

ArgumentMap resolve_functor_args(const std::string& functor, const ArgumentMap& arguments,
                                 const NameSet& dependencies) {
  ArgumentMap resolved;
  for (const auto& [name, substitute] : arguments) {
    std::string target = name;
    if (dependencies.count(name) == 0) {
      for (const std::string& dependency : dependencies) {
        if (dependency.size() <= name.size() || !ends_with(dependency, name)) continue;
        std::string_view prefix = std::string_view(dependency).substr(0, dependency.size() - name.size());
        if (prefix.back() == '_' && functor.rfind(prefix, 0) == 0) {
          target = dependency;
          break;
        }
      }
    }
    resolved[target] = substitute;
  }
  return resolved;
}

std::string key_of(const std::string& predicate, const NameSet& dependencies, const ArgumentMap& resolved) {
  std::vector<std::string> items;
  for (const auto& [name, substitute] : resolved) {
    if (dependencies.count(name) != 0) items.push_back(name + ": " + substitute);
  }
  return predicate + "(" + join(items) + ")";
}

namespace {

// The new name's node of each name renamed, taken from `known` (see
// Functors::name_nodes) or made there.
using NameNodes = std::map<std::string, Json, std::less<>>;

NameNodes name_nodes(const ArgumentMap& renames, NameNodes& known) {
  NameNodes nodes;
  for (const auto& [from, to] : renames) {
    auto node = known.find(to);
    if (node == known.end()) node = known.emplace(to, Json(to)).first;
    nodes.emplace(from, node->second);
  }
  return nodes;
}

void rename_predicates(Json& tree, const NameNodes& renames) {
  // Found by reading, then changed down the path to each: a shared tree (see
  // Json::shared_tree) copies only the nodes on those paths. A path lists the
  // place of each value in its container, from the root to the name.
  std::vector<std::vector<uint32_t>> paths;
  std::vector<uint32_t> path;
  struct Frame {
    const Json* node;
    uint32_t next;
  };
  std::vector<Frame> stack;
  if (tree.is_container()) stack.push_back(Frame{&tree, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    const Json& node = *top.node;
    if (top.next == 0 && node.is_object()) {
      const Json* name = node.get("predicate_name");
      if (name != nullptr && name->is_str() && renames.count(name->as_str()) != 0) paths.push_back(path);
    }
    if (top.next == node.size()) {
      stack.pop_back();
      if (!path.empty()) path.pop_back();
      continue;
    }
    const uint32_t at = top.next++;
    const Json& value = node.is_array() ? node.as_array()[at]
                                        : (node.as_object().begin() + static_cast<ptrdiff_t>(at))->second;
    if (!value.is_container()) continue;
    path.push_back(at);
    stack.push_back(Frame{&value, 0});
  }
  for (const std::vector<uint32_t>& steps : paths) {
    Json* node = &tree;
    for (uint32_t at : steps)
      node = node->is_array() ? &node->as_array_mut()[at]
                              : &(node->as_object_mut().begin() + static_cast<ptrdiff_t>(at))->second;
    Json* name = node->get_mut("predicate_name");
    *name = renames.find(name->as_str())->second;
  }
}

}  // namespace

void rename_predicates(Json& tree, const ArgumentMap& renames) {
  NameNodes known;
  rename_predicates(tree, name_nodes(renames, known));
}

namespace {

// What one call copies: the rules whose heads lie between the functor and a
// replaced argument (with the functor's own), and for each head to be copied
// the replaced arguments it depends on, which key its copy.
struct CallPlan {
  ArgumentMap resolved;
  std::vector<const Json*> kept;  // in `index.rules`, each rule once, in any order
  std::map<std::string, NameSet> reached;
  std::map<std::string, NameSet> tied;  // see tied_dependencies
};

// The plan found from the whole of what the functor depends on.
Result<CallPlan, CompileError> plan_by_gathering(const Functors& index, const std::string& made,
                                                 const std::string& functor, const ArgumentMap& arguments) {
  const NameSet& dependencies = index.argument_set(functor);
  CallPlan plan;
  plan.resolved = resolve_functor_args(functor, arguments, dependencies);
  std::vector<std::string> strangers;
  for (const auto& [name, unused] : plan.resolved) {
    if (dependencies.count(name) == 0) strangers.push_back(name);
  }
  if (!strangers.empty())
    return CompileError(
        "Functor " + functor + " is applied to " + join(strangers) + ", which it does not depend on.", made);

  const Gathered gathered = gather(index, functor);
  plan.tied = tied_dependencies(index, gathered.names, plan.resolved);
  plan.reached = plan.tied;
  // Predicates that reach no replaced argument stay shared: copies call them as they are.
  for (const Json* rule : gathered.rules) {
    const std::string head(head_name(*rule));
    if (head == functor || plan.tied.count(head) != 0) {
      plan.kept.push_back(rule);
      continue;
    }
    const NameSet& dependencies_of_head = index.argument_set(head);
    if (!shares_any(dependencies_of_head, plan.resolved)) continue;
    plan.kept.push_back(rule);
    if (plan.reached.count(head) != 0) continue;
    NameSet& reached = plan.reached[head];
    for (const auto& [name, unused] : plan.resolved) {
      if (dependencies_of_head.count(name) != 0) reached.insert(name);
    }
  }
  return plan;
}

// The same plan found backwards from the replaced arguments, at a cost of what
// lies between them and the functor rather than of all the functor depends on
// (a chain of recursions would otherwise rewalk every earlier one). Holds only
// while the argument sets are closures; nullopt where an argument needs
// resolving or refusing, which the general plan does. Where names are tied,
// gathering follows ties out of the functor's dependencies and may warn about
// any recursive name it meets: the plan holds then only if nothing is
// recursive and no name between the functor and an argument is tied, as a
// tie then brings nothing that is copied.
std::optional<CallPlan> plan_from_arguments(const Functors& index, const std::string& functor,
                                            const ArgumentMap& arguments) {
  if (!index.closures_exact() || index.rules_by_predicate.count(functor) == 0) return std::nullopt;
  const bool tied = index.has_ties();
  if (tied && (!index.is_acyclic() || index.is_tied(functor))) return std::nullopt;
  CallPlan plan;
  plan.resolved = arguments;
  std::map<std::string, NameSet> reaching;  // argument -> the names that depend on it
  NameSet between;                          // the names that depend on any argument
  for (const auto& [name, unused] : arguments) {
    NameSet callers = index.callers_of(name);
    if (callers.count(functor) == 0) return std::nullopt;
    between.insert(callers.begin(), callers.end());
    reaching.emplace(name, std::move(callers));
  }
  if (tied && std::any_of(between.begin(), between.end(),
                          [&](const std::string& name) { return index.is_tied(name); }))
    return std::nullopt;
  // Every name on a path from the functor to an argument depends on that
  // argument, so the walk from the functor never needs to leave `between`;
  // nor does a path back to the functor, which then depends on an argument too.
  bool recursive = arguments.empty() && index.callers_of(functor).count(functor) != 0;
  NameSet heads{functor};
  std::vector<const std::string*> pending{&functor};
  while (!pending.empty()) {
    auto direct = index.direct_args.find(*pending.back());
    pending.pop_back();
    if (direct == index.direct_args.end()) continue;
    for (const std::string& callee : direct->second) {
      if (callee == functor) recursive = true;
      if (between.count(callee) != 0 && heads.insert(callee).second) pending.push_back(&callee);
    }
  }
  if (recursive) std::cerr << "[WARNING] Failed to eliminate recursion of " << functor << ".\n";
  for (const std::string& head : heads) {
    auto positions = index.rules_by_predicate.find(head);
    if (positions == index.rules_by_predicate.end()) continue;
    for (size_t position : positions->second) plan.kept.push_back(&index.rules[position]);
    if (head == functor) continue;
    NameSet& reached = plan.reached[head];
    for (const auto& [name, callers] : reaching) {
      if (callers.count(head) != 0) reached.insert(name);
    }
  }
  return plan;
}

}  // namespace

Result<Unit, CompileError> call_functor(Functors& index, const std::string& made, const std::string& functor,
                                        const ArgumentMap& arguments) {
  std::optional<CallPlan> fast = plan_from_arguments(index, functor, arguments);
  CallPlan plan;
  if (fast) {
    plan = std::move(*fast);
  } else {
    TRY(plan, plan_by_gathering(index, made, functor, arguments));
  }
  const ArgumentMap& resolved = plan.resolved;
  const std::map<std::string, NameSet>& tied = plan.tied;
  const std::string number = std::to_string(++index.functor_call_count);
  // The texts live only for this call: kept for every rule of the index, they
  // would outweigh the rules themselves, which share their nodes.
  std::vector<std::string> texts;
  texts.reserve(plan.kept.size());
  for (const Json* rule : plan.kept) texts.push_back(rule->compact());
  std::vector<KeyedRule> kept;
  for (size_t i = 0; i < plan.kept.size(); ++i) kept.push_back({&texts[i], plan.kept[i]});
  std::stable_sort(kept.begin(), kept.end(),
                   [](const KeyedRule& a, const KeyedRule& b) { return *a.text < *b.text; });

  ArgumentMap renames = resolved;
  NameSet copied;
  // Copies named by this application; a copy named by an earlier one already
  // has its rules, which a second set would double under UNION ALL.
  NameSet named_here;
  // The copy's name for `name`, made on its first use with this key.
  auto copy_name = [&](const std::string& name) {
    std::string key = key_of(name, plan.reached[name], resolved);
    auto memo = index.call_memo.find(key);
    if (memo != index.call_memo.end()) {
      renames[name] = memo->second;
      return;
    }
    std::string copy = index.names.make(name + "_f" + number, name);
    renames[name] = copy;
    named_here.insert(copy);
    index.call_memo.emplace(std::move(key), std::move(copy));
    copied.insert(name);
  };
  std::vector<Json> copies;
  for (const KeyedRule& keyed : kept) {
    const std::string head(head_name(*keyed.rule));
    if (head == functor) {
      renames[functor] = made;
      copied.insert(functor);
    } else if (resolved.count(head) != 0) {
      continue;  // the substitute takes the replaced predicate's place
    } else {
      if (renames.count(head) == 0) copy_name(head);
      if (named_here.count(renames[head]) == 0) continue;
    }
    // Shared before its first copy: the copy then costs only what renaming it
    // changes, and a part that no renaming reaches is one node between the
    // rule, its copies, and every other rule that holds it.
    Json& source = index.rules[static_cast<size_t>(keyed.rule - index.rules.data())];
    source = Json::shared_tree(std::move(source), index.shared_nodes);
    copies.push_back(source);
  }
  // An iteration's name and a table's owner may have no rules: they are
  // renamed all the same, so that the copy's loop and tables are its own.
  for (const auto& [name, unused] : tied) {
    if (name != functor && resolved.count(name) == 0 && renames.count(name) == 0) copy_name(name);
  }

  TRY(std::vector<Json> annotations, annotation_copies(index, copied));
  for (Json& annotation : annotations) copies.push_back(std::move(annotation));
  const NameNodes nodes = name_nodes(renames, index.name_nodes);
  // The nodes renamed stay plain: a later call that copies this rule shares
  // them first (as above), and most copies are never copied again.
  for (Json& rule : copies) {
    rename_predicates(rule, nodes);
    index.rules.push_back(std::move(rule));
  }
  index.update_structure(made);
  return Unit{};
}

}  // namespace mirtova
