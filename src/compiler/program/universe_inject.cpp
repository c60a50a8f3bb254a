// Injection and inlining, repeated to a fixed point. Splicing a predicate with
// one rule and no grouping keeps the bag of rows, so the engine sees one flat
// join instead of a nest of sub-queries.
#include "compiler/program/universe_inject.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "compiler/program/fresh_names.h"
#include "compiler/rule_translate/rewrites.h"
#include "parser/depth_guard.h"
#include "parser/tree_access.h"
#include "parser/tree_build.h"
#include "parser/tree_walk.h"

namespace mirtova {

namespace {

// The library's aggregations that keep several values are aggregates only where
// an aggregation calls them with a count; anywhere else their SQL would
// aggregate rows that nothing groups.
bool is_keeping_aggregate(std::string_view name) { return name == "ArgMaxK" || name == "ArgMinK"; }

std::string keeping_aggregate_outside(const std::string& name) {
  return name +
         " is an aggregate that takes how many values to keep: name it with the count, `Top2(x) = " + name +
         "(x, 2);`, and aggregate with it in a head with distinct, `best? Top2= item -> score`.";
}

constexpr int kMaxRewrites = 10000;

// Tree levels per level of nesting that the parser allows (a combine takes 14,
// a negation 11, a call 6): a rule nested no deeper than a parsed one stays
// within the stack that every later walk needs.
constexpr size_t kTreeLevelsPerNesting = 12;

bool has_rest_field(const Json& call) {
  for (const Json& f : call_fields(call)) {
    const Json& name = f.at("field");
    if (name.is_str() && name.as_str() == "*") return true;
  }
  return false;
}

bool is_anonymous(const Json& expr) {
  auto v = variable_name(expr);
  return v && *v == "_";
}

bool body_holds_combine(const Json& rule) {
  const Json* body = rule.get("body");
  bool found = false;
  if (body != nullptr)
    walk_tree(*body, [&](const Json& node) {
      found = node.has("combine");
      return found ? Walk::Stop : Walk::Enter;
    });
  return found;
}

const Json* head_field_value(const Json& rule, std::string_view column) {
  for (const Json& f : call_fields(rule.at("head")))
    if (field_is_column(f, column)) return field_expression(f);
  return nullptr;
}

// The first name in the value of a function written without a body, outside
// its combines, that is none of its arguments. Nothing can give it a value at
// a call; the copy put in the call's place would hold it under a fresh name of
// the compiler's, so the refusal names it as written.
std::optional<std::string> value_name_without_argument(const Json& callee) {
  std::vector<std::string> arguments;
  for (const Json& f : call_fields(callee.at("head")))
    if (const Json* e = field_expression(f); e != nullptr && !field_is_column(f, "quoril_value"))
      if (std::optional<std::string> v = variable_name(*e)) arguments.push_back(std::move(*v));
  std::optional<std::string> stray;
  const Json* value = head_field_value(callee, "quoril_value");
  if (value == nullptr) return stray;
  walk_tree(*value, [&](const Json& node, std::string_view key) {
    if (key == "combine") return Walk::Skip;
    std::optional<std::string> v = variable_name(node);
    if (!v) return Walk::Enter;
    if (*v != "_" && std::find(arguments.begin(), arguments.end(), *v) == arguments.end()) {
      stray = std::move(*v);
      return Walk::Stop;
    }
    return Walk::Skip;
  });
  return stray;
}

// Whether the rows of a rule or combine are told apart only by their values: a
// distinct head whose aggregations, if any, take the least or the greatest (a
// negation is such a combine). Then how often a row of its body comes does not
// matter.
bool rows_counted(const Json& rule) {
  if (!rule.has("distinct_denoted")) return true;
  for (const Json& f : call_fields(rule.at("head"))) {
    const Json* aggregation = f.at("value").get("aggregation");
    if (aggregation == nullptr) continue;
    const Json* call = aggregation->at("expression").get("call");
    const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
    if (name == nullptr || !name->is_str() || (name->as_str() != "Min" && name->as_str() != "Max"))
      return true;
  }
  return false;
}

// Whether a list is written with constants none of which equals another.
bool known_distinct(const Json& list) {
  const Json* literal = list.get("literal");
  const Json* the_list = literal != nullptr ? literal->get("the_list") : nullptr;
  const Json* elements = the_list != nullptr ? the_list->get("element") : nullptr;
  if (elements == nullptr || !elements->is_array()) return false;
  std::vector<std::string> texts;
  std::vector<double> numbers;  // 2 and 2.0 are one number
  for (const Json& element : elements->as_array()) {
    const Json* value = element.get("literal");
    if (value == nullptr || !(value->has("the_number") || value->has("the_string") ||
                              value->has("the_bool") || value->has("the_null")))
      return false;
    if (const Json* number = value->get("the_number")) {
      const double n = std::strtod(std::string(number->at("number").as_str()).c_str(), nullptr);
      if (std::find(numbers.begin(), numbers.end(), n) != numbers.end()) return false;
      numbers.push_back(n);
      continue;
    }
    std::string text = value->compact();
    if (std::find(texts.begin(), texts.end(), text) != texts.end()) return false;
    texts.push_back(std::move(text));
  }
  return true;
}

// What the source makes of a call, and which of the three rewrites of a round
// would change a rule.
class WorkFinder {
 public:
  explicit WorkFinder(const InjectionSource& source) : source_(source) {}

  bool is_function(const Json& rule) const { return head_field_value(rule, "quoril_value") != nullptr; }

  // Whether a call is rewritten into a conjunct: a function with a body, or the
  // empty predicate "nil" (a predicate proven empty, called as a function), whose
  // conjunct makes its rule give no rows.
  bool becomes_conjunct(const Json& call) const {
    const Json* name = call.get("predicate_name");
    if (!name) return false;
    if (name->as_str() == "nil") return true;
    const Json* callee = source_.injectable_rule(name->as_str());
    return callee && is_function(*callee) && callee->has("body");
  }

  using Work = RewriteWork;

  // `with_bindings` also looks for what eliminate_compiler_variables erases.
  Work find_work(const Json& rule, bool with_bindings) const {
    Work work;
    work.binding = !with_bindings;  // taken as found: nothing to look for
    look_for_work(rule, work);
    if (!with_bindings) work.binding = false;
    return work;
  }

  // Whether conjuncts about to join a conjunction hold a call that a round
  // could turn into a conjunct or inline: one of nil or of a function of the
  // program, wherever it stands (more than find_work counts, never less).
  bool may_bring_work(std::span<const Json> conjuncts) const {
    return std::any_of(conjuncts.begin(), conjuncts.end(), [&](const Json& conjunct) {
      return !walk_tree(conjunct, [&](const Json& node, std::string_view key) {
        if (key == "variable") return Walk::Skip;
        return calls_for_work(node) ? Walk::Stop : Walk::Enter;
      });
    });
  }

  // What may_bring_work stops at: a call of nil or of a function of the program.
  bool calls_for_work(const Json& node) const {
    const Json* call = node.get("call");
    if (call == nullptr) return false;
    const std::string_view name = call->at("predicate_name").as_str();
    if (name == "nil") return true;
    const Json* callee = source_.injectable_rule(name);
    return callee && is_function(*callee);
  }

 private:
  // One read-only walk standing in for the rewrites' own: it visits every node,
  // as unifications_with_functions, inject_conjuncts and the elimination do, and
  // checks calls for inlining only where inline_in would (not below a node that
  // holds a combine, outside the combine itself). It stops once every rewrite is
  // known to have work.
  void look_for_work(const Json& rule, Work& work) const {
    // Per object entered: whether inline_in looks at calls below it, and
    // whether it holds a combine.
    struct Scope {
      bool inlining;
      bool holds_combine;
    };
    std::vector<Scope> scopes;
    // One per level the walk is down: room for a rule's levels at once.
    scopes.reserve(tree_walk_detail::kWalkStackRoom);
    // The keys are told by their words: one compare per entry.
    const uint64_t conjunction_word = JsonKey::word_of("conjunction");
    const uint64_t combine_word = JsonKey::word_of("combine");
    const uint64_t call_word = JsonKey::word_of("call");
    walk_tree(
        rule,
        [&](const Json& node, std::string_view key) {
          if (work.unification && work.injection && work.inlining && work.binding) return Walk::Stop;
          // A variable's name holds nothing any rewrite looks for.
          if (key == "variable") return Walk::Skip;
          // The three keys that matter, found in one pass over the entries.
          const Json* conj = nullptr;
          const Json* combine = nullptr;
          const Json* call = nullptr;
          for (const auto& [name, child] : node.as_object()) {
            const uint64_t word = name.word();
            if (word == conjunction_word)
              conj = &child;
            else if (word == combine_word)
              combine = &child;
            else if (word == call_word)
              call = &child;
          }
          const bool inlining = scopes.empty() || (scopes.back().inlining &&
                                                   (!scopes.back().holds_combine || key == "combine"));
          scopes.push_back(Scope{inlining, combine != nullptr});
          if (conj != nullptr) look_at_conjuncts(*conj, work);
          if (!inlining || combine != nullptr || work.inlining || call == nullptr) return Walk::Enter;
          const std::string_view name = call->at("predicate_name").as_str();
          if (name == "nil") {
            work.inlining = true;
            return Walk::Enter;
          }
          const Json* callee = source_.injectable_rule(name);
          work.inlining = callee && is_function(*callee);
          return Walk::Enter;
        },
        [&](const Json&) { scopes.pop_back(); });
  }

  void look_at_conjuncts(const Json& conjunction, Work& work) const {
    for (const Json& conjunct : conjunction.at("conjunct").as_array()) {
      if (const Json* u = conjunct.get("unification")) {
        const Json& left = u->at("left_hand_side");
        const Json& right = u->at("right_hand_side");
        if (!work.unification)
          for (const Json* side : {&left, &right}) {
            const Json* side_call = side->get("call");
            if (side_call && becomes_conjunct(*side_call)) work.unification = true;
          }
        if (!work.binding)
          work.binding = binds_compiler_variable(left, right) || binds_compiler_variable(right, left);
      }
      if (!work.injection)
        if (const Json* predicate = conjunct.get("predicate"))
          if (!has_rest_field(*predicate) &&
              source_.injectable_rule(predicate->at("predicate_name").as_str()))
            work.injection = true;
    }
  }

  // Whether `side` is a compiler variable that `other` does not mention.
  static bool binds_compiler_variable(const Json& side, const Json& other) {
    const std::optional<std::string> name = variable_name(side);
    return name && name->rfind("x_", 0) == 0 && !contains_variable(other, *name);
  }

  const InjectionSource& source_;
};

class Injector {
 public:
  Injector(Json& rule, InjectionSource& source, const DepthBound& max_depth)
      : rule_(rule), source_(source), finder_(source), max_depth_(max_depth) {}

  // Each round runs the three rewrites in order until a round changes nothing.
  // A rewrite that would find nothing to do is a no-op, so one read-only walk
  // first tells which of them has work; the rewrites after the first that
  // changes the rule run as before, since that change can give them work.
  Result<Unit, CompileError> run() { return run(finder_.find_work(rule_, false)); }

  const std::optional<TreeExtent>& extent() const { return extent_; }

  // The same, with the first round's work known.
  Result<Unit, CompileError> run(RewriteWork first) {
    for (bool first_round = true;; first_round = false) {
      const RewriteWork work = first_round ? first : finder_.find_work(rule_, false);
      if (!work.unification && !work.inlining && !work.injection) return Unit{};
      bool changed = false;
      if (work.unification) {
        TRY(bool a, unifications_with_functions(rule_));
        changed = a;
      }
      if (changed || work.inlining) {
        TRY(bool b, inline_functions());
        changed = changed || b;
      }
      // When only injection changed the rule, what it spliced is all that is
      // new: the next round's walk would find nothing else to do there.
      const bool injection_alone = !changed;
      brought_work_ = false;
      if (changed || work.injection) {
        // Splicing adds to a bound of the rule's extent what it copies, which
        // it counts as it copies: the rule is measured before, while small.
        if (changed || !bound_) bound_ = tree_extent(rule_);
        TRY(bool c, inject_conjuncts(rule_));
        changed = changed || c;
      } else {
        bound_.reset();
      }
      if (!changed) return Unit{};
      TRY_VOID(check_extent());
      if (injection_alone && !brought_work_) return Unit{};
    }
  }

 private:
  Result<Unit, CompileError> count() {
    if (++rewrites_ > kMaxRewrites)
      return CompileError("Injecting predicates into this rule did not end after 10000 steps.", text());
    return Unit{};
  }

  // Every walk of the rule recurses over its levels: a rule that inlining
  // grows deeper than the parser lets a text nest, or without end, is refused.
  Result<Unit, CompileError> check_extent() {
    // A bound within the limits keeps the rule within them; past them, the
    // rule is measured.
    if (bound_ && !max_depth_.passed_by(bound_->depth) && bound_->nodes <= kMaxRuleNodes) {
      extent_ = bound_;
      return Unit{};
    }
    const TreeExtent extent = tree_extent(rule_);
    extent_ = extent;
    bound_ = extent;
    if (max_depth_.passed_by(extent.depth)) return CompileError(kTooDeepMessage, text());
    if (extent.nodes > kMaxRuleNodes) return CompileError(kRuleTooLargeMessage, text());
    return Unit{};
  }

  std::string text() const { return rule_text(rule_); }

  FreshNames fresh_names() {
    return FreshNames([this] { return source_.fresh_variable(); });
  }

  // What a walk makes of one rewrite's outcome: a change is noted; a failure is
  // kept and ends the walk.
  static Walk note(Result<bool, CompileError> done, bool& changed, std::optional<CompileError>& failed) {
    if (!done.ok()) {
      failed = done.error();
      return Walk::Stop;
    }
    changed = changed || done.value();
    return Walk::Enter;
  }

  // Rewrites every conjunction of the rule, each before the walk enters it.
  template <class Rewrite>
  Result<bool, CompileError> each_conjunction(Json& rule, Rewrite rewrite) {
    bool changed = false;
    std::optional<CompileError> failed;
    walk_tree_mut(rule, [&](Json& node) {
      Json* conj = node.get_mut("conjunction");
      return conj == nullptr ? Walk::Enter : note(rewrite(*conj), changed, failed);
    });
    if (failed) return *failed;
    return changed;
  }

  Result<bool, CompileError> unifications_with_functions(Json& rule) {
    return each_conjunction(rule, [&](Json& conjunction) { return calls_as_conjuncts(conjunction); });
  }

  // `F(args) == e`, F a function with a body, becomes the conjunct F(args, quoril_value: e),
  // so that the body can bind the arguments.
  Result<bool, CompileError> calls_as_conjuncts(Json& conjunction) {
    bool changed = false;
    for (Json& conjunct : conjunction.at_mut("conjunct").as_array_mut()) {
      const Json* u = conjunct.get("unification");
      if (!u) continue;
      for (int side = 0; side < 2; ++side) {
        const Json& mine = u->at(side == 0 ? "left_hand_side" : "right_hand_side");
        const Json& other = u->at(side == 0 ? "right_hand_side" : "left_hand_side");
        const Json* call = mine.get("call");
        if (call && is_keeping_aggregate(call->at("predicate_name").as_str()))
          return CompileError(keeping_aggregate_outside(std::string(call->at("predicate_name").as_str())),
                              text());
        if (!call || !finder_.becomes_conjunct(*call)) continue;
        TRY_VOID(count());
        Json new_call = *call;
        Json::ArrayType& fields = new_call.at_mut("record").at_mut("field_value").as_array_mut();
        fields.push_back(make_field("quoril_value", other));
        conjunct = make_predicate_conjunct(std::move(new_call));
        changed = true;
        break;
      }
    }
    return changed;
  }

  // Inlines function calls inside expressions, innermost first. Conjuncts for
  // functions with bodies are collected per receiving rule (the rule, or the
  // combine they occur in) and appended once that receiver's walk is done, so
  // that no container changes under it.
  Result<bool, CompileError> inline_functions() {
    pending_.clear();
    TRY(bool changed, inline_in(rule_, &rule_));
    flush(rule_);
    if (changed) simplify_record_subscripts(rule_);
    return changed;
  }

  // Appends the conjuncts collected for `receiver` to its body.
  void flush(Json& receiver) {
    auto it = pending_.find(&receiver);
    if (it == pending_.end()) return;
    Json::ArrayType& body = ensure_body(receiver);
    for (Json& c : it->second) body.push_back(std::move(c));
    pending_.erase(it);
  }

  // Only expression objects hold a "call" key; a "predicate" conjunct holds its call
  // directly and is left to injection. A combine's conjuncts go to the combine.
  Result<bool, CompileError> inline_in(Json& rule, Json* receiver) {
    // Per object entered: the rule that receives the conjuncts of calls below
    // it, and whether it holds a combine (then only the combine is walked).
    struct Scope {
      Json* receiver;
      bool holds_combine;
      bool aggregation;  // the object stands under the key "aggregation"
      bool aggregated;   // the object is the expression an aggregation aggregates
    };
    std::vector<Scope> scopes;
    bool changed = false;
    std::optional<CompileError> failed;
    walk_tree_mut(
        rule,
        [&](Json& node, std::string_view key) {
          Json* mine = receiver;
          bool aggregated = false;
          if (!scopes.empty()) {
            if (scopes.back().holds_combine && key != "combine") return Walk::Skip;
            mine = scopes.back().holds_combine ? &node : scopes.back().receiver;
            aggregated = key == "expression" && scopes.back().aggregation;
          }
          scopes.push_back(Scope{mine, node.has("combine"), key == "aggregation", aggregated});
          return Walk::Enter;
        },
        [&](Json& node) {
          const Scope scope = scopes.back();
          scopes.pop_back();
          if (!scope.holds_combine)
            return note(inline_call(node, scope.receiver, scope.aggregated), changed, failed);
          // The combine is walked: its conjuncts join it now, while it is
          // there. A call above may be inlined next and replace it by a copy.
          flush(node.at_mut("combine"));
          return Walk::Enter;
        });
    if (failed) return *failed;
    return changed;
  }

  // Replaces `node` when it is a call of a function of the program.
  // `aggregated`: the call is what an aggregation aggregates.
  Result<bool, CompileError> inline_call(Json& node, Json* receiver, bool aggregated) {
    const Json* call = node.get("call");
    if (!call) return false;
    const std::string name(call->at("predicate_name").as_str());
    if (is_keeping_aggregate(name) && (!aggregated || call_fields(*call).size() < 2))
      return CompileError(keeping_aggregate_outside(name), text());
    // A function of the program or of the engine's library takes the place of a
    // built-in of the same name: the library's Array orders by argument.
    const Json* callee = name == "nil" ? nullptr : source_.injectable_rule(name);
    if (name != "nil" && (!callee || !finder_.is_function(*callee))) return false;
    TRY_VOID(count());
    if (callee && !callee->has("body") && plain_parameters(*callee)) {
      if (std::optional<std::string> stray = value_name_without_argument(*callee))
        return CompileError(not_given_value_message(*stray), text());
      Json copy = fresh_names().copy(*callee);
      Json value = *head_field_value(copy, "quoril_value");
      // An argument the function does not take is refused as injection refuses
      // it, rather than dropped; one it takes and is not given has no value.
      for (const Json& a : call_fields(*call)) {
        std::string column = field_column(a);
        if (column != "quoril_value" && column != "*" && !head_field_value(copy, column))
          return CompileError("Predicate '" + name + "' has no column '" + column + "'.", text());
      }
      for (const Json& param : call_fields(copy.at("head"))) {
        std::string column = field_column(param);
        if (column == "quoril_value") continue;
        std::string var = *variable_name(*field_expression(param));
        const Json* arg = nullptr;
        for (const Json& a : call_fields(*call))
          if (field_column(a) == column) arg = field_expression(a);
        if (!arg)
          return CompileError(
              "Function '" + name + "' is called without a value for its argument '" + column + "'.", text());
        substitute_variable(value, var, *arg);
      }
      node = std::move(value);
      return true;
    }
    std::string var = source_.fresh_variable();
    Json new_call = *call;
    new_call.at_mut("record").at_mut("field_value").push(make_field("quoril_value", make_variable(var)));
    pending_[receiver].push_back(make_predicate_conjunct(std::move(new_call)));
    node = make_variable(var);
    return true;
  }

  // Whether every non-value head field is a distinct plain variable.
  bool plain_parameters(const Json& callee) const {
    std::vector<std::string> seen;
    for (const Json& f : call_fields(callee.at("head"))) {
      if (field_column(f) == "quoril_value") continue;
      const Json* e = field_expression(f);
      auto v = e ? variable_name(*e) : std::nullopt;
      if (!v || *v == "_") return false;
      for (const std::string& s : seen)
        if (s == *v) return false;
      seen.push_back(*v);
    }
    return true;
  }

  Result<bool, CompileError> inject_conjuncts(Json& rule) {
    bool changed = false;
    std::optional<CompileError> failed;
    size_t combines = 0;  // around the node the walk is at
    // Per combine around the node: whether its rows are counted.
    std::vector<bool> counted;
    const uint64_t conjunction_word = JsonKey::word_of("conjunction");
    const uint64_t combine_word = JsonKey::word_of("combine");
    walk_tree_mut(
        rule,
        [&](Json& node, std::string_view key) {
          // A variable's name holds no conjunction; skipped, it is not counted
          // after either.
          if (key == "variable") return Walk::Skip;
          // Both keys found in one pass over the entries.
          Json* conj = nullptr;
          for (auto& [name, child] : node.as_object_mut()) {
            const uint64_t word = name.word();
            if (word == combine_word) {
              ++combines;
              counted.push_back(rows_counted(child));
            } else if (word == conjunction_word) {
              conj = &child;
            }
          }
          if (conj == nullptr || !source_.may_inject_at(combines)) return Walk::Enter;
          const bool rows_count = counted.empty() ? rows_counted(rule) : counted.back();
          return note(splice_conjuncts(*conj, source_.may_inject_combines_at(combines), rows_count), changed,
                      failed);
        },
        [&](Json& node) {
          if (node.has("combine")) {
            --combines;
            counted.pop_back();
          }
          return Walk::Enter;
        });
    if (failed) return *failed;
    return changed;
  }

  // A function's value taken with an argument left out, whose parameter the
  // body never mentions, would leave that parameter unbound under a name of the
  // compiler's: refused as inlining refuses it. (One the body binds is fine.)
  Result<Unit, CompileError> function_arguments_given(const Json& call, const Json& callee,
                                                      const std::string& name) const {
    auto given = [&](const std::string& column) {
      const Json::ArrayType& arguments = call_fields(call);
      return std::any_of(arguments.begin(), arguments.end(),
                         [&](const Json& argument) { return field_column(argument) == column; });
    };
    const Json* body = callee.get("body");
    if (body == nullptr || !finder_.is_function(callee) || !given("quoril_value")) return Unit{};
    for (const Json& param : call_fields(callee.at("head"))) {
      const std::string column = field_column(param);
      if (column == "quoril_value" || column == "*" || given(column)) continue;
      const Json* expression = field_expression(param);
      const std::optional<std::string> variable = expression ? variable_name(*expression) : std::nullopt;
      if (variable && *variable != "_" && !contains_variable(*body, *variable))
        return CompileError(
            "Function '" + name + "' is called without a value for its argument '" + column + "'.", text());
    }
    return Unit{};
  }

  // Whether the callee's rule ranges over a list that may hold a value twice,
  // by an element nothing else of its body binds first: each copy is a row
  // of the callee. Only a callee whose body gives every value of its head
  // stands as a table of its own; a function is always inlined. (Spliced, its
  // inclusion is marked to range still, kRangesAs.)
  bool ranges_over_repeats(const Json& callee) {
    auto known = ranges_over_repeats_.find(&callee);
    if (known != ranges_over_repeats_.end()) return known->second;
    bool ranges = false;
    if (!finder_.is_function(callee)) {
      const CalleeSettled settled = settle_callee(callee, false);
      ranges = !settled.ranging.empty() && settled.head_bound;
    }
    ranges_over_repeats_.emplace(&callee, ranges);
    return ranges;
  }

  // The inclusions of a callee, by their place in its body, that range over a
  // list that may repeat a value when the callee stands as its own rule: a
  // value its caller gives them is one of the rows they range over, not a test
  // of membership. None for a function, whose call is a single value.
  const std::vector<size_t>& ranging_inclusions(const Json& callee) {
    auto known = ranging_inclusions_.find(&callee);
    if (known != ranging_inclusions_.end()) return known->second;
    std::vector<size_t> ranging;
    if (!finder_.is_function(callee)) ranging = settle_callee(callee, true).ranging;
    return ranging_inclusions_.emplace(&callee, std::move(ranging)).first->second;
  }

  struct CalleeSettled {
    std::vector<size_t> ranging;  // inclusions that bind over a list that may repeat
    bool head_bound = false;      // every value of the head is bound
  };

  // The callee's body settled as its own rule is: tables and predicates
  // first, then equalities as far as they go, then one inclusion at a time.
  // `given`: a head variable that nothing of the body can bind counts as
  // bound, as the caller's value, so a callee that needs one settles too.
  CalleeSettled settle_callee(const Json& callee, bool given) const {
    CalleeSettled settled;
    const Json::ArrayType* conjuncts = body_conjuncts(callee);
    if (conjuncts == nullptr) return settled;
    std::vector<std::string> bound;
    auto is_bound = [&](const std::string& v) {
      return std::find(bound.begin(), bound.end(), v) != bound.end();
    };
    // "_" is never bound: an expression holding one binds nothing.
    auto all_bound = [&](const Json& expression) {
      std::set<std::string> variables;
      collect_variables(expression, variables);
      return !contains_variable(expression, "_") && std::all_of(variables.begin(), variables.end(), is_bound);
    };
    // Variables standing where the body could bind them.
    std::set<std::string> bindable;
    auto may_bind = [&](const Json& expression) {
      if (std::optional<std::string> variable = variable_name(expression))
        bindable.insert(std::move(*variable));
    };
    std::vector<std::pair<size_t, const Json*>> pending;
    for (size_t i = 0; i < conjuncts->size(); ++i) {
      const Json& conjunct = (*conjuncts)[i];
      if (const Json* u = conjunct.get("unification")) {
        may_bind(u->at("left_hand_side"));
        may_bind(u->at("right_hand_side"));
        pending.emplace_back(i, &conjunct);
      }
      if (const Json* in = conjunct.get("inclusion")) {
        may_bind(in->at("element"));
        pending.emplace_back(i, &conjunct);
      }
      const Json* call = conjunct.get("predicate");
      if (call == nullptr) continue;
      const std::string_view name = call->at("predicate_name").as_str();
      if (name.empty() || name[0] < 'A' || name[0] > 'Z' || source_.is_built_in_function(name)) continue;
      for (const Json& field : call_fields(*call)) {
        const Json* value = field_expression(field);
        const std::optional<std::string> variable = value ? variable_name(*value) : std::nullopt;
        if (variable && *variable != "_") bound.push_back(*variable);
      }
    }
    if (given) {
      std::set<std::string> head;
      collect_variables(callee.at("head"), head);
      for (const std::string& variable : head)
        if (!bindable.count(variable) && !is_bound(variable)) bound.push_back(variable);
    }
    // Whether a conjunct binds a variable now, and which.
    auto binds = [&](const Json& conjunct, bool inclusions) -> std::optional<std::string> {
      if (const Json* u = conjunct.get("unification"); u != nullptr && !inclusions) {
        const Json& left = u->at("left_hand_side");
        const Json& right = u->at("right_hand_side");
        for (const auto& [side, other] : {std::pair{&left, &right}, std::pair{&right, &left}}) {
          const std::optional<std::string> variable = variable_name(*side);
          if (variable && *variable != "_" && !is_bound(*variable) && !contains_variable(*other, *variable) &&
              all_bound(*other))
            return variable;
        }
      }
      if (const Json* in = conjunct.get("inclusion"); in != nullptr && inclusions) {
        const std::optional<std::string> element = variable_name(in->at("element"));
        if (element && *element != "_" && !is_bound(*element) && all_bound(in->at("list"))) return element;
      }
      return std::nullopt;
    };
    for (bool progress = true; progress;) {
      progress = false;
      for (bool unified = true; unified;) {
        unified = false;
        for (auto& [index, conjunct] : pending)
          if (conjunct != nullptr)
            if (std::optional<std::string> variable = binds(*conjunct, false)) {
              bound.push_back(std::move(*variable));
              conjunct = nullptr;
              unified = true;
            }
      }
      for (auto& [index, conjunct] : pending)
        if (conjunct != nullptr)
          if (std::optional<std::string> variable = binds(*conjunct, true)) {
            if (!known_distinct(conjunct->at("inclusion").at("list"))) settled.ranging.push_back(index);
            bound.push_back(std::move(*variable));
            conjunct = nullptr;
            progress = true;
            break;
          }
    }
    settled.head_bound = true;
    for (const Json& field : call_fields(callee.at("head"))) {
      const Json* value = field_expression(field);
      if (value == nullptr || !all_bound(*value)) settled.head_bound = false;
    }
    return settled;
  }

  // Whether a call, taken out of its conjunction, gives its callee a value
  // that the rest of the rule may bind: a constant or expression, or a variable
  // named again in the body or in the conjuncts still around it.
  bool call_may_be_given(const Json& call, std::span<const Json> around, std::span<const Json> rest) const {
    for (const Json& field : call_fields(call)) {
      const Json* value = field_expression(field);
      if (value == nullptr || is_anonymous(*value)) continue;
      const std::optional<std::string> variable = variable_name(*value);
      if (!variable) return true;
      const Json* body = rule_.get("body");
      if (body != nullptr && contains_variable(*body, *variable)) return true;
      for (std::span<const Json> part : {around, rest})
        for (const Json& conjunct : part)
          if (contains_variable(conjunct, *variable)) return true;
    }
    return false;
  }

  // Splices the bodies of injectable callees into a conjunction. Where the
  // conjunction's rows are counted, a callee that ranges over a list that may
  // repeat a value stays a call when the rule may bind its values; spliced,
  // its ranging inclusions are marked, so that a value the caller binds first
  // is met once for each time the list holds it.
  Result<bool, CompileError> splice_conjuncts(Json& conjunction, bool combines_too, bool rows_count) {
    bool changed = false;
    // One pass with a stack of conjuncts still to examine: spliced conjuncts are
    // examined next, in their order, and the list is rebuilt once.
    Json::ArrayType& conjuncts = conjunction.at_mut("conjunct").as_array_mut();
    std::vector<Json> pending(std::make_move_iterator(conjuncts.rbegin()),
                              std::make_move_iterator(conjuncts.rend()));
    Json::ArrayType out;
    while (!pending.empty()) {
      Json conjunct = std::move(pending.back());
      pending.pop_back();
      const Json* call = conjunct.get("predicate");
      const Json* callee = call && !has_rest_field(*call)
                               ? source_.injectable_rule(call->at("predicate_name").as_str())
                               : nullptr;
      if (!callee || (!combines_too && body_holds_combine(*callee)) ||
          (rows_count && ranges_over_repeats(*callee) && call_may_be_given(*call, out, pending))) {
        out.push_back(std::move(conjunct));
        continue;
      }
      const std::string name(call->at("predicate_name").as_str());
      TRY_VOID(count());
      TRY_VOID(function_arguments_given(*call, *callee, name));
      // Only the body's conjuncts are copied, and the head's values the call
      // unifies: the rest of the callee is only named, in the order a copy of
      // the whole would name it.
      FreshNames names = fresh_names();
      Json::ArrayType spliced;
      bool body_work = false;
      const FreshNames::Probe probe = [&](const Json& node) {
        return body_work = finder_.calls_for_work(node);
      };
      for (const auto& [key, part] : callee->as_object()) {
        if (key.view() != "body") {
          names.name(part);
          continue;
        }
        for (const auto& [body_key, conjunction] : part.as_object()) {
          if (body_key.view() != "conjunction") {
            names.name(conjunction);
            continue;
          }
          for (const auto& [conjunction_key, conjuncts] : conjunction.as_object()) {
            if (conjunction_key.view() != "conjunct") {
              names.name(conjuncts);
              continue;
            }
            spliced.reserve(conjuncts.as_array().size() + call_fields(*call).size());
            const std::vector<size_t> no_inclusions;
            const std::vector<size_t>& ranging = rows_count ? ranging_inclusions(*callee) : no_inclusions;
            for (const Json& conjunct : conjuncts.as_array()) {
              TreeExtent part;
              spliced.push_back(names.copy(conjunct, body_work ? nullptr : &probe, &part));
              bound_spliced(part);
              const size_t at = static_cast<size_t>(&conjunct - conjuncts.as_array().data());
              if (std::find(ranging.begin(), ranging.end(), at) != ranging.end())
                spliced.back().at_mut("inclusion").as_object_mut()[kRangesAs] =
                    Json(source_.fresh_variable());
            }
          }
        }
      }
      const size_t unifications = spliced.size();
      Json::ArrayType no_fields;
      // The call goes with its conjunct: its values move into the unifications.
      Json* record = conjunct.at_mut("predicate").get_mut("record");
      Json* fields = record != nullptr ? record->get_mut("field_value") : nullptr;
      for (Json& f : fields != nullptr && fields->is_array() ? fields->as_array_mut() : no_fields) {
        const Json* value = field_expression(f);
        if (!value || is_anonymous(*value)) continue;
        std::string column = field_column(f);
        const Json* head_value = head_field_value(*callee, column);
        if (!head_value)
          return CompileError("Predicate '" + name + "' has no column '" + column + "'.", text());
        TreeExtent part;
        spliced.push_back(make_unification(names.copy(*head_value, nullptr, &part),
                                           std::move(f.at_mut("value").at_mut("expression"))));
        // The unification and its conjunct above the head's value; the call's
        // value it takes stood deeper in the rule, and is counted there.
        bound_spliced(TreeExtent{part.nodes + 2, part.depth + 2});
      }
      brought_work_ = brought_work_ || body_work ||
                      finder_.may_bring_work(std::span<const Json>(spliced).subspan(unifications));
      for (auto it = spliced.rbegin(); it != spliced.rend(); ++it) pending.push_back(std::move(*it));
      changed = true;
    }
    conjuncts = std::move(out);
    return changed;
  }

  // A conjunct of extent `part` spliced into a conjunction, whose items stand
  // no deeper than the rule reaches.
  void bound_spliced(const TreeExtent& part) {
    if (!bound_) return;
    bound_->nodes += part.nodes;
    bound_->depth = std::max(bound_->depth, bound_->depth - 1 + part.depth);
  }

  Json& rule_;
  InjectionSource& source_;
  WorkFinder finder_;
  int rewrites_ = 0;
  std::map<Json*, std::vector<Json>> pending_;
  std::map<const Json*, bool> ranges_over_repeats_;
  std::map<const Json*, std::vector<size_t>> ranging_inclusions_;
  // The rule's extent as last measured, while it stands so, or a bound of it.
  std::optional<TreeExtent> extent_;
  // While only splicing changes the rule: no less than its extent.
  std::optional<TreeExtent> bound_;
  // Whether the conjuncts spliced in this round may give the next one work.
  bool brought_work_ = false;
  const DepthBound& max_depth_;
};

}  // namespace

DepthBound max_rule_depth(const Json& rule) {
  return DepthBound(kTreeLevelsPerNesting * DepthGuard::limit(), &rule);
}

Result<Unit, CompileError> inject_into_rule(Json& rule, InjectionSource& source) {
  // Measured now: the rule is changed in place.
  const DepthBound max_depth(std::max(kTreeLevelsPerNesting * DepthGuard::limit(), tree_extent(rule).depth));
  return Injector(rule, source, max_depth).run();
}

Result<Unit, CompileError> inject_into_rule(Json& rule, InjectionSource& source, const RewriteWork& work,
                                            const DepthBound& max_depth, std::optional<TreeExtent>& extent) {
  Injector injector(rule, source, max_depth);
  Result<Unit, CompileError> done = injector.run(work);
  extent = injector.extent();
  return done;
}

RewriteWork rewrite_work(const Json& rule, const InjectionSource& source) {
  return WorkFinder(source).find_work(rule, true);
}

}  // namespace mirtova
