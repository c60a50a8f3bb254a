// The arity check: rules of one predicate agree on their number of fields,
// heads name each column once, and calls of the program's predicates give the
// positional count and the column names its heads define.
#include "verifier/arity.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "common/string_hash.h"
#include "common/strings.h"
#include "compiler/program/name_catalogues.h"
#include "compiler/rule_translate/names.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"
#include "verifier/functors.h"
#include "verifier/references.h"
#include "verifier/rule_origins.h"
#include "verifier/vars.h"

namespace mirtova::verifier {

namespace {

// Built-in calls, never measured against a rule of the same name.
// clang-format off
constexpr std::array<std::string_view, 49> kBuiltinCallNames = {
    ">", "<", ">=", "<=", "==", "!=", "<>", "IsNull", "!",
    "Sum", "Count", "Min", "Max", "Avg", "List", "Array", "ArrayConcat", "Range",
    "If", "Cast", "ToString", "ToInt", "ToFloat", "Abs", "Floor", "Ceil", "Round", "Sqrt", "Log", "Exp", "Pow",
    "Length", "Substr", "Concat", "Upper", "Lower", "Trim", "Split", "Join", "Replace",
    "RegexpMatch", "RegexpExtract", "Date", "Timestamp", "DateDiff", "DateAdd",
    "JsonParse", "JsonExtract", "JsonArray"};
// clang-format on

bool is_builtin_call(std::string_view name) {
  return std::find(kBuiltinCallNames.begin(), kBuiltinCallNames.end(), name) != kBuiltinCallNames.end();
}

// The fields of a head or a call: the column names, each once, and the count
// of numbered fields. A rest field ("..r") is no column: in a head it takes
// the columns of a whole row from the body, which the heads do not list.
struct FieldShape {
  SortedNames named;
  size_t positional = 0;
  bool has_rest = false;
};

FieldShape field_shape(const Json& node) {
  FieldShape shape;
  for (const Json& field : call_fields(node)) {
    const Json* name = field.get("field");
    if (name == nullptr) continue;
    if (name->is_str() && name->as_str() == "*") {
      shape.has_rest = true;
    } else if (name->is_str()) {
      shape.named.emplace(name->as_str());
    } else {
      ++shape.positional;
    }
  }
  return shape;
}

// The columns a head defines, in its order: a numbered field is column
// "col" and its number. A head with a rest field ("..r") takes its columns
// from elsewhere and lists none.
std::vector<std::string> column_names(const Json::ArrayType& fields) {
  std::vector<std::string> out;
  for (const Json& field : fields) {
    const Json& column = field.at("field");
    if (column.is_str() && column.as_str() == "*") return {};
    out.push_back(column.is_str() ? std::string(column.as_str()) : "col" + std::to_string(column.as_int()));
  }
  return out;
}

bool has_rest_field(const Json::ArrayType& fields) {
  return std::any_of(fields.begin(), fields.end(), [](const Json& field) {
    const Json* column = field.get("field");
    return column != nullptr && column->is_str() && column->as_str() == "*";
  });
}

bool differ_as_sets(std::vector<std::string> a, std::vector<std::string> b) {
  if (a.empty() || b.empty()) return false;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return a != b;
}

using Definitions = std::unordered_map<std::string, FieldShape, StringHash, std::equal_to<>>;

// For each function of one rule, the named arguments a call must give: every
// one of a function without body, and those a body never mentions, which
// nothing but the call could give a value.
using NeededArguments =
    std::unordered_map<std::string, std::vector<std::string>, StringHash, std::equal_to<>>;

bool mentions_variable(const Json& tree, const std::string& name) {
  return !walk_tree(tree, [&](const Json& node) {
    const Json* variable = node.get("variable");
    const Json* var_name = variable != nullptr ? variable->get("var_name") : nullptr;
    return var_name != nullptr && var_name->as_var_name() == name ? Walk::Stop : Walk::Enter;
  });
}

NeededArguments needed_arguments(const RuleList& plain) {
  std::unordered_map<std::string_view, size_t> rules_of;
  for (const Json* rule : plain) ++rules_of[head_name(*rule)];
  NeededArguments needed;
  for (const Json* rule : plain) {
    const std::string_view name = head_name(*rule);
    if (rules_of[name] != 1 || rule->has("distinct_denoted")) continue;
    const Json::ArrayType& fields = call_fields(rule->at("head"));
    const bool is_function = std::any_of(fields.begin(), fields.end(), [](const Json& field) {
      const Json* column = field.get("field");
      return column != nullptr && column->is_str() && column->as_str() == "quoril_value";
    });
    if (!is_function) continue;
    const Json* body = rule->get("body");
    std::vector<std::string> columns;
    for (const Json& field : fields) {
      const Json* column = field.get("field");
      const Json* expression = field_expression(field);
      if (column == nullptr || !column->is_str() || expression == nullptr) continue;
      const std::string_view text = column->as_str();
      const Json* variable = expression->get("variable");
      if (text == "quoril_value" || text == "*" || variable == nullptr) continue;
      const std::string var = variable->at("var_name").as_var_name();
      if (var != "_" && (body == nullptr || !mentions_variable(*body, var))) columns.emplace_back(text);
    }
    if (!columns.empty()) needed.emplace(std::string(name), std::move(columns));
  }
  return needed;
}

void check_call_shape(const std::string& name, const Json& call, const FieldShape& definition,
                      std::vector<ArityError>& errors) {
  const FieldShape usage = field_shape(call);
  // A call without numbered arguments, or of a predicate defined without
  // numbered fields, names its columns and cannot miscount them.
  if (usage.positional != 0 && definition.positional != 0 && usage.positional != definition.positional)
    errors.push_back(ArityError{
        ArityKind::ArityMismatch, name, std::string(), definition.positional, usage.positional, {}});
  // A function whose heads name every argument has no numbered column for the
  // first numbered argument of a call to land in; the positional-argument
  // check passes calls of functions over, so the refusal is told here.
  if (usage.positional != 0 && definition.positional == 0 && definition.named.contains("quoril_value"))
    errors.push_back(ArityError{ArityKind::NoNumberedColumn, name, "col0", 0, 0, {}});
  // The columns of a predicate with a rest field in a head are not known here.
  if (definition.has_rest) return;
  for (const std::string& column : usage.named)
    if (!definition.named.contains(column))
      errors.push_back(ArityError{ArityKind::UnknownColumn, name, column, 0, 0, {}});
}

// The definition of the predicate a call names, when the call is one to test.
const FieldShape* tested_definition(const Json& call, const Definitions& definitions) {
  const std::string name(call.at("predicate_name").as_str());
  if (is_annotation_name(name) || is_builtin_call(name)) return nullptr;
  auto it = definitions.find(name);
  return it == definitions.end() ? nullptr : &it->second;
}

// Tests the calls of a body in the order of its text. Propositions and
// expressions nest in each other as deep as the program is written, so the
// work left is kept on a list of its own rather than on the call stack; each
// step pushes its parts in reverse, to be taken in order.
class UsageWalk {
 public:
  UsageWalk(const Definitions& definitions, const NeededArguments& needed, std::vector<ArityError>& errors)
      : definitions_(definitions), needed_(needed), errors_(errors) {}

  void run(const Json& body) {
    pending_.push_back({Step::Proposition, &body});
    while (!pending_.empty()) {
      const Pending next = pending_.back();
      pending_.pop_back();
      switch (next.step) {
        case Step::Proposition:
          proposition(*next.node);
          break;
        case Step::Value:
          value(*next.node);
          break;
        case Step::CheckCall:
          check(*next.node);
          break;
      }
    }
  }

 private:
  enum class Step { Proposition, Value, CheckCall };
  struct Pending {
    Step step;
    const Json* node;
  };

  // Only the conjunction form is looked at. A predicate's arguments are tested
  // before the predicate itself; a unification's right side before its left.
  void proposition(const Json& node) {
    const Json* conjunction = node.get("conjunction");
    const Json* conjuncts = conjunction != nullptr ? conjunction->get("conjunct") : nullptr;
    if (conjuncts == nullptr) return;
    std::vector<Pending> steps;
    for (const Json& conjunct : conjuncts->as_array()) {
      if (const Json* predicate = conjunct.get("predicate")) {
        steps.push_back({Step::Value, predicate});
        steps.push_back({Step::CheckCall, predicate});
        continue;
      }
      if (const Json* disjunction = conjunct.get("disjunction"))
        if (const Json* disjuncts = disjunction->get("disjunct"))
          for (const Json& disjunct : disjuncts->as_array()) steps.push_back({Step::Proposition, &disjunct});
      if (const Json* unification = conjunct.get("unification")) {
        if (const Json* right = unification->get("right_hand_side")) steps.push_back({Step::Value, right});
        if (const Json* left = unification->get("left_hand_side")) steps.push_back({Step::Value, left});
      }
    }
    pending_.insert(pending_.end(), steps.rbegin(), steps.rend());
  }

  // A call inside an expression is tested before the calls in its arguments;
  // a combine is walked as its body alone.
  void value(const Json& node) {
    const size_t mark = pending_.size();
    if (node.is_array()) {
      for (const Json& item : node.as_array()) pending_.push_back({Step::Value, &item});
    } else if (node.is_object()) {
      if (const Json* call = node.get("call")) {
        check(*call);
        check_arguments_given(*call);
      }
      if (const Json* combine = node.get("combine")) {
        if (const Json* body = combine->get("body")) pending_.push_back({Step::Proposition, body});
      } else {
        for (const auto& entry : node.as_object()) pending_.push_back({Step::Value, &entry.second});
      }
    }
    std::reverse(pending_.begin() + static_cast<std::ptrdiff_t>(mark), pending_.end());
  }

  void check(const Json& call) {
    if (const FieldShape* definition = tested_definition(call, definitions_))
      check_call_shape(std::string(call.at("predicate_name").as_str()), call, *definition, errors_);
  }

  // A function's value is its expression with the arguments put in: one not
  // given has no value there.
  void check_arguments_given(const Json& call) {
    auto needed = needed_.find(call.at("predicate_name").as_str());
    if (needed == needed_.end()) return;
    const FieldShape usage = field_shape(call);
    // Numbered arguments of a function of named ones are refused already.
    if (usage.positional != 0) return;
    for (const std::string& column : needed->second)
      if (!usage.named.contains(column))
        errors_.push_back(ArityError{ArityKind::ArgumentNotGiven, needed->first, column, 0, 0, {}});
  }

  const Definitions& definitions_;
  const NeededArguments& needed_;
  std::vector<ArityError>& errors_;
  std::vector<Pending> pending_;
};

}  // namespace

std::string ArityError::text() const {
  switch (kind) {
    case ArityKind::InconsistentArity:
      return "Predicate '" + predicate + "' defined with inconsistent arities: " + std::to_string(expected) +
             " and " + std::to_string(got);
    case ArityKind::ArityMismatch:
      return "Arity mismatch for '" + predicate + "': expected " + std::to_string(expected) +
             " arguments, got " + std::to_string(got);
    case ArityKind::DuplicateColumn:
      return "Column '" + column + "' appears twice in the head of '" + predicate + "'";
    case ArityKind::UnknownColumn:
      return "Unknown column '" + column + "' for predicate '" + predicate + "'";
    case ArityKind::NoNumberedColumn:
      // The compiler's own words.
      return "Predicate '" + predicate + "' has no column '" + column + "'.";
    case ArityKind::ArgumentNotGiven:
      // The compiler's own words.
      return "Function '" + predicate + "' is called without a value for its argument '" + column + "'.";
    case ArityKind::RestFieldNotARow:
      // The compiler's own words.
      return "A rest field (.." + column + ") can only pass a whole row of one call on to the head.";
    case ArityKind::DifferentColumns:
      // The compiler's own words.
      return "Rules of predicate '" + predicate + "' define different columns: " + column + " and " + other +
             ".";
  }
  return predicate;
}

std::vector<ArityError> check_arity(const RuleList& plain, const RuleList& full) {
  std::vector<ArityError> errors;

  // Heads: each rule's arity against the first rule of its predicate, and
  // each column once per head.
  // A head with a rest field has as many columns as the row it passes on,
  // which its fields do not count: it is measured against no other head.
  struct FirstHead {
    size_t arity;
    bool has_rest;
  };
  std::unordered_map<std::string, FirstHead, StringHash, std::equal_to<>> first_head;
  // The alternatives of one written rule share its head and its calls: each
  // finding once.
  OncePerRule once;
  auto keep_new = [&](size_t from) {
    once.keep_first(errors, from, [](const ArityError& error) { return error.text(); });
  };
  for (const Json* rule : plain) {
    const std::string name(head_name(*rule));
    if (is_annotation_name(name)) continue;
    once.at(*rule);
    const size_t mark = errors.size();
    const Json::ArrayType& fields = call_fields(rule->at("head"));
    SortedNames columns;
    for (const Json& field : fields) {
      const Json& column = field.at("field");
      if (column.is_str() && !columns.emplace(column.as_str()).second)
        errors.push_back(ArityError{
            ArityKind::DuplicateColumn, std::string(name), std::string(column.as_str()), 0, 0, {}});
    }
    const bool rest = has_rest_field(fields);
    auto [it, first] = first_head.try_emplace(name, FirstHead{fields.size(), rest});
    if (!first && !rest && !it->second.has_rest && it->second.arity != fields.size())
      errors.push_back(
          ArityError{ArityKind::InconsistentArity, name, std::string(), it->second.arity, fields.size(), {}});
    keep_new(mark);
  }

  // What the heads of each predicate define together: the most numbered
  // fields of any head, and every column some head names.
  Definitions definitions;
  for (const Json* rule : plain) {
    const std::string name(head_name(*rule));
    if (is_annotation_name(name)) continue;
    FieldShape shape = field_shape(rule->at("head"));
    FieldShape& definition = definitions[name];
    definition.positional = std::max(definition.positional, shape.positional);
    definition.named.merge(shape.named);
    definition.has_rest = definition.has_rest || shape.has_rest;
  }

  // A made predicate is a copy of its functor's rules, under its own name; a
  // chain of makes is followed to the rules at its end.
  std::vector<FunctorNames> makes;
  for (const Json* statement : full)
    if (head_name(*statement) == "@Make")
      if (std::optional<FunctorNames> names = functor_names(*statement)) makes.push_back(std::move(*names));
  for (bool grew = true; grew;) {
    grew = false;
    for (const FunctorNames& make : makes) {
      if (definitions.contains(make.made)) continue;
      auto functor = definitions.find(make.functor);
      if (functor == definitions.end()) continue;
      FieldShape shape = functor->second;
      definitions.emplace(make.made, std::move(shape));
      grew = true;
    }
  }
  const NeededArguments needed = needed_arguments(plain);
  UsageWalk walk(definitions, needed, errors);
  once = OncePerRule();
  for (const Json* rule : plain) {
    const Json* body = rule->get("body");
    if (body == nullptr) continue;
    once.at(*rule);
    const size_t mark = errors.size();
    walk.run(*body);
    keep_new(mark);
  }
  // Compile's words name the function and not the rule: the same words again
  // would read as one finding told twice.
  std::set<std::string, std::less<>> told;
  errors.erase(std::remove_if(errors.begin(), errors.end(),
                              [&](const ArityError& error) {
                                return error.kind == ArityKind::ArgumentNotGiven &&
                                       !told.insert(error.text()).second;
                              }),
               errors.end());
  return errors;
}

std::vector<ArityError> check_head_columns(const RuleList& plain) {
  std::vector<ArityError> errors;
  std::unordered_map<std::string, std::vector<std::string>, StringHash, std::equal_to<>> first_columns;
  OncePerRule once;  // the alternatives of one written rule share its head
  for (const Json* rule : plain) {
    const std::string name(head_name(*rule));
    if (is_annotation_name(name)) continue;
    once.at(*rule);
    const Json::ArrayType& fields = call_fields(rule->at("head"));
    const bool rest = has_rest_field(fields);
    std::vector<std::string> mine = column_names(fields);
    auto [it, first] = first_columns.try_emplace(name, rest ? std::vector<std::string>{"*"} : mine);
    // A later head with a rest field passes on a row, whatever its columns; a
    // first one makes the predicate's columns the row's, which compile tells
    // every later head that names columns. Rules of another arity are
    // otherwise the arity check's finding.
    if (first || rest) continue;
    const bool first_is_row = it->second == std::vector<std::string>{"*"};
    if (first_is_row ? !mine.empty() : it->second.size() == mine.size() && differ_as_sets(it->second, mine)) {
      ArityError error{ArityKind::DifferentColumns, name, join(it->second, ", "), 0, 0, join(mine, ", ")};
      if (once.first([&] { return error.text(); })) errors.push_back(std::move(error));
    }
  }
  return errors;
}

namespace {

bool is_rest(const Json& field) {
  const Json* column = field.get("field");
  return column != nullptr && column->is_str() && column->as_str() == "*";
}

// The name of the variable a field's value is, or nothing.
std::optional<std::string> variable_of(const Json& field) {
  const Json* expression = field_expression(field);
  const Json* variable = expression != nullptr ? expression->get("variable") : nullptr;
  const Json* name = variable != nullptr ? variable->get("var_name") : nullptr;
  if (name == nullptr) return std::nullopt;
  return name->as_var_name();
}

// The calls compile reads as relations: not conditions, not equalities.
bool is_relation(std::string_view name, const SortedNames& defined) {
  if (defined.contains(name)) return true;
  return name != "nil" && name != "~" && name != "=" && !is_constraint_predicate(name) &&
         !builtin_function_names().contains(name);
}

}  // namespace

std::vector<ArityError> check_rest_fields(const RuleList& plain) {
  std::vector<ArityError> errors;
  SortedNames defined;
  for (const Json* rule : plain) defined.emplace(head_name(*rule));
  // The columns the heads of each predicate name; none for one whose head
  // passes a row on, as its columns are that row's.
  std::map<std::string, std::optional<SortedNames>, std::less<>> head_columns;
  for (const Json* rule : plain) {
    std::optional<SortedNames>& columns =
        head_columns.try_emplace(std::string(head_name(*rule)), SortedNames{}).first->second;
    for (const Json& field : call_fields(rule->at("head"))) {
      if (is_rest(field)) columns.reset();
      const Json& column = field.at("field");
      if (columns)
        columns->insert(column.is_str() ? std::string(column.as_str())
                                        : "col" + std::to_string(column.as_int()));
    }
  }
  OncePerRule once;  // the alternatives of one written rule share its head and its calls
  for (const Json* rule : plain) {
    const std::string name(head_name(*rule));
    if (is_annotation_name(name)) continue;
    once.at(*rule);
    std::set<std::string, std::less<>> refused;  // compile stops at the first: one finding a variable
    auto refuse = [&](const std::optional<std::string>& variable) {
      ArityError error{ArityKind::RestFieldNotARow, name, variable.value_or("?"), 0, 0, {}};
      if (refused.insert(error.column).second && once.first([&] { return error.text(); }))
        errors.push_back(std::move(error));
    };
    // The rule, then each combine with the rows of the rules around it: as
    // compile reads a body, the calls in their order take their rows. Only a
    // row is sure to be a value already: a column of a call compile writes as
    // an equality instead (a fact's) gives none.
    struct Scope {
      const Json* node;
      VarSet rows;
    };
    std::vector<Scope> scopes{{rule, {}}};
    VarSet own_rows;  // the rows the rule's own calls pass on
    // The predicate each row, the rule's or a combine's, is a row of.
    std::map<std::string, std::string, std::less<>> row_of;
    while (!scopes.empty()) {
      Scope scope = std::move(scopes.back());
      scopes.pop_back();
      if (const Json::ArrayType* conjuncts = body_conjuncts(*scope.node)) {
        for (const Json& conjunct : *conjuncts) {
          const Json* call = conjunct.get("predicate");
          if (call == nullptr || !is_relation(call->at("predicate_name").as_str(), defined)) continue;
          for (const Json& field : call_fields(*call)) {
            if (!is_rest(field)) continue;
            std::optional<std::string> variable = variable_of(field);
            if (!variable || field.has("except") || scope.rows.contains(*variable)) {
              refuse(variable);
            } else if (*variable != "_") {
              scope.rows.insert(*variable);
              if (scope.node == rule) own_rows.insert(*variable);
              row_of.emplace(*variable, call->at("predicate_name").as_str());
            }
          }
        }
      }
      std::vector<const Json*> combines;
      walk_tree(*scope.node, [&](const Json& node) {
        const Json* combine = node.get("combine");
        if (combine == nullptr) return Walk::Enter;
        combines.push_back(combine);
        return Walk::Skip;
      });
      for (auto it = combines.rbegin(); it != combines.rend(); ++it) scopes.push_back(Scope{*it, scope.rows});
    }
    // A row passed on has no value to compare or compute with: compile
    // refuses its variable read anywhere but in a rest field.
    if (!row_of.empty()) {
      walk_tree(*rule, [&](const Json& node) {
        if (is_rest(node)) return Walk::Skip;
        // Its fields can be read (r.age): only the row itself has no value;
        // a field its predicate's heads do not name is refused as in a call.
        if (const Json* subscript = node.get("subscript"))
          if (const Json* record = subscript->get("record"); record && variable_name(*record)) {
            auto row = row_of.find(*variable_name(*record));
            const Json* symbol = subscript->get("subscript");
            for (std::string_view key : {"literal", "the_symbol", "symbol"})
              symbol = symbol ? symbol->get(key) : nullptr;
            auto columns = row != row_of.end() ? head_columns.find(row->second) : head_columns.end();
            if (columns != head_columns.end() && columns->second && symbol != nullptr && symbol->is_str() &&
                !columns->second->contains(symbol->as_str())) {
              ArityError error{
                  ArityKind::NoNumberedColumn, row->second, std::string(symbol->as_str()), 0, 0, {}};
              if (once.first([&] { return error.text(); })) errors.push_back(std::move(error));
            }
            return Walk::Skip;
          }
        if (std::optional<std::string> variable = variable_name(node);
            variable && own_rows.contains(*variable))
          refuse(variable);
        return Walk::Enter;
      });
    }
    // A head's rest field passes on a row the body's calls gave; one the body
    // gives no value at all is the unbound-variable finding's.
    if (!rule->has("body")) continue;
    const VarSet given = VarCollector::positive_vars(*rule);
    for (const Json& field : call_fields(rule->at("head"))) {
      if (!is_rest(field)) continue;
      std::optional<std::string> variable = variable_of(field);
      if (!variable || field.has("except") || (given.contains(*variable) && !own_rows.contains(*variable)))
        refuse(variable);
    }
  }
  return errors;
}

}  // namespace mirtova::verifier
