// Combine decoration, elimination of compiler variables, and variable walks.
#include "compiler/rule_translate/rewrites.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "common/internal_fault.h"
#include "parser/tree_access.h"
#include "parser/tree_build.h"
#include "parser/tree_walk.h"

namespace mirtova {

namespace {

bool is_compiler_variable(const Json& expr, std::string& name) {
  auto v = variable_name(expr);
  if (!v || v->rfind("x_", 0) != 0) return false;
  name = *v;
  return true;
}

// Whether putting `replacement` for a compiler variable keeps every other
// compiler variable bound as it was: it is a variable, or holds none. Put
// first, `x_0 == x_1 - 2` would leave `x_1 == x_0` as `x_1 == x_1 - 2`, and
// x_1 bound by nothing.
bool binds_plainly(const Json& replacement) {
  if (replacement.has("variable")) return true;
  return walk_tree(replacement, [](const Json& object) {
    const Json* v = object.get("variable");
    const Json* n = v != nullptr ? v->get("var_name") : nullptr;
    if (n == nullptr) return Walk::Enter;
    return n->is_str() && n->as_str().starts_with("x_") ? Walk::Stop : Walk::Skip;
  });
}

size_t count_variable(const Json& node, std::string_view name) {
  size_t count = 0;
  walk_tree(node, [&](const Json& object) {
    const Json* v = object.get("variable");
    const Json* n = v != nullptr ? v->get("var_name") : nullptr;
    if (n == nullptr) return Walk::Enter;
    if (n->var_name_is(name)) ++count;
    return Walk::Skip;
  });
  return count;
}

// Finds one eliminable unification in the body of `rule` or of any combine inside
// it, the first in document order that binds plainly, else the first; on
// success removes it and reports the
// variable and what replaces it. Inside a combine (a negation is one) a
// unification binds the variable only when the variable is the combine's own:
// one that the enclosing rule, or the rule around a combine translated on its
// own (`fixed`), also reads is compared there, not bound.
bool take_binding(Json& rule, const Vocabulary* fixed, std::string& var, Json& replacement, bool plainly) {
  bool taken = false;
  std::vector<const Json*> combines;
  auto local_to = [&](const std::string& name) {
    if (fixed != nullptr && fixed->count(name) > 0) return false;
    return combines.empty() || count_variable(*combines.back(), name) == count_variable(rule, name);
  };
  walk_tree_mut(
      rule,
      [&](Json& node) {
        if (const Json* c = node.get("combine")) combines.push_back(c);
        Json* conj = node.get_mut("conjunction");
        if (conj == nullptr) return Walk::Enter;
        Json::ArrayType& conjuncts = conj->at_mut("conjunct").as_array_mut();
        for (size_t i = 0; i < conjuncts.size(); ++i) {
          Json* u = conjuncts[i].get_mut("unification");
          if (!u) continue;
          Json& left = u->at_mut("left_hand_side");
          Json& right = u->at_mut("right_hand_side");
          std::string name;
          // The unification is erased below, so its other side moves out.
          if (is_compiler_variable(left, name) && !contains_variable(right, name) && local_to(name) &&
              (!plainly || binds_plainly(right))) {
            var = name;
            replacement = std::move(right);
          } else if (is_compiler_variable(right, name) && !contains_variable(left, name) && local_to(name) &&
                     (!plainly || binds_plainly(left))) {
            var = name;
            replacement = std::move(left);
          } else {
            continue;
          }
          // The walk stops here, before it looks at the list it would change under.
          conjuncts.erase(conjuncts.begin() + static_cast<std::ptrdiff_t>(i));
          taken = true;
          return Walk::Stop;
        }
        return Walk::Enter;
      },
      [&](Json& node) {
        if (node.get("combine") != nullptr) combines.pop_back();
      });
  return taken;
}

// The name node of a variable expression, or nullptr.
const Json* var_name_of(const Json& node) {
  const Json* v = node.get("variable");
  return v != nullptr ? v->get("var_name") : nullptr;
}

// Whether putting `replacement` where a variable stood can make a subscript of a
// record literal that simplify_record_subscripts would rewrite, once the rule
// around it has none: as the subscripted record, as the subscript, or inside.
bool may_make_record_subscript(const Json& replacement) {
  if (replacement.has("record") || replacement.has("literal")) return true;
  return !walk_tree(replacement,
                    [](const Json& node) { return node.has("subscript") ? Walk::Stop : Walk::Enter; });
}

// A rule's extent, as tree_extent measures it, and whether any of its objects
// is a subscript: without one, simplify_record_subscripts has nothing to do
// until a replacement brings one in. One pass for both.
struct ExtentAndSubscripts {
  TreeExtent extent;
  bool subscripts = false;
};

ExtentAndSubscripts extent_and_subscripts(const Json& tree) {
  ExtentAndSubscripts out;
  out.extent = tree_extent(
      tree, [&](const auto& key) { out.subscripts = out.subscripts || key.view() == "subscript"; });
  return out;
}

// Where a rule's compiler variables stand and where its unifications are,
// found in one walk: each binding taken is then put in its places, and the next
// one sought among the unifications, without walking the whole rule again. It
// follows a rule whose conjunctions stay where they are: a replacement is a
// side of a unification, so when no side holds a conjunction, no replacement
// brings one and none leaves with an erased unification.
class BindingIndex {
 public:
  // False, with nothing changed but shared nodes made the rule's own, when a
  // unification holds a conjunction.
  // `subscripts` tells whether an object of the rule has a subscript key, when
  // the whole rule was walked.
  bool build(Json& rule, bool& subscripts) {
    std::vector<const Json*> combines;
    // Per object entered: whether it holds a combine, a unification.
    std::vector<uint8_t> holds;
    holds.reserve(tree_walk_detail::kWalkStackRoom);
    constexpr uint8_t kCombine = 1, kUnification = 2;
    size_t unifications = 0;  // around the node the walk is at
    bool followed = true;
    // A rule names a few dozen variables: room for them at once.
    occurrences_.reserve(tree_walk_detail::kWalkStackRoom);
    // The keys are told by their words: one pass over an object's entries.
    const uint64_t subscript_word = JsonKey::word_of("subscript");
    const uint64_t variable_word = JsonKey::word_of("variable");
    const uint64_t combine_word = JsonKey::word_of("combine");
    const uint64_t unification_word = JsonKey::word_of("unification");
    const uint64_t conjunction_word = JsonKey::word_of("conjunction");
    walk_tree_mut(
        rule,
        [&](Json& node) {
          bool variable = false, conjunction = false;
          uint8_t held = 0;
          for (const auto& entry : std::as_const(node).as_object()) {
            const uint64_t word = entry.first.word();
            if (word == subscript_word)
              subscripts = true;
            else if (word == variable_word)
              variable = true;
            else if (word == combine_word)
              held |= kCombine;
            else if (word == unification_word)
              held |= kUnification;
            else if (word == conjunction_word)
              conjunction = true;
          }
          if (variable && note_occurrence(node, occurrences_)) return Walk::Skip;
          if (held & kCombine) combines.push_back(node.get_mut("combine"));
          if (held & kUnification) ++unifications;
          holds.push_back(held);
          if (!conjunction) return Walk::Enter;
          if (unifications > 0) {
            followed = false;
            return Walk::Stop;
          }
          Json::ArrayType& conjuncts = node.get_mut("conjunction")->at_mut("conjunct").as_array_mut();
          const Json* combine = combines.empty() ? nullptr : combines.back();
          for (size_t i = 0; i < conjuncts.size(); ++i)
            if (conjuncts[i].has("unification")) candidates_.push_back(Candidate{&conjuncts, i, combine});
          return Walk::Enter;
        },
        [&](Json&) {
          const uint8_t held = holds.back();
          holds.pop_back();
          if (held & kCombine) combines.pop_back();
          if (held & kUnification) --unifications;
        });
    return followed;
  }

  // take_binding, read from the index: the same unification, by the same tests.
  bool take(const Vocabulary* fixed, std::string& var, Json& replacement) {
    return take(fixed, var, replacement, true) || take(fixed, var, replacement, false);
  }

  bool take(const Vocabulary* fixed, std::string& var, Json& replacement, bool plainly) {
    for (size_t k = 0; k < candidates_.size(); ++k) {
      const Candidate candidate = candidates_[k];
      Json* u = (*candidate.conjuncts)[candidate.index].get_mut("unification");
      if (u == nullptr) continue;
      auto local_to = [&](const std::string& name) {
        if (fixed != nullptr && fixed->count(name) > 0) return false;
        return candidate.combine == nullptr || count_variable(*candidate.combine, name) == count(name);
      };
      Json& left = u->at_mut("left_hand_side");
      Json& right = u->at_mut("right_hand_side");
      std::string name;
      Json* taken = nullptr;
      if (is_compiler_variable(left, name) && !contains_variable(right, name) && local_to(name))
        taken = &right;
      else if (is_compiler_variable(right, name) && !contains_variable(left, name) && local_to(name))
        taken = &left;
      if (taken != nullptr && plainly && !binds_plainly(*taken)) taken = nullptr;
      if (taken == nullptr) continue;
      // Bound to a variable, the commonest binding, the unification holds two
      // places at most: its sides.
      if (var_name_of(*taken) != nullptr)
        std::erase_if(occurrences_, [&](const Occurrence& o) { return o.slot == &left || o.slot == &right; });
      else
        forget((*candidate.conjuncts)[candidate.index]);
      var = name;
      replacement = std::move(*taken);
      candidate.conjuncts->erase(candidate.conjuncts->begin() + static_cast<std::ptrdiff_t>(candidate.index));
      candidates_.erase(candidates_.begin() + static_cast<std::ptrdiff_t>(k));
      for (Candidate& other : candidates_)
        if (other.conjuncts == candidate.conjuncts && other.index > candidate.index) --other.index;
      return true;
    }
    return false;
  }

  // substitute_variable, at the places the index knows. The last place takes
  // the replacement itself, which is left moved from.
  size_t substitute(const std::string& var, Json& replacement) {
    size_t copies = 0;
    size_t last = occurrences_.size();
    for (size_t i = occurrences_.size(); i-- > 0;)
      if (occurrences_[i].name == var) {
        last = i;
        break;
      }
    std::vector<Occurrence> kept;
    kept.reserve(occurrences_.size());
    std::vector<Occurrence> brought;
    for (size_t i = 0; i < occurrences_.size(); ++i) {
      Occurrence& occurrence = occurrences_[i];
      if (occurrence.name != var) {
        kept.push_back(std::move(occurrence));
        continue;
      }
      if (i == last)
        *occurrence.slot = std::move(replacement);
      else
        *occurrence.slot = replacement;
      ++copies;
      // A variable put for a variable, the commonest binding, is noted without a walk.
      if (note_occurrence(*occurrence.slot, brought)) continue;
      walk_tree_mut(*occurrence.slot,
                    [&](Json& node) { return note_occurrence(node, brought) ? Walk::Skip : Walk::Enter; });
    }
    for (Occurrence& occurrence : brought) kept.push_back(std::move(occurrence));
    occurrences_ = std::move(kept);
    return copies;
  }

 private:
  // The name is read where the variable stands: the place is forgotten
  // before anything replaces or erases what it holds.
  struct Occurrence {
    std::string_view name;
    Json* slot;
  };
  // A unification conjunct: its conjunction's list, its place there, and the
  // innermost combine around it.
  struct Candidate {
    Json::ArrayType* conjuncts;
    size_t index;
    const Json* combine;
  };

  // Whether `node` is a variable; a compiler variable's place is kept in `out`.
  static bool note_occurrence(Json& node, std::vector<Occurrence>& out) {
    const Json* n = var_name_of(node);
    if (n == nullptr) return false;
    if (n->is_str()) {
      std::string_view name = n->as_str();
      if (name.starts_with("x_")) out.push_back(Occurrence{name, &node});
    }
    return true;
  }

  size_t count(std::string_view name) const {
    return static_cast<size_t>(std::count_if(occurrences_.begin(), occurrences_.end(),
                                             [&](const Occurrence& o) { return o.name == name; }));
  }

  // Drops the places inside a unification about to be erased.
  void forget(Json& conjunct) {
    std::vector<Occurrence> inside;
    walk_tree_mut(conjunct,
                  [&](Json& node) { return note_occurrence(node, inside) ? Walk::Skip : Walk::Enter; });
    std::erase_if(occurrences_, [&](const Occurrence& o) {
      return std::any_of(inside.begin(), inside.end(), [&](const Occurrence& i) { return i.slot == o.slot; });
    });
  }

  std::vector<Occurrence> occurrences_;
  std::vector<Candidate> candidates_;
};

}  // namespace

bool contains_variable(const Json& node, std::string_view name) {
  // Most trees asked about are one variable: no walk for them.
  if (const Json* n = var_name_of(node)) return n->var_name_is(name);
  return !walk_tree(node, [&](const Json& object) {
    const Json* n = var_name_of(object);
    if (n == nullptr) return Walk::Enter;
    return n->var_name_is(name) ? Walk::Stop : Walk::Skip;
  });
}

size_t substitute_variable(Json& node, std::string_view name, const Json& replacement) {
  size_t count = 0;
  walk_tree_mut(node, [&](Json& object) {
    const Json* n = var_name_of(object);
    if (n == nullptr) return Walk::Enter;
    if (n->var_name_is(name)) {
      object = replacement;
      ++count;
    }
    return Walk::Skip;
  });
  return count;
}

void simplify_record_subscripts(Json& node) {
  // After the values: a subscript of a record that itself held one is seen
  // already simplified.
  walk_tree_mut(
      node, [](Json&) { return Walk::Enter; },
      [](Json& object) {
        const Json* sub = object.get("subscript");
        if (!sub) return;
        const Json* record = sub->get("record");
        const Json* literal = record ? record->get("record") : nullptr;
        const Json* symbol = sub->get("subscript");
        if (!literal || !symbol) return;
        const Json* lit = symbol->get("literal");
        const Json* sym = lit ? lit->get("the_symbol") : nullptr;
        if (!sym) return;
        const std::string_view field_name = sym->at("symbol").as_str();
        const Json::ArrayType* entries = nullptr;
        if (const Json* fv = literal->get("field_value")) entries = &fv->as_array();
        if (!entries) return;
        for (const Json& field : *entries) {
          const Json& f = field.at("field");
          if (f.is_str() && f.as_str() == field_name) {
            if (const Json* e = field_expression(field)) {
              Json replacement = *e;
              object = std::move(replacement);
            }
            return;
          }
        }
      });
}

void collect_variables(const Json& node, std::set<std::string>& out) {
  walk_tree(node, [&](const Json& object) {
    const Json* n = var_name_of(object);
    if (n == nullptr) return Walk::Enter;
    std::string name = n->as_var_name();
    if (name != "_") out.insert(std::move(name));
    return Walk::Skip;
  });
}

// Takes the rule by value so that a caller done with its copy can move it in.
Json decorate_combine_rule(Json rule, const std::string& var) {
  Json::ArrayType& fields = rule.at_mut("head").at_mut("record").at_mut("field_value").as_array_mut();
  for (Json& field : fields) {
    Json* value = field.get_mut("value");
    Json* aggregation = value ? value->get_mut("aggregation") : nullptr;
    if (!aggregation) continue;
    // Recursion unfolding may have replaced an aggregation that shares its name with
    // a predicate of the program by that predicate's value; there is no call to wrap.
    Json* expression = aggregation->get_mut("expression");
    Json* call_node = expression ? expression->get_mut("call") : nullptr;
    Json* record = call_node ? call_node->get_mut("record") : nullptr;
    if (record == nullptr) continue;
    Json& call = *call_node;
    Json::ArrayType& args = record->at_mut("field_value").as_array_mut();
    if (args.empty()) throw InternalFault("aggregation without an argument");
    Json* arg = args[0].at_mut("value").get_mut("expression");
    if (!arg) throw InternalFault("aggregation argument is not an expression");
    // An inlined library aggregation (ArgMin, ArgMax, Array on some engines) is a
    // SqlExpr whose first argument must stay a text literal: entangle the values it
    // names instead.
    const Json* name = call.get("predicate_name");
    if (name != nullptr && name->is_str() && name->as_str() == "SqlExpr") {
      if (args.size() == 2) {
        Json* values = args[1].at_mut("value").get_mut("expression");
        Json* record = values ? values->get_mut("record") : nullptr;
        if (record != nullptr) {
          for (Json& entry : record->at_mut("field_value").as_array_mut()) {
            Json* value = entry.at_mut("value").get_mut("expression");
            if (value == nullptr || value->get("literal") != nullptr) continue;
            *value =
                make_call_expr("MagicalEntangle", {make_field(0, *value), make_field(1, make_variable(var))});
          }
        }
      }
      continue;
    }
    Json wrapped = make_call_expr("MagicalEntangle",
                                  {make_field(0, std::move(*arg)), make_field(1, make_variable(var))});
    *arg = std::move(wrapped);
  }
  ensure_body(rule).push_back(make_inclusion(make_variable(var), make_list_literal({make_number(0)})));
  return rule;
}

bool eliminate_compiler_variables(Json& rule, size_t max_nodes, const DepthBound& max_depth,
                                  const Vocabulary* fixed, std::optional<TreeExtent> extent) {
  // Each variable is put in every place it stood, so a chain of bindings each
  // used twice doubles the rule at every link: the growth is counted as it goes
  // (an upper bound, measured exactly only when it passes the limit).
  // Simplifying rewrites the rule around the places the index would keep.
  BindingIndex index;
  bool subscripts = false;
  const bool indexed = index.build(rule, subscripts) && !subscripts;
  // Without the index the rule is measured at once. With it, only once a
  // binding is taken, if the caller has not: most rules have none, and the
  // rule without the one taken still bounds what follows.
  if (!indexed) {
    const ExtentAndSubscripts measured = extent_and_subscripts(rule);
    extent = measured.extent;
    subscripts = measured.subscripts;
  }
  std::string var;
  Json replacement;
  // The first simplification leaves none to make; a later one can only find
  // what a replacement brought. A rule that holds no subscript (most do not)
  // never will: every replacement is a part of it moved elsewhere.
  bool simplified = false;
  for (;;) {
    const bool taken = indexed ? index.take(fixed, var, replacement)
                               : take_binding(rule, fixed, var, replacement, true) ||
                                     take_binding(rule, fixed, var, replacement, false);
    if (!taken) break;
    if (!extent) extent = tree_extent(rule);
    const TreeExtent added = tree_extent(replacement);
    // Indexed, the rule holds no subscript, so the replacement is not read again.
    const size_t copies =
        indexed ? index.substitute(var, replacement) : substitute_variable(rule, var, replacement);
    extent->nodes += copies * added.nodes;
    if (copies > 0) extent->depth += added.depth;
    if (extent->nodes > max_nodes || max_depth.passed_by(extent->depth)) {
      extent = tree_extent(rule);
      if (extent->nodes > max_nodes || max_depth.passed_by(extent->depth)) return false;
    }
    if (subscripts && (!simplified || may_make_record_subscript(replacement)))
      simplify_record_subscripts(rule);
    simplified = true;
  }
  return true;
}

}  // namespace mirtova
