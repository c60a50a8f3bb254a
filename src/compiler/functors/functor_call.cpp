// The functor call: gathering, naming and renaming the copies of one make.
#include "compiler/functors/functor_call.h"

#include <algorithm>
#include <array>
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
  Json rule;
};

// F's rules, the rules of everything F depends on, and of the iteration
// companions of all these, to a fixed point; of these the rules whose head
// `keep` accepts, each rule of the list once. Two rules of the same text are
// two rules (a predicate's rules are joined with UNION ALL), so a rule is
// known by its place in the list, not by its text.
template <class Keep>
std::vector<KeyedRule> gather(const Functors& index, const std::string& functor, Keep keep) {
  std::vector<const Json*> gathered = index.rules_reached_from(functor);
  NameSet heads;
  for (const Json* rule : gathered) heads.insert(head_name(*rule));
  for (;;) {
    NameSet extra;
    for (const std::string& head : heads) {
      for (std::string& companion : index.iteration_companions(head)) {
        if (heads.count(companion) == 0) extra.insert(std::move(companion));
      }
    }
    if (extra.empty()) break;
    for (const std::string& companion : extra) {
      for (const Json* rule : index.rules_reached_from(companion)) {
        heads.insert(head_name(*rule));
        gathered.push_back(rule);
      }
      heads.insert(companion);
    }
  }
  std::vector<KeyedRule> unique;
  std::set<const Json*> seen;
  for (const Json* rule : gathered) {
    if (!keep(head_name(*rule)) || !seen.insert(rule).second) continue;
    unique.push_back({&index.compact_text(*rule), *rule});
  }
  return unique;
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

std::string call_key(const Functors& index, const std::string& predicate, const ArgumentMap& resolved) {
  const NameSet& dependencies = index.argument_set(predicate);
  std::vector<std::string> items;
  for (const auto& [name, substitute] : resolved) {
    if (dependencies.count(name) != 0) items.push_back(name + ": " + substitute);
  }
  return predicate + "(" + join(items) + ")";
}

void rename_predicates(Json& tree, const ArgumentMap& renames) {
  walk_tree_mut(tree, [&](Json& node) {
    Json* name = node.get_mut("predicate_name");
    if (name == nullptr || !name->is_str()) return;
    auto it = renames.find(name->as_str());
    if (it != renames.end()) *name = Json(it->second);
  });
}

Result<Unit, CompileError> call_functor(Functors& index, const std::string& made, const std::string& functor,
                                        const ArgumentMap& arguments) {
  const NameSet& dependencies = index.argument_set(functor);
  const ArgumentMap resolved = resolve_functor_args(functor, arguments, dependencies);
  std::vector<std::string> strangers;
  for (const auto& [name, unused] : resolved) {
    if (dependencies.count(name) == 0) strangers.push_back(name);
  }
  if (!strangers.empty())
    return CompileError(
        "Functor " + functor + " is applied to " + join(strangers) + ", which it does not depend on.", made);

  const std::string number = std::to_string(++index.functor_call_count);
  // Predicates that reach no replaced argument stay shared: copies call them as they are.
  std::vector<KeyedRule> kept = gather(index, functor, [&](const std::string& head) {
    return head == functor || shares_any(index.argument_set(head), resolved);
  });
  std::stable_sort(kept.begin(), kept.end(),
                   [](const KeyedRule& a, const KeyedRule& b) { return *a.text < *b.text; });

  ArgumentMap renames = resolved;
  NameSet copied;
  // Copies named by this application; a copy named by an earlier one already
  // has its rules, which a second set would double under UNION ALL.
  NameSet named_here;
  std::vector<Json> copies;
  for (KeyedRule& keyed : kept) {
    const std::string head = head_name(keyed.rule);
    if (head == functor) {
      renames[functor] = made;
      copied.insert(functor);
    } else if (resolved.count(head) != 0) {
      continue;  // the substitute takes the replaced predicate's place
    } else {
      std::string key = call_key(index, head, resolved);
      auto memo = index.call_memo.find(key);
      if (memo != index.call_memo.end()) {
        renames[head] = memo->second;
        if (named_here.count(memo->second) == 0) continue;
      } else {
        std::string name = head + "_f" + number;
        renames[head] = name;
        named_here.insert(name);
        index.call_memo.emplace(std::move(key), std::move(name));
        copied.insert(head);
      }
    }
    copies.push_back(std::move(keyed.rule));
  }

  TRY(std::vector<Json> annotations, annotation_copies(index, copied));
  for (Json& annotation : annotations) copies.push_back(std::move(annotation));
  for (Json& rule : copies) {
    rename_predicates(rule, renames);
    index.rules.push_back(std::move(rule));
  }
  index.update_structure(made);
  return Unit{};
}

}  // namespace mirtova
