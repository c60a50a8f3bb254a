#include "compiler/program/record_columns.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "compiler/expr_translate/expr_translator.h"
#include "compiler/type_inference/intersection.h"
#include "compiler/type_inference/origins.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"

namespace mirtova {

namespace {

// Rounds of completing and sharing sources before they settle: each round
// carries sources one copy further, and programs copy records a few levels
// deep at most. Past this a type may keep a source another column lacks.
constexpr int kMostSourceRounds = 8;

bool holds_records(const Type& type) {
  const Type* inner = &type;
  while (inner->is_list()) inner = &inner->element();
  return inner->is_record();
}

bool is_record_or_list(const Json& expr) {
  if (expr.has("record")) return true;
  const Json* literal = expr.get("literal");
  return literal != nullptr && (literal->has("the_record") || literal->has("the_list"));
}

bool is_undetermined(const Type& type) { return type.is_any() || type.is_atomic(); }

// A rule that reads "nil" (the first copy of an unfolded recursion reads it
// in place of the copy before) gives no row and is left out of the SQL: its
// values have no source, and must not take from a column's field the source
// the other rules give it.
bool reads_nil(const Json& rule) {
  const Json::ArrayType* conjuncts = body_conjuncts(rule);
  if (conjuncts == nullptr) return false;
  return std::any_of(conjuncts->begin(), conjuncts->end(), [](const Json& conjunct) {
    const Json* call = conjunct.get("predicate");
    const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
    return name != nullptr && name->is_str() && name->as_str() == "nil";
  });
}

// Marks every value of `type` of undetermined type and no known source as of
// several sources: beside a value read from a host's table in another rule,
// it leaves the field of no one column's type, while a known type still wins.
void unknown_sources_as_several(Type& type) {
  std::shared_ptr<const ColumnOrigin> several;
  std::vector<Type*> pending = {&type};
  while (!pending.empty()) {
    Type* t = pending.back();
    pending.pop_back();
    if (t->is_list()) {
      pending.push_back(&t->element());
    } else if (t->is_record()) {
      for (auto& [name, field] : t->fields()) pending.push_back(&field);
    } else if (is_undetermined(*t) && t->origin() == nullptr) {
      if (!several) several = std::make_shared<const ColumnOrigin>(ColumnOrigin{{}, {}, true, {}});
      t->set_origin(several);
    }
  }
}

// The value an aggregate gives over values of type `aggregated`: a list of
// them where it gathers them, one of them (or, joining lists, a list of
// their type) where it picks one; of no known type for every other aggregate.
Type aggregate_value_type(std::string_view aggregate, Type aggregated) {
  static constexpr std::array<std::string_view, 3> kGathering = {"List", "Set", "ArrayAgg"};
  static constexpr std::array<std::string_view, 6> kPicking = {"Min",       "Max",   "AnyValue",
                                                               "SomeValue", "Agg++", "ArrayConcatAgg"};
  auto one_of = [aggregate](const auto& names) {
    return std::find(names.begin(), names.end(), aggregate) != names.end();
  };
  if (one_of(kGathering)) return Type::list(std::move(aggregated));
  if (one_of(kPicking)) return aggregated;
  return Type::any();
}

// The program's functions that stand for a call of another with their one
// parameter first (`Top2(x) = ArgMaxK(x, 2);`), by the name of the one called:
// an aggregation by such a name gives what that one gives.
using NamedAggregates = std::map<std::string, std::string, std::less<>>;

NamedAggregates named_aggregates(const std::vector<Json>& rules) {
  NamedAggregates named;
  std::map<std::string_view, int> rules_of;
  for (const Json& rule : rules) ++rules_of[head_name(rule)];
  for (const Json& rule : rules) {
    const std::string_view name = head_name(rule);
    const Json* head = rule.get("head");
    if (rules_of[name] != 1) continue;
    if (head == nullptr || rule.has("body")) continue;
    const Json::ArrayType& fields = call_fields(*head);
    if (fields.size() != 2 || field_column(fields[0]) != "col0" || field_column(fields[1]) != "quoril_value")
      continue;
    const Json* parameter = field_expression(fields[0]);
    const Json* value = field_expression(fields[1]);
    std::optional<std::string> variable = parameter != nullptr ? variable_name(*parameter) : std::nullopt;
    const Json* call = value != nullptr ? value->get("call") : nullptr;
    const Json* called = call != nullptr ? call->get("predicate_name") : nullptr;
    if (!variable || called == nullptr || !called->is_str()) continue;
    std::vector<const Json*> arguments = call_arguments(*call);
    if (arguments.empty() || variable_name(*arguments.front()) != variable) continue;
    named.emplace(std::string(name), std::string(called->as_str()));
  }
  return named;
}

// The value of an aggregating call (`List(col0: {a: x})`), its argument typed by `typing`.
Type aggregation_type(const Json& expression, const ExprTranslator& typing, const NamedAggregates& named) {
  const Json* call = expression.get("call");
  const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
  if (name == nullptr || !name->is_str()) return Type::any();
  std::vector<const Json*> arguments = call_arguments(*call);
  auto alias = named.find(name->as_str());
  const std::string_view aggregate = alias != named.end() ? std::string_view(alias->second) : name->as_str();
  // ArgMaxK and ArgMinK keep a list of the left sides, their second argument
  // saying how many; named for a count, they take only the arrows.
  const bool keeps_several = aggregate == "ArgMaxK" || aggregate == "ArgMinK";
  if (arguments.size() != (keeps_several && alias == named.end() ? 2 : 1)) return Type::any();
  // ArgMax and ArgMin pick the left side of one of their arrows; Array
  // gathers their right sides.
  if (aggregate == "ArgMax" || aggregate == "ArgMin" || aggregate == "Array" || keeps_several) {
    const Json* arrow = arguments.front()->get("call");
    const Json* arrow_name = arrow != nullptr ? arrow->get("predicate_name") : nullptr;
    if (arrow_name == nullptr || !arrow_name->is_str() || arrow_name->as_str() != "->") return Type::any();
    std::vector<const Json*> sides = call_arguments(*arrow);
    if (sides.size() != 2) return Type::any();
    if (aggregate == "Array") return Type::list(typing.value_type(*sides.back()));
    if (keeps_several) return Type::list(typing.value_type(*sides.front()));
    return typing.value_type(*sides.front());
  }
  return aggregate_value_type(aggregate, typing.value_type(*arguments.front()));
}

// The value of a combine. Inference leaves a combine's body out, so its
// variables are typed here by the columns its calls bind them from: a host
// table's column is their source, a predicate's column gives its own type;
// the rule around keeps its variables. A combine within is left untyped.
// `column_of(predicate, column, type)` says whether the predicate is one of the
// program's, setting `type` to its column's where that is known.
template <class ColumnOf>
Type combine_type_by(const Json& combine, ExprTranslator& typing, const HostTables& host_tables,
                     const ColumnOf& column_of, const NamedAggregates& named) {
  const Json* head = combine.get("head");
  const Json* record = head != nullptr ? head->get("record") : nullptr;
  const Json* fields = record != nullptr ? record->get("field_value") : nullptr;
  if (fields == nullptr || fields->size() != 1) return Type::any();
  const Json* value = fields->as_array()[0].get("value");
  const Json* aggregation = value != nullptr ? value->get("aggregation") : nullptr;
  const Json* expression = aggregation != nullptr ? aggregation->get("expression") : nullptr;
  if (expression == nullptr) return Type::any();
  TypeMap around = typing.variable_types;
  const Json* body = combine.get("body");
  if (const Json::ArrayType* conjuncts = body != nullptr ? proposition_conjuncts(*body) : nullptr) {
    for (const Json& conjunct : *conjuncts) {
      const Json* call = conjunct.get("predicate");
      const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
      if (name == nullptr || !name->is_str()) continue;
      auto host = host_tables.find(name->as_str());
      Type unused;
      if (host == host_tables.end() && !column_of(name->as_str(), std::string_view(), unused)) continue;
      for (const Json& field : call_fields(*call)) {
        const Json* argument = field_expression(field);
        std::optional<std::string> variable = argument != nullptr ? variable_name(*argument) : std::nullopt;
        if (!variable || *variable == "_" || typing.variable_types.count(*variable)) continue;
        std::string column = field_column(field);
        Type type;
        if (host != host_tables.end()) {
          type.set_origin(
              std::make_shared<const ColumnOrigin>(ColumnOrigin{host->second, column, false, {}}));
        } else {
          column_of(name->as_str(), column, type);
        }
        typing.variable_types.emplace(std::move(*variable), std::move(type));
      }
    }
  }
  Type type = aggregation_type(*expression, typing, named);
  typing.variable_types = std::move(around);
  return type;
}

Type combine_type(const Json& combine, ExprTranslator& typing, const HostTables& host_tables,
                  const ColumnTypes& column_types, const NamedAggregates& named) {
  auto column_of = [&](std::string_view predicate, std::string_view column, Type& type) {
    auto columns = column_types.find(predicate);
    if (columns == column_types.end()) return false;
    if (auto known = columns->second.find(std::string(column)); known != columns->second.end())
      type = known->second;
    return true;
  };
  return combine_type_by(combine, typing, host_tables, column_of, named);
}

// Each combine written in `value`, outside other combines, typed for `typing`
// to read as combine_type types it: a record or list written with a combine
// inside holds its value, and so the source of the column it aggregates.
void type_combines_within(const Json& value, ExprTranslator& typing, const HostTables& host_tables,
                          const ColumnTypes& column_types, const NamedAggregates& named) {
  std::vector<const Json*> combines;
  walk_tree(value, [&](const Json& node) {
    if (!node.has("combine")) return Walk::Enter;
    combines.push_back(&node);
    return Walk::Skip;
  });
  for (const Json* node : combines) {
    Type type = combine_type(node->at("combine"), typing, host_tables, column_types, named);
    typing.combine_types.insert_or_assign(node, std::move(type));
  }
}

// The variables a rule's body equates with a value `pick` takes (null for
// one it does not), with what it takes.
template <class Pick>
std::vector<std::pair<std::string, const Json*>> variables_bound(const Json& rule, Pick&& pick) {
  std::vector<std::pair<std::string, const Json*>> bound;
  const Json::ArrayType* conjuncts = body_conjuncts(rule);
  if (conjuncts == nullptr) return bound;
  for (const Json& conjunct : *conjuncts) {
    const Json* unification = conjunct.get("unification");
    if (unification == nullptr) continue;
    const Json* left = unification->get("left_hand_side");
    const Json* right = unification->get("right_hand_side");
    if (left == nullptr || right == nullptr) continue;
    for (auto [variable_side, other] : {std::pair{left, right}, std::pair{right, left}}) {
      std::optional<std::string> variable = variable_name(*variable_side);
      const Json* value = pick(*other);
      if (variable && value != nullptr) bound.emplace_back(std::move(*variable), value);
    }
  }
  return bound;
}

// The variables a rule's body equates with a combine, with the combine.
std::vector<std::pair<std::string, const Json*>> combines_bound(const Json& rule) {
  return variables_bound(rule, [](const Json& value) { return value.get("combine"); });
}

// The variables a rule's body equates with a record or list written there.
std::vector<std::pair<std::string, const Json*>> written_records_bound(const Json& rule) {
  return variables_bound(rule, [](const Json& value) { return is_record_or_list(value) ? &value : nullptr; });
}

// Inference types a record written in a rule by its fields as written, so a
// variable equated with one (`r == {a: y}`) knows no source for a field read
// from a host's column: it takes the sources of the record typed with the
// rule's variables, as a record written in the head gives them to its column.
// Put in the head, it is of its column's one record type, and takes the
// sources the other rules give that column too. Whether one did.
bool source_written_variables(const std::vector<Json>& rules, std::vector<RuleVariableTypes>& rule_types,
                              const Dialect& dialect, const HostTables& host_tables,
                              const ColumnTypes& column_types, const NamedAggregates& named) {
  const FlagMap no_flags;
  bool changed = false;
  for (size_t i = 0; i < rules.size() && i < rule_types.size(); ++i) {
    std::vector<std::pair<std::string, const Json*>> bound = written_records_bound(rules[i]);
    if (bound.empty()) continue;
    std::optional<ExprTranslator> typing;
    for (const auto& [variable, written] : bound) {
      auto known = rule_types[i].find(variable);
      if (known == rule_types[i].end()) continue;
      if (!typing) typing.emplace(Vocabulary{}, dialect, no_flags);
      typing->variable_types = rule_types[i];
      type_combines_within(*written, *typing, host_tables, column_types, named);
      changed |= merge_origins(known->second, typing->value_type(*written));
    }
    auto columns = column_types.find(head_name(rules[i]));
    const Json* head = rules[i].get("head");
    if (columns == column_types.end() || head == nullptr) continue;
    for (const Json& field : call_fields(*head)) {
      const Json* value = field_expression(field);
      std::optional<std::string> variable = value != nullptr ? variable_name(*value) : std::nullopt;
      auto column = columns->second.find(field_column(field));
      if (!variable || column == columns->second.end()) continue;
      auto known = rule_types[i].find(*variable);
      if (known == rule_types[i].end() ||
          std::none_of(bound.begin(), bound.end(), [&](const auto& b) { return b.first == *variable; }))
        continue;
      changed |= merge_origins(known->second, column->second);
    }
  }
  return changed;
}

// A variable a rule equates with a combine takes the sources of the
// combine's value; whether one did.
bool source_combined_variables(const std::vector<Json>& rules, std::vector<RuleVariableTypes>& rule_types,
                               const Dialect& dialect, const HostTables& host_tables,
                               const ColumnTypes& column_types, const NamedAggregates& named) {
  const FlagMap no_flags;
  bool changed = false;
  for (size_t i = 0; i < rules.size() && i < rule_types.size(); ++i) {
    std::optional<ExprTranslator> typing;
    for (const auto& [variable, combine] : combines_bound(rules[i])) {
      auto known = rule_types[i].find(variable);
      if (known == rule_types[i].end()) continue;
      if (!typing) {
        typing.emplace(Vocabulary{}, dialect, no_flags);
        typing->variable_types = rule_types[i];
      }
      changed |=
          merge_origins(known->second, combine_type(*combine, *typing, host_tables, column_types, named));
    }
  }
  return changed;
}

// A variable a rule binds from a column of one of the program's predicates
// holds that column's values, and so their sources: inference may leave it
// without them where the column learnt its source after the call was typed.
// Whether one changed.
bool source_called_variables(const std::vector<Json>& rules, std::vector<RuleVariableTypes>& rule_types,
                             const ColumnTypes& column_types) {
  bool changed = false;
  for (size_t i = 0; i < rules.size() && i < rule_types.size(); ++i) {
    const Json::ArrayType* conjuncts = body_conjuncts(rules[i]);
    if (conjuncts == nullptr) continue;
    for (const Json& conjunct : *conjuncts) {
      const Json* call = conjunct.get("predicate");
      const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
      if (name == nullptr || !name->is_str()) continue;
      auto columns = column_types.find(name->as_str());
      if (columns == column_types.end()) continue;
      for (const Json& field : call_fields(*call)) {
        const Json* value = field_expression(field);
        std::optional<std::string> variable = value != nullptr ? variable_name(*value) : std::nullopt;
        if (!variable) continue;
        auto column = columns->second.find(field_column(field));
        auto known = rule_types[i].find(*variable);
        if (column == columns->second.end() || known == rule_types[i].end()) continue;
        changed |= merge_origins(known->second, column->second);
      }
    }
  }
  return changed;
}

// Each head value that is a record or a list met into its column's type;
// whether a column's type changed. A record gathered or picked by an
// aggregate, in the head or in a combine, gives only the sources of its
// fields: inference typed it by its aggregate.
bool meet_written_records(const std::vector<Json>& rules, const std::vector<RuleVariableTypes>& rule_types,
                          const Dialect& dialect, const HostTables& host_tables, bool unknown_as_several,
                          const NamedAggregates& named, ColumnTypes& column_types) {
  const FlagMap no_flags;
  bool changed = false;
  for (size_t i = 0; i < rules.size() && i < rule_types.size(); ++i) {
    auto columns = column_types.find(head_name(rules[i]));
    if (columns == column_types.end() || reads_nil(rules[i])) continue;
    const Json* head = rules[i].get("head");
    if (head == nullptr) continue;
    std::optional<ExprTranslator> typing;
    auto typed = [&]() -> ExprTranslator& {
      if (!typing) {
        typing.emplace(Vocabulary{}, dialect, no_flags);
        typing->variable_types = rule_types[i];
      }
      return *typing;
    };
    // Only a dialect declaring fields by their column has sources to give.
    const bool sourced = dialect.reads_untyped_fields_as_text();
    // A variable equated with a combine or a written record holds the
    // sources its rule's types give it.
    std::vector<std::pair<std::string, const Json*>> combined;
    if (sourced) {
      combined = combines_bound(rules[i]);
      std::vector<std::pair<std::string, const Json*>> written = written_records_bound(rules[i]);
      combined.insert(combined.end(), std::make_move_iterator(written.begin()),
                      std::make_move_iterator(written.end()));
    }
    for (const Json& field : call_fields(*head)) {
      auto column = columns->second.find(field_column(field));
      if (column == columns->second.end()) continue;
      const Json* value = field_expression(field);
      Type written;
      if (value != nullptr && is_record_or_list(*value)) {
        type_combines_within(*value, typed(), host_tables, column_types, named);
        written = typed().value_type(*value);
        if (!holds_records(written)) continue;
        if (unknown_as_several) unknown_sources_as_several(written);
        TypeResult met = intersect(column->second, std::move(written), 0, 0);
        if (!met.ok()) continue;
        changed |= !met.value().eq(column->second) || !same_origins(met.value(), column->second);
        column->second = std::move(met).value();
        continue;
      }
      if (!sourced) continue;
      const Json* aggregation =
          field.get("value") != nullptr ? field.at("value").get("aggregation") : nullptr;
      const Json* aggregated = aggregation != nullptr ? aggregation->get("expression") : nullptr;
      std::optional<std::string> variable = value != nullptr ? variable_name(*value) : std::nullopt;
      if (aggregated != nullptr) {
        written = aggregation_type(*aggregated, typed(), named);
      } else if (const Json* combine = value != nullptr ? value->get("combine") : nullptr) {
        written = combine_type(*combine, typed(), host_tables, column_types, named);
      } else if (variable && rule_types[i].count(*variable) &&
                 std::any_of(combined.begin(), combined.end(),
                             [&](const auto& bound) { return bound.first == *variable; })) {
        written = rule_types[i].at(*variable);
      } else {
        continue;
      }
      if (!holds_records(written)) continue;
      if (unknown_as_several) unknown_sources_as_several(written);
      changed |= merge_origins(column->second, written);
    }
  }
  return changed;
}

// The part of `type` at `path`: a field name steps into a record, kListStep
// into a list's element; null when the type has no such part.
constexpr std::string_view kListStep = "[]";

Type* part_at(Type& type, const std::vector<std::string>& path) {
  Type* part = &type;
  for (const std::string& step : path) {
    if (step == kListStep) {
      if (!part->is_list()) return nullptr;
      part = &part->element();
    } else {
      if (!part->is_record()) return nullptr;
      auto field = part->fields().find(step);
      if (field == part->fields().end()) return nullptr;
      part = &field->second;
    }
  }
  return part;
}

// Each variable of `wanted` that a head value holds, with the path to it
// inside the value: a record's fields and a list's elements are followed,
// nothing else. Each part read keeps only its own step and where it was read
// from, and a path is spelt out only for a wanted variable: a value nested n
// levels deep holds a variable at every level, and a path copied at each would
// take work quadratic in n.
template <class Wanted>
void variables_within(const Json& value, const Wanted& wanted,
                      std::vector<std::pair<std::string, std::vector<std::string>>>& out) {
  constexpr size_t kTop = static_cast<size_t>(-1);
  struct Part {
    const Json* expr;
    size_t from;  // the part this one lies in, kTop for the value itself
    std::string step;
  };
  std::vector<Part> parts = {{&value, kTop, {}}};
  std::vector<size_t> pending = {0};
  while (!pending.empty()) {
    const size_t at = pending.back();
    pending.pop_back();
    const Json* expr = parts[at].expr;
    if (std::optional<std::string> variable = variable_name(*expr)) {
      if (wanted.find(*variable) == wanted.end()) continue;
      std::vector<std::string> path;
      for (size_t p = at; parts[p].from != kTop; p = parts[p].from) path.push_back(parts[p].step);
      std::reverse(path.begin(), path.end());
      out.emplace_back(std::move(*variable), std::move(path));
      continue;
    }
    const Json* literal = expr->get("literal");
    const Json* record = expr->get("record");
    if (record == nullptr && literal != nullptr) record = literal->get("the_record");
    if (record != nullptr) {
      if (const Json* entries = record->get("field_value")) {
        for (const Json& entry : entries->as_array()) {
          const Json* inner = field_expression(entry);
          if (inner == nullptr) continue;
          parts.push_back(Part{inner, at, field_column(entry)});
          pending.push_back(parts.size() - 1);
        }
      }
      continue;
    }
    const Json* list = literal != nullptr ? literal->get("the_list") : nullptr;
    const Json* elements = list != nullptr ? list->get("element") : nullptr;
    if (elements == nullptr) continue;
    for (const Json& element : elements->as_array()) {
      parts.push_back(Part{&element, at, std::string(kListStep)});
      pending.push_back(parts.size() - 1);
    }
  }
}

// The field a subscript names (`r.a` names a).
std::optional<std::string> subscript_field(const Json& subscript) {
  const Json* node = subscript.get("subscript");
  for (std::string_view key : {"literal", "the_symbol", "symbol"}) {
    if (node == nullptr) return std::nullopt;
    node = node->get(key);
  }
  if (node == nullptr || !node->is_str()) return std::nullopt;
  return std::string(node->as_str());
}

// Records a rule copies from one column into another are the same values,
// and PostgreSQL unites rows, and nests records, only of one record type: the
// places they are copied between share their fields' sources, and the
// variables bound from them take those sources too. A place is a column or a
// part of one; a variable is bound from one by a call, by equality with
// another variable or a field of one, or as an element of one; a head value
// puts it whole or inside a record or list written there. Whether anything
// changed.
bool share_column_sources(const std::vector<Json>& rules, std::vector<RuleVariableTypes>& rule_types,
                          ColumnTypes& column_types) {
  using Place = std::tuple<std::string, std::string, std::vector<std::string>>;
  std::map<Place, size_t> ids;
  std::vector<const Place*> keys;
  std::vector<size_t> parent;
  std::vector<Type*> places;
  auto id_of = [&](const Place& place) -> std::optional<size_t> {
    const auto& [predicate, column, path] = place;
    auto of_predicate = column_types.find(predicate);
    if (of_predicate == column_types.end()) return std::nullopt;
    auto type = of_predicate->second.find(column);
    if (type == of_predicate->second.end()) return std::nullopt;
    Type* part = part_at(type->second, path);
    // A field of a record is a place too, whatever it holds: a value read
    // from it, and put in another record, is of its source.
    if (part == nullptr || (path.empty() && !holds_records(*part))) return std::nullopt;
    auto [at, fresh] = ids.try_emplace(place, parent.size());
    if (fresh) {
      parent.push_back(parent.size());
      keys.push_back(&at->first);
      places.push_back(part);
    }
    return at->second;
  };
  // The place `id` with `steps` more at the end of its path.
  auto deeper = [&](size_t id, const std::vector<std::string>& steps) -> std::optional<size_t> {
    Place place = *keys[id];
    for (const std::string& step : steps) std::get<2>(place).push_back(step);
    return id_of(place);
  };
  auto root = [&](size_t id) {
    while (parent[id] != id) id = parent[id] = parent[parent[id]];
    return id;
  };
  auto unite = [&](size_t a, size_t b) { parent[root(a)] = root(b); };

  // Per rule, the place each variable is bound from (the first of those found).
  using Bound = std::map<std::string, size_t>;
  std::vector<Bound> bound(std::min(rules.size(), rule_types.size()));
  auto bind = [&](Bound& vars, const std::string& variable, size_t id) {
    auto [at, fresh] = vars.try_emplace(variable, id);
    if (fresh) return true;
    if (root(at->second) == root(id)) return false;
    unite(id, at->second);
    return true;
  };
  // The place a variable, or a field of one (`r.a.b`), is bound from.
  auto place_of = [&](const Bound& vars, const Json& expr) -> std::optional<size_t> {
    std::vector<std::string> fields;
    const Json* at = &expr;
    while (const Json* subscript = at->get("subscript")) {
      std::optional<std::string> field = subscript_field(*subscript);
      const Json* record = subscript->get("record");
      if (!field || record == nullptr) return std::nullopt;
      fields.insert(fields.begin(), std::move(*field));
      at = record;
    }
    std::optional<std::string> variable = variable_name(*at);
    if (!variable) return std::nullopt;
    auto found = vars.find(*variable);
    if (found == vars.end()) return std::nullopt;
    return fields.empty() ? std::optional<size_t>(found->second) : deeper(found->second, fields);
  };
  std::vector<std::pair<std::string, std::vector<std::string>>> held;
  for (size_t i = 0; i < bound.size(); ++i) {
    const Json::ArrayType* conjuncts = body_conjuncts(rules[i]);
    if (conjuncts != nullptr) {
      for (const Json& conjunct : *conjuncts) {
        for (CalledVariable& called : called_variables(conjunct)) {
          if (std::optional<size_t> id =
                  id_of(Place{std::string(called.predicate), std::move(called.column), {}}))
            bind(bound[i], called.variable, *id);
        }
      }
      // Equalities and inclusions in any order: each pass binds at least one
      // more variable, or ends.
      for (size_t pass = 0; pass <= conjuncts->size(); ++pass) {
        bool more = false;
        for (const Json& conjunct : *conjuncts) {
          if (const Json* unification = conjunct.get("unification")) {
            const Json* left = unification->get("left_hand_side");
            const Json* right = unification->get("right_hand_side");
            if (left == nullptr || right == nullptr) continue;
            for (auto [variable_side, other] : {std::pair{left, right}, std::pair{right, left}}) {
              std::optional<std::string> variable = variable_name(*variable_side);
              std::optional<size_t> id = place_of(bound[i], *other);
              if (variable && id) more |= bind(bound[i], *variable, *id);
            }
          } else if (const Json* inclusion = conjunct.get("inclusion")) {
            const Json* list = inclusion->get("list");
            const Json* element = inclusion->get("element");
            if (list == nullptr || element == nullptr) continue;
            std::optional<std::string> variable = variable_name(*element);
            std::optional<size_t> id = place_of(bound[i], *list);
            if (id) id = deeper(*id, {std::string(kListStep)});
            if (variable && id) more |= bind(bound[i], *variable, *id);
          }
        }
        if (!more) break;
      }
    }
    const Json* head = rules[i].get("head");
    if (head == nullptr) continue;
    for (const Json& field : call_fields(*head)) {
      const Json* value = field_expression(field);
      if (value == nullptr) continue;
      held.clear();
      variables_within(*value, bound[i], held);
      for (const auto& [variable, path] : held) {
        auto source = bound[i].find(variable);
        if (source == bound[i].end()) continue;
        if (std::optional<size_t> id =
                id_of(Place{std::string(head_name(rules[i])), field_column(field), path}))
          unite(*id, source->second);
      }
    }
  }

  std::vector<std::optional<Type>> shared(parent.size());
  for (size_t id = 0; id < parent.size(); ++id) {
    std::optional<Type>& group = shared[root(id)];
    if (!group) {
      group = *places[id];
    } else {
      merge_origins(*group, *places[id]);
    }
  }
  bool changed = false;
  for (size_t id = 0; id < parent.size(); ++id) changed |= merge_origins(*places[id], *shared[root(id)]);
  for (size_t i = 0; i < bound.size(); ++i) {
    for (const auto& [variable, source] : bound[i]) {
      auto type = rule_types[i].find(variable);
      if (type == rule_types[i].end()) continue;
      // A record read from a column is of the column's type, which the
      // written records may have told more of than inference knew (a field
      // of a known type): a rule reading it, inlined or not, writes that type.
      TypeResult met = intersect(type->second, *places[source], 0, 0);
      if (met.ok() && !met.value().eq(type->second)) {
        type->second = std::move(met).value();
        changed = true;
      }
      changed |= merge_origins(type->second, *shared[root(source)]);
    }
  }
  return changed;
}

}  // namespace

void complete_record_columns(const std::vector<Json>& rules, std::vector<RuleVariableTypes>& rule_types,
                             const Dialect& dialect, const HostTables& host_tables,
                             ColumnTypes& column_types) {
  const NamedAggregates named = named_aggregates(rules);
  if (!dialect.reads_untyped_fields_as_text()) {
    meet_written_records(rules, rule_types, dialect, host_tables, false, named, column_types);
    return;
  }
  // Sources are first carried as far as they reach; only then is a value of
  // no known source beside them taken to leave its field without one, lest a
  // source still on its way be taken for none.
  for (bool unknown_as_several : {false, true}) {
    for (int round = 0; round < kMostSourceRounds; ++round) {
      bool changed = source_combined_variables(rules, rule_types, dialect, host_tables, column_types, named);
      changed |= source_called_variables(rules, rule_types, column_types);
      changed |= source_written_variables(rules, rule_types, dialect, host_tables, column_types, named);
      changed |= meet_written_records(rules, rule_types, dialect, host_tables, unknown_as_several, named,
                                      column_types);
      changed |= share_column_sources(rules, rule_types, column_types);
      if (!changed) break;
    }
  }
}

Type combine_value_type(const Json& combine, ExprTranslator& typing, const std::vector<Json>& rules,
                        const HostTables& host_tables, const ProgramColumnType& column_of) {
  return combine_type_by(combine, typing, host_tables, column_of, named_aggregates(rules));
}

bool holds_unnamed_fields(const Type& type, const Dialect& dialect) {
  // Each part with the index of the record or list holding it, parents first;
  // then, children first, whether a value read from a host's column is inside.
  std::vector<std::pair<const Type*, size_t>> parts = {{&type, SIZE_MAX}};
  for (size_t i = 0; i < parts.size(); ++i) {
    const Type* part = parts[i].first;
    if (part->is_list()) parts.emplace_back(&part->element(), i);
    if (part->is_record())
      for (const auto& [name, field] : part->fields()) parts.emplace_back(&field, i);
  }
  std::vector<bool> from_host(parts.size(), false);
  for (size_t i = parts.size(); i-- > 0;) {
    const Type* part = parts[i].first;
    const ColumnOrigin* origin = part->origin();
    if (is_undetermined(*part) && origin != nullptr && !origin->several) from_host[i] = true;
    if (from_host[i] && part->is_record() && !dialect.names_untyped_fields(part->fields().size()))
      return true;
    if (from_host[i] && parts[i].second != SIZE_MAX) from_host[parts[i].second] = true;
  }
  return false;
}

}  // namespace mirtova
