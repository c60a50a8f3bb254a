#include "compiler/type_inference/builder.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace mirtova {

namespace {

// The column a head or call field names: a name as written, a position as "col{i}".
std::optional<std::string> column_name(const Json& item) {
  const Json* field = item.get("field");
  if (field == nullptr) return std::nullopt;
  if (field->is_str()) return std::string(field->as_str());
  if (field->is_int()) return "col" + std::to_string(field->as_int());
  return std::nullopt;
}

// The value expression of a call or record field, if it has one.
const Json* value_expression(const Json& item) {
  const Json* value = item.get("value");
  return value == nullptr ? nullptr : value->get("expression");
}

// The integer "start" and "stop" of a tree object; 0 for whatever is missing.
std::pair<int64_t, int64_t> bounds_from_value(const Json* tree) {
  if (tree == nullptr || !tree->is_object()) return {0, 0};
  const Json* start = tree->get("start");
  const Json* stop = tree->get("stop");
  return {start != nullptr && start->is_int() ? start->as_int() : 0,
          stop != nullptr && stop->is_int() ? stop->as_int() : 0};
}

// Bounds of a scalar literal or variable: those of the value under `inner`
// inside the (object) value of the kind key.
std::pair<int64_t, int64_t> inner_bounds(const Json& kind_value, std::string_view inner) {
  kind_value.as_object();  // the kind's value must be an object
  return bounds_from_value(kind_value.get(inner));
}

// The names of the variables of `rule` outside its combines.
std::set<std::string, std::less<>> names_outside_combines(const Json& rule) {
  std::set<std::string, std::less<>> names;
  std::vector<const Json*> pending = {&rule};
  while (!pending.empty()) {
    const Json* node = pending.back();
    pending.pop_back();
    if (node->is_array()) {
      for (const Json& item : node->as_array()) pending.push_back(&item);
      continue;
    }
    if (!node->is_object()) continue;
    for (const auto& [key, value] : node->as_object()) {
      if (key == "combine") continue;
      if (key == "variable" && value.is_object()) {
        const Json* name = value.get("var_name");
        if (name != nullptr && name->is_str()) names.emplace(name->as_str());
        if (name != nullptr && name->is_int()) names.insert(std::to_string(name->as_int()));
        continue;
      }
      pending.push_back(&value);
    }
  }
  return names;
}

std::string_view field_of_subscript(const Json& subscript) {
  const Json* node = subscript.get("subscript");
  for (std::string_view key : {"literal", "the_symbol", "symbol"}) {
    if (node == nullptr) return {};
    node = node->get(key);
  }
  return node == nullptr ? std::string_view() : std::string_view(node->as_str());
}

}  // namespace

TypesGraphs TypesGraphBuilder::run_rules(std::span<const Json> rules) {
  std::vector<const Json*> pointers;
  pointers.reserve(rules.size());
  for (const Json& rule : rules) pointers.push_back(&rule);
  return run_rules(pointers);
}

TypesGraphs TypesGraphBuilder::run_rules(const std::vector<const Json*>& rules) {
  calls_.clear();
  if_node_counter_ = 0;
  rule_counter_ = 0;
  unknown_counter_ = 0;
  built_positions_.clear();
  pool_ = std::make_shared<TextPool>();
  // A graph is sealed after the last rule of its predicate rather than after
  // every rule: its index and the slack of its lists are let go at once, and
  // the graphs never all hold them together.
  auto head_of = [](const Json& rule) -> std::optional<std::string_view> {
    if (!rule.is_object()) return std::nullopt;
    const Json* head = rule.get("head");
    const Json* name = head != nullptr && head->is_object() ? head->get("predicate_name") : nullptr;
    if (name == nullptr || !name->is_str()) return std::nullopt;
    return name->as_str();
  };
  std::vector<char> last_of_head(rules.size(), 0);
  {
    std::unordered_set<std::string_view> later;
    for (size_t i = rules.size(); i-- > 0;)
      if (const std::optional<std::string_view> name = head_of(*rules[i]))
        last_of_head[i] = later.insert(*name).second;
  }
  TypesGraphs result;
  for (size_t i = 0; i < rules.size(); ++i) {
    const uint64_t before = rule_counter_;
    build_rule(*rules[i], result);
    if (rule_counter_ != before) built_positions_.push_back(i);
    if (!last_of_head[i]) continue;
    if (auto graph = result.find(std::string(*head_of(*rules[i]))); graph != result.end())
      graph->second.seal();
  }
  for (auto& entry : result) entry.second.seal();
  // Only the positions are asked for after the run; the call counts, a name
  // per predicate called, would be held through the whole inference.
  calls_ = {};
  rule_names_ = {};
  pool_ = {};
  return result;
}

void TypesGraphBuilder::build_rule(const Json& rule, TypesGraphs& result) {
  rule.as_object();
  const Json* head = rule.get("head");
  if (head == nullptr) return;
  head->as_object();
  const Json* name = head->get("predicate_name");
  if (name == nullptr) return;
  const std::string predicate(name->as_str());
  if (!predicate.empty() && predicate.front() == '@') return;

  ++rule_counter_;
  made_variables_.clear();
  rule_names_ = names_outside_combines(rule);
  combine_counter_ = 0;
  combine_scope_ = 0;
  // Connecting straight into the predicate's graph accepts exactly the edges
  // that building a graph for the rule and merging it in would: both drop an
  // edge whose key is already there and keep the order of the rest.
  TypesGraph& graph = result.try_emplace(predicate, pool_).first->second;

  // Nodes are plain values made afresh at every use: a node is a function of
  // its printed key (types of variables and call columns start from their
  // name alone), so two nodes of one key are equal without sharing storage.
  //
  // Head fields first, then body conjuncts, each depth first: this order fixes
  // the rule, call, if-node and unknown numbers and the order of the edges.
  const Json* head_fields =
      head->get("record") != nullptr ? head->get("record")->get("field_value") : nullptr;
  if (head_fields != nullptr) {
    Calls& calls = calls_[predicate];
    for (const Json& item : head_fields->as_array()) {
      std::optional<std::string> column = column_name(item);
      if (!column) continue;
      Expression column_node = column_of(calls, predicate, *column, calls.count);
      const Json* value = item.get("value");
      const Json* expression = nullptr;
      if (value != nullptr) {
        const Json* aggregation = value->get("aggregation");
        expression = aggregation != nullptr ? aggregation->get("expression") : value->get("expression");
        if (aggregation != nullptr && *column == "quoril_value") graph.set_aggregates();
      }
      if (expression == nullptr) continue;
      Converted converted = convert_expression(graph, *expression);
      graph.connect(Edge{EdgeKind::Equality, converted.start, converted.stop, std::move(column_node),
                         std::move(converted.node)});
    }
  }

  convert_conjuncts(graph, rule.get("body"));
}

TypesGraphBuilder::Converted TypesGraphBuilder::convert_expression(TypesGraph& graph, const Json& e) {
  if (!e.is_object()) return {unknown(), 0, 0};
  if (const Json* literal = e.get("literal")) {
    literal->as_object();
    if (const Json* v = literal->get("the_string")) {
      auto [s, t] = inner_bounds(*v, "the_string");
      return {Expression::string_literal(), s, t};
    }
    if (const Json* v = literal->get("the_number")) {
      auto [s, t] = inner_bounds(*v, "number");
      return {Expression::number_literal(), s, t};
    }
    if (const Json* v = literal->get("the_bool")) {
      auto [s, t] = inner_bounds(*v, "bool");
      return {Expression::boolean_literal(), s, t};
    }
    if (const Json* v = literal->get("the_null")) {
      auto [s, t] = inner_bounds(*v, "null");
      return {Expression::null_literal(), s, t};
    }
    if (const Json* v = literal->get("the_list")) {
      std::vector<Expression> items;
      int64_t start = 0, stop = 0;
      const Json* elements = v->get("element");
      if (elements != nullptr) {
        for (const Json& element : elements->as_array()) {
          Converted item = convert_expression(graph, element);
          if (items.empty()) {
            start = item.start;
            stop = item.stop;
          } else {
            start = std::min(start, item.start);
            stop = std::max(stop, item.stop);
          }
          items.push_back(std::move(item.node));
        }
      }
      if (items.empty()) return {Expression::list_literal({}), 0, 0};
      return {Expression::list_literal(std::move(items)), start - 1, stop + 1};
    }
    return {Expression::null_literal(), 0, 0};
  }
  if (const Json* variable = e.get("variable")) {
    variable->as_object();
    const Json* name = variable->get("var_name");
    std::string text;
    if (name != nullptr && name->is_str()) text = name->as_str();
    if (name != nullptr && name->is_int()) text = std::to_string(name->as_int());
    auto [s, t] = bounds_from_value(name);
    // Each wildcard is a variable of its own, as it is for joins.
    if (text == "_") return {unknown(), s, t};
    return {rule_variable(text), s, t};
  }
  if (const Json* call = e.get("call")) {
    call->as_object();
    const Json* name = call->get("predicate_name");
    if (name == nullptr) return {unknown(), 0, 0};
    return convert_call(graph, std::string(name->as_str()), *call);
  }
  if (const Json* subscript = e.get("subscript")) {
    subscript->as_object();
    return convert_subscript(graph, *subscript);
  }
  if (const Json* record = e.get("record")) {
    record->as_object();
    if (const Json* field_values = record->get("field_value")) return convert_record(graph, *field_values);
  }
  if (const Json* implication = e.get("implication")) return convert_implication(graph, *implication);
  if (const Json* combine = e.get("combine")) return convert_combine(graph, *combine);
  return {unknown(), 0, 0};
}

TypesGraphBuilder::Converted TypesGraphBuilder::convert_call(TypesGraph& graph, const std::string& predicate,
                                                             const Json& call) {
  Calls& calls = calls_[predicate];
  const uint64_t n = calls.count++;
  Expression value = column_of(calls, predicate, "quoril_value", n);
  const bool gives_its_argument = predicate == "Min" || predicate == "Max" || predicate == "AnyValue" ||
                                  predicate == "SomeValue" || predicate == "Agg++" ||
                                  predicate == "ArrayConcatAgg";
  Bounds b = fill_fields(graph, predicate, n, call, value, calls, gives_its_argument || predicate == "->");
  if (predicate == "Set" || predicate == "List") {
    Expression element = Expression::predicate_addressing(predicate, "col0", n);
    graph.connect(EdgeKind::Inclusion, b.start, b.stop, value, element);
  }
  // An arrow is the record its ArgMax and ArgMin read; a table that holds
  // arrows (the one a multi-body aggregation gathers them in) holds records of
  // its two sides' types, which PostgreSQL declares when the record is read.
  // The ends are named through variables of the call's own, as below.
  if (predicate == "->") {
    const Expression record = unknown();
    graph.connect(EdgeKind::Equality, b.start, b.stop, value, record);
    for (auto [field, column] :
         {std::pair<std::string_view, std::string_view>{"arg", "left"}, {"value", "right"}}) {
      Expression side = Expression::subscript_addressing(record, std::string(field));
      text_digest(side);  // before the copy, which carries the digest along
      graph.connect(Edge{EdgeKind::FieldAccess, b.start, 0, record, side});
      graph.connect(EdgeKind::Equality, b.start, b.stop, std::move(side),
                    column_of(calls, predicate, column, n));
    }
  }
  // These aggregates give one of the values they range over (or, joining
  // lists, a list of the lists' type), so a column they fill has the type of
  // what they aggregate; PostgreSQL declares a record field by that type. An edge is known by its ends'
  // printed forms, which leave out the call number: the two are joined through a variable of their own, lest
  // the edges of a later call of the same aggregate be taken for the first one's.
  // ArgMax and ArgMin give the left side of one of their arrows, ArgMaxK and
  // ArgMinK a list of left sides, Array a list of their right sides. ArgMaxK
  // and ArgMinK without their count are refused later, with how to name them.
  const Json* fields = call.get("record") != nullptr ? call.get("record")->get("field_value") : nullptr;
  const bool keeps_several = (predicate == "ArgMaxK" || predicate == "ArgMinK") && fields != nullptr &&
                             fields->is_array() && fields->as_array().size() == 2;
  if (predicate == "ArgMax" || predicate == "ArgMin" || predicate == "Array" || keeps_several) {
    const bool picks = predicate != "Array";
    const Expression arrow = column_of(calls, predicate, "col0", n);
    Expression side = Expression::subscript_addressing(arrow, picks ? "arg" : "value");
    text_digest(side);  // before the copy, which carries the digest along
    graph.connect(Edge{EdgeKind::FieldAccess, b.start, 0, arrow, side});
    const Expression link = unknown();
    graph.connect(EdgeKind::Equality, b.start, b.stop, value, link);
    graph.connect(picks && !keeps_several ? EdgeKind::Equality : EdgeKind::Inclusion, b.start, b.stop, link,
                  std::move(side));
  }
  if (gives_its_argument) {
    const Expression link = unknown();
    graph.connect(EdgeKind::Equality, b.start, b.stop, value, link);
    graph.connect(EdgeKind::Equality, b.start, b.stop, link,
                  Expression::predicate_addressing(predicate, "col0", n));
  }
  return {std::move(value), b.start, b.stop};
}

TypesGraphBuilder::Bounds TypesGraphBuilder::fill_fields(TypesGraph& graph, const std::string& predicate,
                                                         uint64_t call_number, const Json& call,
                                                         const Expression& value, Calls& calls,
                                                         bool through_links) {
  const Json* record = call.get("record");
  const Json* field_values = record != nullptr ? record->get("field_value") : nullptr;
  if (field_values == nullptr) return {};
  Bounds bounds;
  bool any = false;
  for (const Json& item : field_values->as_array()) {
    if (!item.is_object()) continue;
    std::optional<std::string> column = column_name(item);
    if (!column) continue;
    const Json* expression = value_expression(item);
    if (expression == nullptr) continue;
    Converted argument = convert_expression(graph, *expression);
    const Expression column_node = column_of(calls, predicate, *column, call_number);
    if (through_links) {
      // Its printed form leaves out the call number: a later call's column
      // equal to an argument of the same text (a literal of one type, say)
      // would be taken for an earlier call's edge and left untyped.
      const Expression link = unknown();
      graph.connect(EdgeKind::Equality, argument.start, argument.stop, column_node, link);
      graph.connect(EdgeKind::Equality, argument.start, argument.stop, link, std::move(argument.node));
    } else {
      graph.connect(EdgeKind::Equality, argument.start, argument.stop, column_node, std::move(argument.node));
    }
    graph.connect(EdgeKind::Argument, argument.start, argument.stop, value, column_node);
    bounds.start = any ? std::min(bounds.start, argument.start) : argument.start;
    bounds.stop = any ? std::max(bounds.stop, argument.stop) : argument.stop;
    any = true;
  }
  return bounds;
}

TypesGraphBuilder::Converted TypesGraphBuilder::convert_record(TypesGraph& graph, const Json& field_values) {
  std::vector<std::pair<std::string, Expression>> fields;
  // Each name's place in `fields`: a record of many fields finds a repeated
  // name without a pass over the fields before it.
  std::unordered_map<std::string, size_t> place;
  Type::Fields field_types;
  int64_t start = 0, stop = 0;
  for (const Json& item : field_values.as_array()) {
    item.as_object();
    std::optional<std::string> column = column_name(item);
    if (!column) continue;
    item.at("value").as_object();
    const Json* expression = value_expression(item);
    if (expression == nullptr) continue;
    Converted converted = convert_expression(graph, *expression);
    start = fields.empty() && field_types.empty() ? converted.start : std::min(start, converted.start);
    stop = fields.empty() && field_types.empty() ? converted.stop : std::max(stop, converted.stop);
    field_types.insert_or_assign(*column, converted.node.type());
    auto [same, fresh] = place.try_emplace(*column, fields.size());
    if (!fresh) {
      fields[same->second].second = std::move(converted.node);  // a later field of the same name wins
    } else {
      fields.emplace_back(std::move(*column), std::move(converted.node));
    }
  }
  if (fields.empty()) return {Expression::record_literal({}, Type::closed_record({})), 0, 0};
  return {Expression::record_literal(std::move(fields), Type::closed_record(std::move(field_types))),
          start - 1, stop + 1};
}

TypesGraphBuilder::Converted TypesGraphBuilder::convert_subscript(TypesGraph& graph, const Json& subscript) {
  const Json* record = subscript.get("record");
  if (record == nullptr) return {unknown(), 0, 0};
  Converted r = convert_expression(graph, *record);
  std::string field(field_of_subscript(subscript));
  Expression node = Expression::subscript_addressing(r.node, std::move(field));
  text_digest(node);  // before the copy, which carries the digest along
  graph.connect(Edge{EdgeKind::FieldAccess, r.start, 0, std::move(r.node), node});
  return {std::move(node), r.start, 0};
}

TypesGraphBuilder::Converted TypesGraphBuilder::convert_implication(TypesGraph& graph,
                                                                    const Json& implication) {
  std::string name = "_IfNode" + std::to_string(if_node_counter_++);
  Expression if_node = rule_variable(name);

  Converted otherwise = [&]() -> Converted {
    const Json* value = implication.get("otherwise");
    if (value == nullptr) return {Expression::null_literal(), 0, 0};
    return convert_expression(graph, *value);
  }();
  int64_t start = otherwise.start, stop = otherwise.stop;
  text_digest(if_node);  // before the copies, which carry the digest along
  graph.connect(
      Edge{EdgeKind::Equality, otherwise.start, otherwise.stop, if_node, std::move(otherwise.node)});

  for (const Json& branch : implication.at("if_then").as_array()) {
    if (const Json* condition = branch.get("condition")) convert_expression(graph, *condition);
    const Json* consequence = branch.get("consequence");
    if (consequence == nullptr) continue;
    Converted c = convert_expression(graph, *consequence);
    start = std::min(start, c.start);
    stop = std::max(stop, c.stop);
    graph.connect(Edge{EdgeKind::Equality, c.start, c.stop, if_node, std::move(c.node)});
  }
  return {std::move(if_node), start, stop};
}

void TypesGraphBuilder::convert_conjuncts(TypesGraph& graph, const Json* body) {
  const Json* conjunction = body != nullptr ? body->get("conjunction") : nullptr;
  const Json* conjuncts = conjunction != nullptr ? conjunction->get("conjunct") : nullptr;
  if (conjuncts != nullptr && conjuncts->is_array()) {
    for (const Json& conjunct : conjuncts->as_array()) {
      if (const Json* unification = conjunct.get("unification")) {
        const Json* left = unification->get("left_hand_side");
        const Json* right = unification->get("right_hand_side");
        if (left == nullptr || right == nullptr) continue;
        Converted l = convert_expression(graph, *left);
        Converted r = convert_expression(graph, *right);
        graph.connect(Edge{EdgeKind::Equality, l.start, r.stop, std::move(l.node), std::move(r.node)});
      } else if (const Json* inclusion = conjunct.get("inclusion")) {
        const Json* list = inclusion->get("list");
        const Json* element = inclusion->get("element");
        if (list == nullptr || element == nullptr) continue;
        Converted l = convert_expression(graph, *list);
        Converted e = convert_expression(graph, *element);
        graph.connect(Edge{EdgeKind::Inclusion, e.start, l.stop, std::move(l.node), std::move(e.node)});
      } else if (const Json* call = conjunct.get("predicate")) {
        const Json* callee = call->get("predicate_name");
        if (callee == nullptr || !callee->is_str()) continue;
        const std::string f(callee->as_str());
        Calls& calls = calls_[f];
        const uint64_t n = calls.count++;
        Expression value = column_of(calls, f, "quoril_value", n);
        fill_fields(graph, f, n, *call, value, calls);
      }
    }
  }
}

TypesGraphBuilder::Converted TypesGraphBuilder::convert_combine(TypesGraph& graph, const Json& combine) {
  // A combine's value is its aggregate's over the aggregated expression, so
  // a column filled from it is typed as one filled by the same aggregation in
  // a head. The combine's body binds its own variables, which stay apart
  // from the rule's and from other combines' (they are not reported with the
  // rule's).
  const Json* head = combine.get("head");
  const Json* record = head != nullptr ? head->get("record") : nullptr;
  const Json* fields = record != nullptr ? record->get("field_value") : nullptr;
  if (fields == nullptr || !fields->is_array() || fields->size() != 1) return {unknown(), 0, 0};
  const Json* value = fields->as_array()[0].get("value");
  const Json* aggregation = value != nullptr ? value->get("aggregation") : nullptr;
  const Json* expression = aggregation != nullptr ? aggregation->get("expression") : nullptr;
  if (expression == nullptr) return {unknown(), 0, 0};
  const uint64_t outer = combine_scope_;
  combine_scope_ = ++combine_counter_;
  Converted converted = convert_expression(graph, *expression);
  // The body ties the aggregated variables to the columns they come from; a
  // field filled from the combine would otherwise have no type.
  convert_conjuncts(graph, combine.get("body"));
  combine_scope_ = outer;
  return converted;
}

Expression TypesGraphBuilder::rule_variable(std::string_view name) {
  for (const MadeVariable& made : made_variables_)
    if (made.scope == combine_scope_ && made.name == name) return made.node;
  std::string full(name);
  full += '@';
  full += std::to_string(rule_counter_);
  // Not a rule number with the suffix: left out of the rule's variables.
  if (combine_scope_ != 0 && !rule_names_.count(name)) full += "." + std::to_string(combine_scope_);
  Expression node = Expression::variable(std::move(full));
  if (made_variables_.size() < kMadeVariablesKept) {
    text_digest(node);  // before the copy, which carries the digest along
    made_variables_.push_back(MadeVariable{std::string(name), combine_scope_, node});
  }
  return node;
}

Expression TypesGraphBuilder::unknown() {
  return Expression::variable("_unknown" + std::to_string(++unknown_counter_));
}

Expression TypesGraphBuilder::column_of(Calls& calls, std::string_view predicate, std::string_view column,
                                        uint64_t call_number) {
  for (const Expression& made : calls.columns)
    if (made.column() == column) return made.for_call(call_number);
  Expression node = Expression::predicate_addressing(predicate, column, call_number);
  if (calls.count > 1 && calls.columns.size() < kColumnsKept) {
    text_digest(node);  // before the copy, which carries the digest along
    calls.columns.push_back(node);
  }
  return node;
}

}  // namespace mirtova
