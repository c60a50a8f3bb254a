// The rule safety check and the texts of its findings.
#include "verifier/safety.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "common/compile_error.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"
#include "verifier/bindings.h"
#include "verifier/rule_origins.h"
#include "verifier/vars.h"
#include "verifier/verify_error.h"

namespace mirtova::verifier {

std::string SafetyError::text() const {
  const std::string& rule = this->rule.str();
  switch (kind) {
    case SafetyKind::UnboundHeadVariable:
      return "Unbound variable '" + name + "' in head of rule: " + rule;
    case SafetyKind::UnboundComparedVariable:
      return "Unbound variable '" + name +
             "': it is tested (compared, negated, matched) but never given a value in: " + rule;
    case SafetyKind::UnsafeNegation:
      return "Unsafe negation: variable '" + name + "' only appears negated in: " + rule;
    case SafetyKind::UnsafeAggregation:
      return "Unsafe aggregation: variable '" + name + "' not bound outside aggregate in: " + rule;
    case SafetyKind::FunctionAsCondition:
      return "'" + name + "' is a function: as a condition, " + name +
             "(...) holds whatever its value; compare " + "its value (" + name + "(...) == true) in: " + rule;
    case SafetyKind::DisjunctionInside:
      return verifier::text(DisjunctionNotSupported{rule});
    case SafetyKind::NotGivenValue:
      // The compiler's own words for a variable that nothing binds.
      return not_given_value_message(name);
    case SafetyKind::AggregateOutside:
      if (name == "ArgMaxK" || name == "ArgMinK")
        return name +
               " is an aggregate that takes how many values to keep: name it with the count, `Top2(x) = " +
               name +
               "(x, 2);`, and aggregate with it in a head with distinct, `best? Top2= item -> score`, in: " +
               rule;
      return "'" + name + "' is an aggregate: aggregate in a head with distinct (`n? " + name +
             "= x`) or in a combine (`(combine " + name + "= x :- ...)`), in: " + rule;
  }
  return rule;
}

namespace {

using Names = std::set<std::string, std::less<>>;

const Json::ArrayType* record_entries(const Json* record) {
  const Json* entries = record != nullptr ? record->get("field_value") : nullptr;
  return entries != nullptr && entries->is_array() ? &entries->as_array() : nullptr;
}

const Json::ArrayType* head_entries(const Json& rule) {
  const Json* head = rule.get("head");
  return record_entries(head != nullptr ? head->get("record") : nullptr);
}

bool is_value_field(const Json& entry) {
  const Json* field = entry.get("field");
  return field != nullptr && field->is_str() && field->as_str() == "quoril_value";
}

bool has_value_field(const Json::ArrayType* entries) {
  return entries != nullptr && std::any_of(entries->begin(), entries->end(), is_value_field);
}

// A value's expression, or the value itself when it holds none.
const Json& expression_or_self(const Json& value) {
  const Json* expression = value.get("expression");
  return expression != nullptr ? *expression : value;
}

// A function without a body has only its arguments to give its value: the
// names its value reads outside its combines (in a list literal too) that
// they do not give, in byte order. Compile refuses any call of it that reads
// one, in the words of NotGivenValue.
Names value_names_not_given(const Json& rule, const VarSet& inputs) {
  Names names;
  const Json::ArrayType* entries = head_entries(rule);
  if (entries == nullptr) return names;
  for (const Json& entry : *entries) {
    const Json* value = is_value_field(entry) ? entry.get("value") : nullptr;
    if (value == nullptr) continue;
    walk_tree(expression_or_self(*value), [&](const Json& node, std::string_view key) {
      if (key == "combine") return Walk::Skip;
      const Json* variable = node.get("variable");
      const Json* name = variable != nullptr ? variable->get("var_name") : nullptr;
      if (name == nullptr) return Walk::Enter;
      std::string text = name->as_var_name();
      if (text != "_" && inputs.count(text) == 0) names.insert(std::move(text));
      return Walk::Skip;
    });
  }
  return names;
}

// The functions of the rules: names whose every rule is a functional definition.
Names functions_of(const RuleList& rules) {
  std::map<std::string_view, bool> functional;
  for (const Json* rule : rules) {
    const bool is_function = has_value_field(head_entries(*rule));
    auto [at, added] = functional.emplace(head_name(*rule), is_function);
    if (!added) at->second = at->second && is_function;
  }
  Names functions;
  for (const auto& [name, is_function] : functional)
    if (is_function) functions.emplace(name);
  return functions;
}

// A function written as a bare condition holds whatever its value is. The
// conditions of a rule are the calls under "predicate" keys; a negation is one
// itself, so what it negates is not searched.
void add_functions_as_conditions(const Json& rule, const Names& functions,
                                 std::vector<SafetyError>& findings) {
  if (functions.empty() || !rule.has("body")) return;
  std::vector<const Json*> conditions;
  walk_tree(rule, [&](const Json& node, std::string_view key) {
    if (key == "predicate") return Walk::Skip;
    if (const Json* condition = node.get("predicate")) conditions.push_back(condition);
    return Walk::Enter;
  });
  std::optional<SharedText> text;  // made at the first finding, shared by the rest
  for (const Json* condition : conditions) {
    const Json* name = condition->get("predicate_name");
    if (name == nullptr || !name->is_str() || functions.count(name->as_str()) == 0) continue;
    if (has_value_field(record_entries(condition->get("record")))) continue;
    if (!text) text = SharedText(rule_text(rule));
    findings.push_back(SafetyError{SafetyKind::FunctionAsCondition, *text, std::string(name->as_str())});
  }
}

// A call expression's name and its number of arguments.
struct CallOf {
  std::string_view name;
  size_t arguments;
};

std::optional<CallOf> call_of(const Json& node) {
  const Json* call = node.get("call");
  const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
  if (name == nullptr || !name->is_str()) return std::nullopt;
  const Json::ArrayType* entries = record_entries(call->get("record"));
  return CallOf{name->as_str(), entries != nullptr ? entries->size() : 0};
}

bool asks_for_count(std::string_view name) { return name == "ArgMaxK" || name == "ArgMinK"; }

// The built-in aggregates, and every function defined as a call of one, at any
// length of chain: a call of such a function aggregates too.
Names aggregates_of(const RuleList& rules) {
  Names aggregates(kBuiltInAggregates.begin(), kBuiltInAggregates.end());
  // The functions defined by a call of each name. Growing the set from the
  // catalogue through this map reaches what repeated passes over the rules
  // would, in time linear in the rules.
  std::map<std::string_view, std::vector<std::string_view>> defined_by_call_of;
  for (const Json* rule : rules) {
    const Json::ArrayType* entries = head_entries(*rule);
    if (entries == nullptr) continue;
    for (const Json& entry : *entries) {
      const Json* value = entry.get("value");
      if (!is_value_field(entry) || value == nullptr) continue;
      if (std::optional<CallOf> call = call_of(expression_or_self(*value)))
        defined_by_call_of[call->name].push_back(head_name(*rule));
    }
  }
  std::vector<std::string_view> grown(aggregates.begin(), aggregates.end());
  while (!grown.empty()) {
    auto callers = defined_by_call_of.find(grown.back());
    grown.pop_back();
    if (callers == defined_by_call_of.end()) continue;
    for (std::string_view caller : callers->second)
      if (aggregates.emplace(caller).second) grown.push_back(caller);
  }
  return aggregates;
}

// The aggregates a rule calls where nothing aggregates, in order of first
// call, each once. An aggregation is the one place an aggregate call belongs;
// its arguments are searched as any other expression.
std::vector<std::string> aggregates_outside(const Json& rule, const Names& aggregates) {
  std::vector<std::string> found;
  // Pushed in reverse, so that nodes come off in document order.
  std::vector<const Json*> pending;
  auto push_values = [&](const Json& node) {
    if (node.is_array()) {
      for (auto it = node.as_array().rbegin(); it != node.as_array().rend(); ++it) pending.push_back(&*it);
    } else if (node.is_object()) {
      const Json::ObjectType& values = node.as_object();
      for (auto it = std::make_reverse_iterator(values.end());
           it != std::make_reverse_iterator(values.begin()); ++it)
        if (it->first.view() != "aggregation") pending.push_back(&it->second);
    }
  };
  auto add = [&](std::string_view name) {
    if (std::find(found.begin(), found.end(), name) == found.end()) found.emplace_back(name);
  };
  if (const Json* body = rule.get("body")) pending.push_back(body);
  if (const Json::ArrayType* entries = head_entries(rule)) {
    for (auto it = entries->rbegin(); it != entries->rend(); ++it) {
      const Json* value = it->get("value");
      if (!is_value_field(*it) && value != nullptr) pending.push_back(value);
    }
  }
  while (!pending.empty()) {
    const Json& node = *pending.back();
    pending.pop_back();
    if (!node.is_object()) {
      push_values(node);
      continue;
    }
    if (const Json* aggregation = node.get("aggregation")) {
      std::optional<CallOf> call = call_of(expression_or_self(*aggregation));
      if (!call) continue;
      if (asks_for_count(call->name) && call->arguments < 2) add(call->name);
      const Json::ArrayType* arguments =
          record_entries(expression_or_self(*aggregation).at("call").get("record"));
      if (arguments == nullptr) continue;
      for (auto it = arguments->rbegin(); it != arguments->rend(); ++it)
        if (const Json* value = it->get("value")) pending.push_back(&expression_or_self(*value));
      continue;
    }
    if (std::optional<CallOf> call = call_of(node); call && aggregates.count(call->name) != 0)
      add(call->name);
    push_values(node);
  }
  return found;
}

// The combine of an expression that is the negated body of a negation, which
// is read as IsNull of a combine; nullptr for any other node.
const Json* negated_combine(const Json& node) {
  const Json* predicate = node.get("predicate");
  const Json* name = predicate != nullptr ? predicate->get("predicate_name") : nullptr;
  if (name == nullptr || !name->is_str() || name->as_str() != "IsNull") return nullptr;
  const Json::ArrayType* entries = record_entries(predicate->get("record"));
  if (entries == nullptr || entries->size() != 1) return nullptr;
  const Json* value = (*entries)[0].get("value");
  const Json* expression = value != nullptr ? value->get("expression") : nullptr;
  return expression != nullptr ? expression->get("combine") : nullptr;
}

// The variables that a combine aggregates or tests and that neither its own
// body nor a rule around it gives a value: a combine reads the values of the
// rules around it. Each combine is searched with what encloses it, on a list
// of its own rather than the call stack. The variables of a negation in the
// rule's own body, and of everything it negates, are the negation findings'
// business; a negation inside an aggregating combine has no such finding, so
// it is searched as any other combine.
std::vector<std::string> unbound_in_combines(const Json& rule, VarSet bound) {
  std::vector<std::string> found;
  struct Pending {
    const Json* node;
    VarSet bound;
    bool negation_findings_cover;  // the rule itself, or a negation the negation findings read
  };
  std::vector<Pending> pending;
  pending.push_back(Pending{&rule, std::move(bound), true});
  while (!pending.empty()) {
    Pending next = std::move(pending.back());
    pending.pop_back();
    std::set<const Json*> negations;
    std::vector<const Json*> combines;
    walk_tree(*next.node, [&](const Json& node) {
      if (const Json* negated = negated_combine(node)) negations.insert(negated);
      const Json* combine = node.get("combine");
      if (combine == nullptr) return Walk::Enter;
      combines.push_back(combine);
      return Walk::Skip;
    });
    for (const Json* combine : combines) {
      // Read only in an expression of the combine's body, as in a rule's; or
      // where nothing binds, as the list of an inclusion or the branch of an
      // "if" is.
      VarSet inner_given = never_given_values(*combine, next.bound);
      VarSet inner = next.bound;
      inner.merge(VarCollector::positive_vars_outside_combines(*combine));
      for (const std::string& name : inner_given) found.push_back(name);
      const bool covered = next.negation_findings_cover && negations.count(combine) != 0;
      if (!covered) {
        VarSet used = VarCollector::aggregation_vars(*combine);
        used.merge(VarCollector::compared_vars(*combine));
        for (const std::string& name : used)
          if (name != "_" && inner.count(name) == 0) found.push_back(name);
      }
      pending.push_back(Pending{combine, std::move(inner), covered});
    }
  }
  return found;
}

}  // namespace

std::vector<SafetyError> check_rule_safety(const Json& rule) {
  std::vector<SafetyError> findings;
  std::optional<SharedText> text;  // made at the first finding, shared by the rest
  auto rule_text_once = [&]() -> const SharedText& {
    if (!text) text = SharedText(rule_text(rule));
    return *text;
  };
  VarSet bound = VarCollector::positive_vars(rule);
  bound.merge(VarCollector::function_input_vars(rule));
  if (rule.has("body")) {
    const VarSet head = VarCollector::head_vars(rule);
    auto report = [&](SafetyKind kind, const VarSet& names, const VarSet* shown) {
      for (const std::string& name : names) {
        if (name == "_" || bound.count(name) != 0 || (shown != nullptr && shown->count(name) != 0)) continue;
        findings.push_back(SafetyError{kind, rule_text_once(), name});
      }
    };
    report(SafetyKind::UnboundHeadVariable, head, nullptr);
    // A tested variable that the head shows is reported as unbound in the head.
    report(SafetyKind::UnboundComparedVariable, VarCollector::compared_vars(rule), &head);
    report(SafetyKind::UnsafeNegation, VarCollector::negated_vars(rule), nullptr);
    report(SafetyKind::UnsafeAggregation, VarCollector::aggregation_vars(rule), nullptr);
  } else {
    for (const std::string& name : value_names_not_given(rule, bound))
      findings.push_back(SafetyError{SafetyKind::NotGivenValue, rule_text_once(), name});
  }
  // What a combine reads from around it: the rule's values outside combines,
  // as one combine's own variables give another nothing.
  // A variable the checks above count as bound, because the body names it where
  // values come from, may still be read only in an expression there ({a: x},
  // x + 1): compile refuses it, and so does check, in the same words, once.
  // A variable told unbound above is not told again in compile's words; one
  // that none of them reads (the branch of an "if" in an equality) is told in
  // them too.
  VarSet told;
  for (const SafetyError& finding : findings) told.insert(finding.name);
  for (const std::string& name : never_given_values(rule))
    if (told.insert(name).second)
      findings.push_back(SafetyError{SafetyKind::NotGivenValue, rule_text_once(), name});
  VarSet around = VarCollector::positive_vars_outside_combines(rule);
  around.merge(VarCollector::function_input_vars(rule));
  for (std::string& name : unbound_in_combines(rule, std::move(around)))
    if (told.insert(name).second)
      findings.push_back(SafetyError{SafetyKind::NotGivenValue, rule_text_once(), std::move(name)});
  return findings;
}

bool has_disjunction_in_combine(const Json& node) {
  bool found = false;
  walk_tree(node, [&](const Json& object) {
    const Json* combine = object.get("combine");
    const Json::ArrayType* conjuncts = nullptr;
    if (const Json* body = combine != nullptr ? combine->get("body") : nullptr)
      conjuncts = proposition_conjuncts(*body);
    if (conjuncts == nullptr) return Walk::Enter;
    found = std::any_of(conjuncts->begin(), conjuncts->end(),
                        [](const Json& conjunct) { return conjunct.has("disjunction"); });
    return found ? Walk::Stop : Walk::Enter;
  });
  return found;
}

std::vector<SafetyError> check_safety(const RuleList& plain) {
  const Names functions = functions_of(plain);
  const Names aggregates = aggregates_of(plain);
  // The four blocks are gathered side by side in one pass over the rules, so
  // that a rule is read while it is at hand rather than once per block.
  std::vector<SafetyError> findings, conditions, disjunctions, outside;
  // The alternatives of one written rule share its text: each finding once.
  // Told apart by kind and name, as the text they quote is the same, and a
  // long rule's findings would each hold a copy of it.
  OncePerRule once;
  auto keep_new = [&](std::vector<SafetyError>& block, size_t from) {
    once.keep_first(block, from, [](const SafetyError& finding) {
      return std::to_string(static_cast<int>(finding.kind)) + ' ' + finding.name;
    });
  };
  for (const Json* rule : plain) {
    once.at(*rule);
    const size_t marks[] = {findings.size(), conditions.size(), disjunctions.size(), outside.size()};
    std::vector<SafetyError> mine = check_rule_safety(*rule);
    findings.insert(findings.end(), std::make_move_iterator(mine.begin()),
                    std::make_move_iterator(mine.end()));
    add_functions_as_conditions(*rule, functions, conditions);
    if (has_disjunction_in_combine(*rule))
      disjunctions.push_back(SafetyError{SafetyKind::DisjunctionInside, rule_text(*rule), {}});
    if (!is_annotation_name(head_name(*rule))) {
      std::vector<std::string> names = aggregates_outside(*rule, aggregates);
      if (!names.empty()) {
        const SharedText text(rule_text(*rule));
        for (std::string& name : names)
          outside.push_back(SafetyError{SafetyKind::AggregateOutside, text, std::move(name)});
      }
    }
    keep_new(findings, marks[0]);
    keep_new(conditions, marks[1]);
    keep_new(disjunctions, marks[2]);
    keep_new(outside, marks[3]);
  }
  // Compile's words name the variable and not the rule: the same words from
  // two rules would read as one finding told twice.
  VarSet told;
  findings.erase(std::remove_if(findings.begin(), findings.end(),
                                [&](const SafetyError& finding) {
                                  return finding.kind == SafetyKind::NotGivenValue &&
                                         !told.insert(finding.name).second;
                                }),
                 findings.end());
  for (std::vector<SafetyError>* block : {&conditions, &disjunctions, &outside})
    findings.insert(findings.end(), std::make_move_iterator(block->begin()),
                    std::make_move_iterator(block->end()));
  return findings;
}

}  // namespace mirtova::verifier
