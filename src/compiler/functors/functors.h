// Functors: the index of a rule list that recursion unfolding and functor
// application share (rules per predicate, direct and transitive dependencies,
// the naming memos of functor application).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/functors/dependency_graph.h"
#include "compiler/functors/generated_names.h"
#include "parser/json.h"
#include "parser/tree_access.h"

namespace mirtova {

// The value of one recursion option: a number or a text.
using SerdeLikeValue = std::variant<int64_t, std::string>;
// Predicate name -> option key ("1" is the depth) -> value.
using RecursionArgs = std::map<std::string, std::map<std::string, SerdeLikeValue>>;

// Ordered maps and sets throughout: every order that reaches generated text is
// then byte order of names, never hash order.
struct Functors {
  std::vector<Json> rules;
  // Positions in `rules`, which only grow at the end between re-indexings.
  std::map<std::string, std::vector<size_t>> rules_by_predicate;
  NameSet predicates;
  std::map<std::string, NameSet> direct_args;
  // Filled by the constructor and by update_structure; while the sets are
  // deferred (see defer_argument_sets) a reader fills a missing one on first
  // use, which a const reader may do too.
  mutable std::map<std::string, NameSet> args;
  std::map<std::string, std::string> call_memo;
  // The node of each name that functor calls write into copies, made once:
  // every place the name goes, in any copy, shares its one text.
  std::map<std::string, Json, std::less<>> name_nodes;
  // The parts of the rules copied so far: a part that many rules hold alike
  // (an argument list, a call of a table that no copy renames) is held once.
  JsonNodeTable shared_nodes;
  std::map<std::string, std::string> constant_names;
  uint64_t input_rule_count = 0;
  uint64_t indexed_rule_count = 0;
  uint64_t functor_call_count = 0;
  // The names functor application makes (copies, constants) are kept apart
  // from these; a driver fills them with the rules' own names.
  GeneratedNames names;

  // Whether the constructor computes every argument set, or leaves each to its
  // first reader (for an index that is only read, and mostly for its direct
  // sets: the transitive sets of a long chain are quadratic in its length).
  enum class ArgumentSets { Built, OnDemand };

  Functors() = default;
  // callers_ points into direct_args: a copy would point into the original.
  Functors(const Functors&) = delete;
  Functors& operator=(const Functors&) = delete;
  Functors(Functors&&) = default;
  Functors& operator=(Functors&&) = default;
  explicit Functors(std::vector<Json> input_rules, ArgumentSets sets = ArgumentSets::Built);

  // A copy of the memoised argument set; empty for a name that heads no rule.
  NameSet args_of(std::string_view name) const;

  // The memoised argument set itself, valid until the next update_structure.
  const NameSet& argument_set(std::string_view name) const;

  // Whether every argument set reads as the closure of the current direct sets
  // (see sets_exact_): only then do callers_of answer for them.
  bool closures_exact() const { return sets_exact_; }

  // The names whose argument set holds `name`: those with a path of direct
  // sets to it, found backwards, so at a cost of what reaches `name` rather
  // than of everything the callers depend on. Agrees with argument_set only
  // while closures_exact().
  NameSet callers_of(const std::string& name) const;

  // Whether any two names are tied by an @Iteration or a two-argument @Ground
  // among the indexed rules (see iteration_companions and ground_partners);
  // and whether `name` is tied to another.
  bool has_ties() const;
  bool is_tied(std::string_view name) const;

  // Whether no name's argument set holds the name itself. Found by one pass
  // over the direct sets when first asked, then kept by update_structure,
  // which asks whether the name just made reaches itself: only its new rules
  // can close a cycle, as every other name they mention is new or was there.
  bool is_acyclic() const;

  // The graph of the direct sets, nodes in byte order of the names that head them.
  DependencyGraph direct_graph() const;

  // The names that the rules of `name` mention in bodies and head records.
  NameSet build_direct_args_of_predicate(std::string_view name) const;

  // The transitive argument set of `name`, stored in `args` for it and for
  // every predicate met on the way whose set was missing.
  NameSet build_args(const std::string& name);

  // Copies of the rules of `name`, then of every member of its argument set in
  // byte order. A predicate that is still its own argument gets a warning line
  // on standard error instead of its rules a second time.
  Result<std::vector<Json>, CompileError> all_rules_of(const std::string& name) const;

  // The rules that all_rules_of copies, in its order and with its warning, as
  // pointers into `rules` (valid until rules are appended).
  std::vector<const Json*> rules_reached_from(const std::string& name) const;

  // Indexes the rules appended since the last call and refreshes the argument
  // sets that `made` (the predicate just made) can have changed.
  void update_structure(const std::string& made);

  // From now on update_structure only forgets the sets a make can have changed
  // and a reader computes a missing set when it asks for it, as long as the
  // result is the set an eager rebuild would have stored (functors.cpp says
  // when that holds; otherwise the index stays eager). Given the names to be
  // made, each at most once, only those are tracked in the stored sets; making
  // another name, or one a second time, settles first. settle_argument_sets
  // computes every missing set and ends the deferral.
  void defer_argument_sets(std::optional<NameSet> to_be_made = std::nullopt);
  void settle_argument_sets();

  // Lets go of all but the rules, the names and the constants, for a caller
  // that reads nothing else from here on: the sets of a long program outweigh
  // what is still to be done with its rules.
  void keep_rules_only();

  // The rules headed by the given annotations (in the order given, each in
  // rule order) whose first argument is a predicate in `copied`; or else the
  // first such rule, in the same order, whose first argument is a literal
  // other than a predicate. Each rule is read once; the annotation list must
  // be the same on every call.
  struct CopiedAnnotations {
    std::vector<const Json*> rules;  // into `rules`, valid until rules are appended
    const Json* refused = nullptr;
  };
  CopiedAnnotations copied_annotations(const std::array<std::string_view, 5>& annotations,
                                       const NameSet& copied) const;

  // Every predicate named together with `name` in an @Iteration annotation that
  // iterates something, in byte order, without `name` itself.
  std::vector<std::string> iteration_companions(std::string_view name) const;

  // Every predicate that a two-argument @Ground ties to `name`: the owner of
  // the table `name` is stored in, and the predicates stored in its table; in
  // byte order, without `name` itself.
  std::vector<std::string> ground_partners(std::string_view name) const;

  // The constant predicate of a key "int:{0}" or "str:{0}", made on first use.
  std::string get_constant_function(const std::string& key);

  // Recursion unfolding over this index (recursion_analysis.cpp): the new rule
  // list, or the first failure of a style writer.
  // `most_references` is the engine's bound on one statement's references to
  // a table: see choose_unfoldings.
  Result<std::vector<Json>, CompileError> unfold_recursions(RecursionArgs& recursion_args, bool iterative,
                                                            GeneratedNames& names,
                                                            uint64_t most_references = UINT64_MAX) const;

  // The horizontal, iterative-horizontal and semi-naive forms of one component
  // (horizontal.cpp): rewrites `out_rules` in place and appends the parsed text.
  Result<Unit, CompileError> unfold_recursive_predicate_flat(
      const NameSet& component, int64_t depth, std::vector<Json>& out_rules, bool iterative, int64_t ignition,
      const std::optional<std::string>& stop_signal) const;
  // The same, where `positions` hold every rule of `out_rules` that the
  // rewrite changes and every rule of the component (see RewriteCandidates).
  // The names it makes are kept apart from every name `names` holds, and are
  // then taken there.
  Result<Unit, CompileError> unfold_recursive_predicate_flat(const NameSet& component, int64_t depth,
                                                             std::vector<Json>& out_rules,
                                                             const std::vector<size_t>& positions,
                                                             bool iterative, int64_t ignition,
                                                             const std::optional<std::string>& stop_signal,
                                                             GeneratedNames& names) const;

 private:
  // Indexes the rules from `start` on; answers the predicates first met.
  NameSet index_rules_from(size_t start);

  // The Tarjan walk of build_args: stores the set of `name` and of every
  // predicate met on the way whose set was missing.
  void build_missing_sets(const std::string& name) const;

  // Deferred mode: forgets the set of `made` and every set that holds it.
  void forget_sets_holding(const std::string& made);

  // Stores the direct set of `name` and keeps callers_ its mirror.
  void set_direct_args(const std::string& name, NameSet direct);

  // Read the @Iteration and @Ground rules indexed since the last call.
  void read_iteration_rules() const;
  void read_ground_rules() const;

  // Whether every stored set is the full transitive closure over the current
  // direct sets (names without a direct set end a path), and every name with a
  // direct set has a stored set. True after the constructor; the first eager
  // update_structure gives it up for good, as a re-indexing does.
  bool sets_exact_ = true;
  bool deferring_ = false;
  size_t indexed_through_ = 0;  // indexed_rule_count as this index last set it
  // While deferring: for a name, the predicates whose stored set held it when
  // stored (some may have been forgotten or rebuilt since: check before use).
  mutable std::map<std::string, std::vector<std::string>> holders_;
  std::optional<NameSet> watched_;  // the names holders_ tracks; all when empty
  // For each name, the names whose direct set holds it, as the keys of their
  // entries in direct_args (which are never erased), in no order: a long
  // program's edges would otherwise each keep a second copy of a name.
  std::map<std::string, std::vector<const std::string*>, std::less<>> callers_;
  mutable std::optional<bool> acyclic_;  // unknown until is_acyclic is first asked
  // The companions of each name in the first companion_rules_read_ @Iteration rules.
  mutable std::map<std::string, NameSet> companions_;
  mutable size_t companion_rules_read_ = 0;
  mutable bool any_companions_ = false;
  // The same for ground_partners and the @Ground rules.
  mutable std::map<std::string, NameSet> partners_;
  mutable size_t ground_rules_read_ = 0;
  // For copied_annotations, by position in its list: the rules read of each
  // annotation, the first refused one, and by the predicate each names, the
  // (annotation, order, position) of the rules naming it.
  mutable std::array<size_t, 5> annotation_rules_read_{};
  mutable std::array<std::optional<size_t>, 5> first_refused_{};
  mutable std::map<std::string, std::vector<std::array<size_t, 3>>> annotations_naming_;
};

// What the names of the auxiliary predicates of the multi-body aggregation
// rewrite hold, after the name of the predicate they aggregate.
inline constexpr std::string_view kAuxMarker = "_MultBodyAggAux";
// Names of the auxiliary predicates of the multi-body aggregation rewrite.
bool is_aux_predicate(std::string_view name);
// The predicate a user wrote, for such an auxiliary predicate's name: the one
// it aggregates for. Any other name is its own.
inline std::string_view aggregated_predicate(std::string_view name) {
  return name.substr(0, name.find(kAuxMarker));
}

}  // namespace mirtova
