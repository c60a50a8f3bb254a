// Typing services of the expression translator: expected types pushed down onto
// nodes, value types computed upwards, and the syntactic tests.
#include <algorithm>
#include <array>

#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/expr_translator.h"
#include "compiler/type_inference/origins.h"

namespace mirtova {
namespace {

const Json* literal_of(const Json& expr) {
  const Json* literal = expr.get("literal");
  return literal != nullptr && literal->is_object() ? literal : nullptr;
}

bool literal_has(const Json& expr, std::string_view key) {
  const Json* literal = literal_of(expr);
  return literal != nullptr && literal->has(key);
}

const Json* call_of(const Json& expr) {
  const Json* call = expr.get("call");
  return call != nullptr && call->is_object() ? call : nullptr;
}

// The call's name, or the empty text when the expression is no call.
std::string_view call_name(const Json& expr) {
  const Json* call = call_of(expr);
  if (call == nullptr) return {};
  const Json* name = call->get("predicate_name");
  return name != nullptr && name->is_str() ? std::string_view(name->as_str()) : std::string_view();
}

template <size_t N>
bool one_of(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The record of a record expression or of a record literal, if any.
const Json* record_of(const Json& expr) {
  if (const Json* record = expr.get("record")) return record;
  const Json* literal = literal_of(expr);
  return literal != nullptr ? literal->get("the_record") : nullptr;
}

Type strings() { return Type::list(Type::string()); }

// The value expression of a record entry: its "expression", or the value itself.
const Json& entry_value(const Json& entry) {
  const Json& value = entry.at("value");
  const Json* expression = value.get("expression");
  return expression != nullptr ? *expression : value;
}

}  // namespace

std::vector<const Json*> call_arguments(const Json& call) {
  std::vector<const Json*> args;
  const Json* record = call.get("record");
  if (record == nullptr) return args;
  const Json* entries = record->get("field_value");
  if (entries == nullptr) return args;
  args.reserve(entries->as_array().size());
  for (const Json& entry : entries->as_array()) {
    const Json* value = entry.get("value");
    const Json* expression = value != nullptr ? value->get("expression") : nullptr;
    if (expression != nullptr) args.push_back(expression);
  }
  return args;
}

const Type* ExprTranslator::hint_of(const Json& node) const {
  auto found = expression_hints_.find(&node);
  return found == expression_hints_.end() ? nullptr : &found->second;
}

void ExprTranslator::hint_types(const Json& start, const Type& expected) {
  const Json* expr = &start;
  // Implications continue with their "otherwise" in this loop; every other
  // descent is a call bounded by the parser's nesting limit.
  while (expr != nullptr && expr->is_object()) {
    const Json* record = record_of(*expr);
    bool is_list = literal_has(*expr, "the_list");
    bool takes_hint = record != nullptr || is_list;
    if (expected.is_list() &&
        (literal_has(*expr, "the_null") || literal_has(*expr, "null") || expr->has("variable"))) {
      takes_hint = true;
    }
    if (takes_hint && !expected.is_any()) expression_hints_.try_emplace(expr, expected);

    if (record != nullptr) {
      const Json* entries = record->get("field_value");
      if (entries == nullptr) return;
      for (const Json& entry : entries->as_array()) {
        Type field_type = Type::any();
        const Json* field = entry.get("field");
        if (expected.is_record() && field != nullptr && field->is_str()) {
          auto found = expected.fields().find(field->as_str());
          if (found != expected.fields().end()) field_type = found->second;
        }
        const Json* value = entry.get("value");
        const Json* expression = value != nullptr ? value->get("expression") : nullptr;
        if (expression != nullptr) hint_types(*expression, field_type);
      }
      return;
    }
    if (is_list) {
      Type element = expected.is_list() ? expected.element() : Type::any();
      const Json* elements = literal_of(*expr)->at("the_list").get("element");
      if (elements == nullptr) return;
      for (const Json& item : elements->as_array()) hint_types(item, element);
      return;
    }
    if (const Json* call = call_of(*expr)) {
      std::vector<const Json*> args = call_arguments(*call);
      std::string_view name = call_name(*expr);
      for (size_t i = 0; i < args.size(); ++i) {
        Type arg_type = Type::any();
        if (name == "Element" && i == 0 && !expected.is_any() && !expected.is_atomic()) {
          // The list is of the element sought, where that is known.
          arg_type = Type::list(expected);
        } else if (name == "Join" || name == "Size" || name == "Element") {
          if (i == 0) arg_type = strings();
        } else if (reorders_list(name)) {
          // The list given is of the type of the list made of it.
          if (i == 0 && expected.is_list()) arg_type = expected;
        } else if (name == "ArrayConcat") {
          // Made here only: most calls are of anything else.
          Type fallback = expected.is_list() ? expected : strings();
          auto known_list = [&](const Json& arg) {
            Type t = value_type(arg);
            return t.is_list() && !t.element().is_any() ? t : fallback;
          };
          if (i == 0) {
            arg_type = args.size() > 1 ? known_list(*args[1]) : fallback;
          } else {
            arg_type = known_list(*args[0]);
          }
        }
        hint_types(*args[i], arg_type);
      }
      return;
    }
    if (const Json* implication = expr->get("implication")) {
      if (const Json* branches = implication->get("if_then")) {
        for (const Json& branch : branches->as_array()) {
          if (const Json* consequence = branch.get("consequence")) hint_types(*consequence, expected);
        }
      }
      expr = implication->get("otherwise");
      continue;
    }
    return;
  }
}

Type ExprTranslator::value_type(const Json& expr) const {
  if (!expr.is_object()) return Type::any();
  if (const Json* record = expr.get("record")) return record_type(*record);
  if (const Json* literal = literal_of(expr)) {
    if (const Json* record = literal->get("the_record")) return record_type(*record);
    if (const Json* list = literal->get("the_list")) {
      // Elements all of undetermined type are of their sources met: of the
      // one type all those columns share, where they do.
      Type element = Type::any();
      std::optional<Type> known;
      if (const Json* elements = list->get("element")) {
        bool first = true;
        for (const Json& item : elements->as_array()) {
          Type t = value_type(item);
          if (known) {
            merge_origins(*known, t);
            continue;
          }
          if (!t.is_any()) {
            // Where a record's field is declared by the column it is read
            // from, a field one record leaves null takes the source another
            // gives it, whichever of them is written first.
            const Type* inner = &t;
            while (inner->is_list()) inner = &inner->element();
            if (!inner->is_record() || dialect == nullptr || !dialect->declared_type_reading())
              return Type::list(std::move(t));
            known = std::move(t);
            continue;
          }
          element.set_origin(first ? t.shared_origin()
                                   : met_origin(element.shared_origin(), t.shared_origin()));
          first = false;
        }
      }
      return Type::list(known ? std::move(*known) : std::move(element));
    }
    if (literal->has("the_number")) return Type::number();
    if (literal->has("the_bool")) return Type::boolean();
    if (literal->has("the_string")) return Type::string();
    return Type::any();
  }
  if (const Json* variable = expr.get("variable")) {
    const Json* name = variable->get("var_name");
    if (name == nullptr) return Type::any();
    auto found = name->is_str() ? variable_types.find(std::string_view(name->as_str()))
                                : variable_types.find(name->compact());
    return found == variable_types.end() ? Type::any() : found->second;
  }
  if (const Json* subscript = expr.get("subscript")) {
    const Json* symbol = nullptr;
    if (const Json* sub = subscript->get("subscript")) {
      if (const Json* literal = sub->get("literal")) {
        if (const Json* the_symbol = literal->get("the_symbol")) symbol = the_symbol->get("symbol");
      }
    }
    const Json* target = subscript->get("record");
    if (symbol == nullptr || !symbol->is_str() || target == nullptr) return Type::any();
    Type record = value_type(*target);
    if (!record.is_record()) return Type::any();
    auto found = record.fields().find(symbol->as_str());
    return found == record.fields().end() ? Type::any() : found->second;
  }
  if (const Json* implication = expr.get("implication")) {
    std::vector<const Json*> values;
    if (const Json* branches = implication->get("if_then")) {
      for (const Json& branch : branches->as_array())
        if (const Json* consequence = branch.get("consequence")) values.push_back(consequence);
    }
    if (const Json* otherwise = implication->get("otherwise")) values.push_back(otherwise);
    return first_known_type(values);
  }
  if (is_boolean_expression(expr)) return Type::boolean();
  if (is_text_expression(expr)) return Type::string();
  if (const Json* call = call_of(expr)) {
    static constexpr std::array<std::string_view, 21> kNumbers = {
        "%",   "*",   "+",    "-",    "/",    "^",     "Abs",   "Exp",    "Log",     "Pow",      "Mod",
        "Sin", "Cos", "Size", "Ceil", "Sqrt", "Round", "Floor", "Length", "ToInt64", "ToFloat64"};
    static constexpr std::array<std::string_view, 5> kFirstKnown = {"Least", "Coalesce", "Greatest",
                                                                    "ArrayConcat", "ValueOfUnnested"};
    std::string_view name = call_name(expr);
    std::vector<const Json*> args = call_arguments(*call);
    if (one_of(name, kNumbers)) return Type::number();
    if (name == "Split") return strings();
    if (name == "Range") return Type::list(Type::number());
    // A value passed through: of If, either branch's type (its condition is
    // no value of it); of Nullif, its first argument's.
    if (name == "If" && args.size() == 3) return first_known_type({args[1], args[2]});
    if (name == "Nullif" && !args.empty()) return value_type(*args[0]);
    // A list reordered, or joined to others, is a list of the same elements.
    if ((reorders_list(name) || name == "Concat") && !args.empty()) {
      Type list = value_type(*args[0]);
      if (list.is_list() && !list.element().is_list()) return list;
    }
    if (one_of(name, kFirstKnown)) return first_known_type(args);
    if (name == "Element") {
      if (args.empty()) return Type::any();
      Type list = value_type(*args[0]);
      return list.is_list() ? list.element() : Type::any();
    }
    if (name == "MagicalEntangle") return args.empty() ? Type::any() : value_type(*args[0]);
    if (reorders_list(name) && !args.empty() && dialect->unnest_lists_phrase(1)) {
      // Where a list of lists is one array of more dimensions, a reordered one
      // is unnested and sought in by its lists, not by their elements.
      Type list = value_type(*args[0]);
      if (list.is_list() && list.element().is_list()) return list;
    }
    return Type::any();
  }
  if (expr.has("combine")) {
    auto found = combine_types.find(&expr);
    return found == combine_types.end() ? Type::any() : found->second;
  }
  return Type::any();
}

Type ExprTranslator::first_known_type(const std::vector<const Json*>& values) const {
  // Values all of undetermined type are of their sources met, as a list's
  // elements are: a null beside a column's value leaves it that column's.
  Type met = Type::any();
  bool first = true;
  for (const Json* value : values) {
    Type t = value_type(*value);
    if (!t.is_any()) return t;
    met.set_origin(first ? t.shared_origin() : met_origin(met.shared_origin(), t.shared_origin()));
    first = false;
  }
  return met;
}

Type ExprTranslator::record_type(const Json& record) const {
  Type::Fields fields;
  if (const Json* entries = record.get("field_value")) {
    for (const Json& entry : entries->as_array()) {
      const Json* field = entry.get("field");
      if (field == nullptr || !field->is_str()) continue;
      fields.insert_or_assign(std::string(field->as_str()), value_type(entry_value(entry)));
    }
  }
  return Type::closed_record(std::move(fields));
}

void ExprTranslator::hinted_fields(const Json& node, FieldTypes& fields,
                                   const std::vector<const Json*>& values) const {
  const Type* hint = hint_of(node);
  if (hint == nullptr || !hint->is_record() || fields.empty()) return;
  const Type::Fields& hinted = hint->fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    auto& [name, type] = fields[i];
    const Type* innermost = &type;
    while (innermost->is_list()) innermost = &innermost->element();
    auto found = hinted.find(name);
    if (found == hinted.end()) continue;
    // A value known only to be atomic (compared, say) is no more typed than an
    // unknown one: the column's type, met over every rule, says what it holds,
    // and every rule's records must share that one type -- down to the sources
    // of the values inside a record or list written whole.
    if (innermost->is_any() || innermost->is_atomic()) {
      // Save a record read whole from a host's table, which the hint knows
      // only by the fields the program reads of it.
      if (innermost == &type && type.origin() != nullptr && found->second.is_open()) continue;
      // Nor one of no known source where the engine declares the field by
      // the column's own type: {v: x} beside {v: null} in one list.
      if (innermost == &type && type.origin() != nullptr && dialect->declared_type_reading() &&
          (found->second.is_any() || found->second.is_atomic()) && found->second.origin() == nullptr)
        continue;
      type = found->second;
      continue;
    }
    // A record value inside took its sources from this very hint when it was
    // written: walking it again at every level around it would make nested
    // records cost the square of their depth.
    const Type* inner_hint = i < values.size() ? hint_of(*values[i]) : nullptr;
    if (inner_hint != nullptr && written_record_types_.count(values[i]) != 0 &&
        inner_hint->shares_parts_with(found->second))
      continue;
    adopt_origins(type, found->second);
  }
}

bool is_text_expression(const Json& expr) {
  static constexpr std::array<std::string_view, 15> kText = {
      "++",     "Join",   "Trim",    "Lpad",     "Rpad",      "Upper",         "Lower",        "Substr",
      "Format", "Repeat", "Replace", "ToString", "FlagValue", "RegexpExtract", "RegexpReplace"};
  if (!expr.is_object()) return false;
  if (literal_has(expr, "the_string")) return true;
  return call_of(expr) != nullptr && one_of(call_name(expr), kText);
}

bool is_boolean_call(const Json& call) {
  static constexpr std::array<std::string_view, 18> kBool = {
      "!",  "<",  ">",      "==",   "!=",    "<=",     ">=",       "&&",         "||",
      "in", "is", "is not", "Like", "ILike", "IsNull", "EndsWith", "StartsWith", "RegexpContains"};
  if (!call.is_object()) return false;
  const Json* name = call.get("predicate_name");
  return name != nullptr && name->is_str() && one_of(name->as_str(), kBool);
}

bool is_boolean_expression(const Json& expr) {
  if (!expr.is_object()) return false;
  if (literal_has(expr, "the_bool")) return true;
  const Json* call = call_of(expr);
  return call != nullptr && is_boolean_call(*call);
}

bool reorders_list(std::string_view function) {
  return function == "Sort" || function == "Unique" || function == "ArrayReverse";
}

bool leaves_kind_open(const Type& type) {
  if (type.is_any() || type.is_atomic()) return true;
  if (type.is_list()) return leaves_kind_open(type.element());
  if (type.is_record()) {
    return std::any_of(type.fields().begin(), type.fields().end(),
                       [](const auto& field) { return leaves_kind_open(field.second); });
  }
  return false;
}

bool holds_only_nulls(const Json& expr) {
  if (literal_has(expr, "the_null")) return true;
  const Json* literal = literal_of(expr);
  const Json* list = literal != nullptr ? literal->get("the_list") : nullptr;
  if (list == nullptr) return false;
  const Json* elements = list->get("element");
  if (elements == nullptr) return true;
  return std::all_of(elements->as_array().begin(), elements->as_array().end(),
                     [](const Json& item) { return holds_only_nulls(item); });
}

Type record_literal_type(const Json& record) {
  Type::Fields fields;
  if (const Json* entries = record.get("field_value")) {
    for (const Json& entry : entries->as_array()) {
      const Json* field = entry.get("field");
      if (field == nullptr || !field->is_str()) continue;
      const Json& value = entry_value(entry);
      Type type = Type::string();
      if (const Json* inner = value.get("record")) {
        type = record_literal_type(*inner);
      } else if (const Json* literal = literal_of(value)) {
        if (const Json* inner_record = literal->get("the_record")) {
          type = record_literal_type(*inner_record);
        } else if (literal->has("the_number")) {
          type = Type::number();
        } else if (literal->has("the_bool")) {
          type = Type::boolean();
        }
      }
      fields.insert_or_assign(std::string(field->as_str()), std::move(type));
    }
  }
  return Type::closed_record(std::move(fields));
}

ArrowRecord extract_arrow_record(const Json& expr) {
  ArrowRecord parts;
  const Json* record = expr.get("record");
  if (record == nullptr) return parts;
  const Json* entries = record->get("field_value");
  if (entries == nullptr) return parts;
  for (const Json& entry : entries->as_array()) {
    const Json* field = entry.get("field");
    if (field == nullptr || !field->is_str()) continue;
    if (field->as_str() == "arg") parts.arg = entry_value(entry);
    if (field->as_str() == "value") parts.value = entry_value(entry);
  }
  return parts;
}

}  // namespace mirtova
