// The conversion proper: one syntax-tree expression to SQL text.
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <functional>
#include <utility>

#include "common/bounds.h"
#include "common/internal_fault.h"
#include "common/strings.h"
#include "compiler/dialects/dialect.h"
#include "compiler/dialects/number_text.h"
#include "compiler/dialects/quoting.h"
#include "compiler/dialects/record_types.h"
#include "compiler/dialects/templates/date_format_sql.h"
#include "compiler/expr_translate/apply_template.h"
#include "compiler/expr_translate/expr_translator.h"
#include "compiler/type_inference/intersection.h"
#include "compiler/type_inference/origins.h"
#include "parser/tree_build.h"

namespace mirtova {
namespace {

using SqlResult = Result<std::string, CompileError>;

CompileError error(std::string message) { return CompileError(std::move(message)); }

// An operator's SQL, not yet in its own brackets.
std::string fill_operator(const Dialect& dialect, std::string_view tmpl, const std::string& left,
                          const std::string& right) {
  return dialect.brackets_bracketed_operands() ? apply_operator_template(tmpl, left, right)
                                               : apply_operator_template_once_bracketed(tmpl, left, right);
}

CompileError expression_too_long() {
  return error("The SQL of an expression of this rule passes " + std::to_string(kMaxScriptBytes) +
               " bytes, more than one script may hold.");
}

// The last argument a text function may leave out: Lpad and Rpad pad with
// blanks; Substr runs to the end of the text, which the caller writes as a
// length past any text's (the empty view), not from the text's SQL, so that
// the text is written once.
std::optional<std::string_view> omitted_argument(std::string_view name, size_t given) {
  if ((name == "Lpad" || name == "Rpad") && given == 2) return " ";
  if (name == "Substr" && given == 2) return "";
  return std::nullopt;
}

// A number literal of digits alone, not all of them 0: a text position that
// every engine's SUBSTR reads as the language does.
bool is_positive_whole_literal(const Json& expr) {
  const Json* literal = expr.get("literal");
  const Json* number = literal != nullptr ? literal->get("the_number") : nullptr;
  const Json* text = number != nullptr ? number->get("number") : nullptr;
  if (text == nullptr || !text->is_str() || text->as_str().empty()) return false;
  const std::string digits(text->as_str());
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
         digits.find_first_not_of('0') != std::string::npos;
}

std::optional<std::string_view> text_of_string_literal(const Json& expr) {
  const Json* literal = expr.get("literal");
  if (literal == nullptr) return std::nullopt;
  const Json* the_string = literal->get("the_string");
  if (the_string == nullptr) return std::nullopt;
  const Json* text = the_string->get("the_string");
  if (text == nullptr || !text->is_str()) return std::nullopt;
  return text->as_str();
}

// The conversion letters of a printf format, one per value it takes; none when
// a width or precision is itself taken from the values ("*"), which moves them.
std::optional<std::vector<char>> printf_conversions(std::string_view format) {
  std::vector<char> conversions;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    size_t j = i + 1;
    while (j < format.size() &&
           std::string_view("-+ #0'123456789.hlLqjzt*").find(format[j]) != std::string_view::npos) {
      if (format[j] == '*') return std::nullopt;
      ++j;
    }
    if (j >= format.size()) break;
    if (format[j] != '%') conversions.push_back(format[j]);
    i = j;
  }
  return conversions;
}

// Digits with an optional sign, point and exponent: the numbers SQL reads as
// numbers.
bool is_numeral(std::string_view text) {
  if (text.empty()) return false;
  bool digit = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != '.' && c != '+' && c != '-' && c != 'e' && c != 'E') {
      return false;
    }
  }
  return digit;
}

// One quoted text literal and nothing else: '...' with doubled quotes inside,
// or E'...' whose backslashes also take the byte after them.
bool is_bare_text_literal(std::string_view sql) {
  const bool escapes = sql.starts_with("E'");
  size_t i = escapes ? 2 : 1;
  if (sql.size() < i + 1 || sql[i - 1] != '\'') return false;
  while (i < sql.size()) {
    if (escapes && sql[i] == '\\') {
      i += 2;
    } else if (sql[i] != '\'') {
      ++i;
    } else if (i + 1 < sql.size() && sql[i + 1] == '\'') {
      i += 2;
    } else {
      return i + 1 == sql.size();
    }
  }
  return false;
}

// Digits with an optional sign whose value fits in 64 bits.
bool is_int64_literal(std::string_view text) {
  int64_t value = 0;
  auto [end, error] =
      std::from_chars(text.data() + (text.starts_with('+') ? 1 : 0), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// Whether the call's entries are the two operands of an infix operator.
bool is_infix_call(const Json& call) {
  const Json* entries = call.at("record").get("field_value");
  if (entries == nullptr || entries->size() != 2) return false;
  const Json* left = entries->as_array()[0].get("field");
  const Json* right = entries->as_array()[1].get("field");
  return left != nullptr && right != nullptr && left->is_str() && right->is_str() &&
         left->as_str() == "left" && right->as_str() == "right";
}

// The call a combine's head aggregates with, as a negation writes it: the
// minimum of the number 1, which has a value exactly when the body has a
// solution. Null for any other combine.
Json* negation_minimum(Json& rule) {
  Json* entries = rule.at_mut("head").at_mut("record").get_mut("field_value");
  if (entries == nullptr || entries->size() != 1) return nullptr;
  Json* aggregation = entries->as_array_mut()[0].at_mut("value").get_mut("aggregation");
  Json* expression = aggregation != nullptr ? aggregation->get_mut("expression") : nullptr;
  Json* call = expression != nullptr ? expression->get_mut("call") : nullptr;
  if (call == nullptr || call->at("predicate_name").as_str() != "Min") return nullptr;
  const std::vector<const Json*> args = call_arguments(*call);
  const Json* literal = args.size() == 1 ? args[0]->get("literal") : nullptr;
  const Json* number = literal != nullptr ? literal->get("the_number") : nullptr;
  if (number == nullptr || number->at("number").as_str() != "1") return nullptr;
  return call;
}

std::string field_name(const Json& field) {
  if (field.is_int()) return "col" + std::to_string(field.as_int());
  return std::string(field.as_str());
}

std::string variable_name(const Json& variable) {
  const Json& name = variable.at("var_name");
  return name.is_str() ? std::string(name.as_str()) : name.compact();
}

// "{0} IS NULL OR {1} IS NULL ..." and "{0}, {1}, ..." for n arguments.
std::string null_guarded_template(std::string_view function, size_t n) {
  std::string tests;
  std::string places;
  for (size_t i = 0; i < n; ++i) {
    std::string place = "{" + std::to_string(i) + "}";
    if (i > 0) {
      tests += " OR ";
      places += ", ";
    }
    tests += place + " IS NULL";
    places += place;
  }
  return "(CASE WHEN " + tests + " THEN NULL ELSE " + std::string(function) + "(" + places + ") END)";
}

// A SQL type name given as text: letters, digits, blanks, "_", and one bracketed
// list of digits and commas, so that no user text reaches SQL unchecked.
bool is_plain_type_name(std::string_view text) {
  if (text.empty()) return false;
  bool in_brackets = false;
  for (char c : text) {
    bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ' ';
    bool digit = c >= '0' && c <= '9';
    if (in_brackets) {
      if (c == ')') {
        in_brackets = false;
      } else if (!digit && c != ',' && c != ' ') {
        return false;
      }
    } else if (c == '(') {
      in_brackets = true;
    } else if (!word && !digit) {
      return false;
    }
  }
  return !in_brackets;
}

// The template with its keyword placeholders written as the words the call's
// text literals name; a keyword must be known when compiling, as the engine
// reads no expression there.
SqlResult keyword_template(const std::string& name, std::string_view engine, std::string_view tmpl,
                           const std::vector<KeywordPlace>& places, const std::vector<const Json*>& args) {
  std::vector<std::string_view> chosen;
  for (const KeywordPlace& place : places) {
    const std::string choices = replace_all(place.words, "|", ", ");
    const std::string position = std::to_string(place.index + 1);
    const std::optional<std::string_view> text =
        place.index < args.size() ? text_of_string_literal(*args[place.index]) : std::nullopt;
    if (!text) {
      return error(name + " needs its argument " + position + " as a text literal on engine " +
                   std::string(engine) + ": one of " + choices + ".");
    }
    std::optional<std::string_view> word = keyword_named(place.words, *text);
    if (!word) {
      return error(name + " on engine " + std::string(engine) + " takes one of " + choices +
                   " as its argument " + position + ", not \"" + std::string(*text) + "\".");
    }
    chosen.push_back(*word);
  }
  return with_keywords(tmpl, places, chosen);
}

// The bare nulls among a call's arguments written with the types the engine
// needs them to have there; `first` is the place of sql[0] among `count`.
void type_null_arguments(const Dialect& dialect, std::string_view function, size_t count,
                         std::vector<std::string>& sql, size_t first = 0) {
  for (size_t i = 0; i < sql.size(); ++i) {
    if (sql[i] != "null" && sql[i] != "NULL") continue;
    if (std::optional<std::string> typed = dialect.typed_null_argument(function, count, first + i))
      sql[i] = std::move(*typed);
  }
}

// Where a bare null is of no type to the engine, a call that gives back one of
// its values gives text when every one of them is a bare null, as does a call
// that is null where one argument is, and text then meets no number nor list;
// its value is the null: the call is written as one.
bool gives_bare_null(std::string_view function, const std::vector<std::string>& sql) {
  auto bare = [](std::string_view value) { return value == "null" || value == "NULL"; };
  if (function == "Concat" || function == "ArrayConcat") return std::any_of(sql.begin(), sql.end(), bare);
  if (function == "Nullif" || function == "MagicalEntangle") return !sql.empty() && bare(sql[0]);
  const size_t first = function == "If" ? 1 : 0;
  if (first >= sql.size() || (first == 0 && function != "Coalesce" && function != "Ifnull" &&
                              function != "Greatest" && function != "Least"))
    return false;
  return std::all_of(sql.begin() + static_cast<std::ptrdiff_t>(first), sql.end(), bare);
}

// Whether a list is written as the null or with nulls only: each element of
// it is the null.
bool written_with_nulls_only(const Json& list) {
  auto is_null = [](const Json& value) {
    const Json* literal = value.get("literal");
    return literal != nullptr && literal->is_object() && literal->has("the_null");
  };
  if (is_null(list)) return true;
  const Json* literal = list.get("literal");
  const Json* written = literal != nullptr && literal->is_object() ? literal->get("the_list") : nullptr;
  if (written == nullptr) return false;
  const Json* elements = written->get("element");
  return elements == nullptr ||
         std::all_of(elements->as_array().begin(), elements->as_array().end(), is_null);
}

}  // namespace

SqlResult ExprTranslator::convert_to_sql_expecting(const Json& expr, const Type& expected) {
  // The hints reach every node below from here, so the inner conversions do not
  // hint again (which would walk each subtree once per level above it).
  hint_types(expr, expected);
  TRY(std::string sql, convert(expr));
  // Where a scalar type is expected, a bare null gets it on an engine that
  // would otherwise give it a type of its own.
  const Json* literal = expr.get("literal");
  if (dialect->types_bare_nulls() && literal != nullptr && literal->has("the_null") && sql == "null" &&
      (expected.is_number() || expected.is_bool() || expected.is_string())) {
    return "CAST(NULL AS " + dialect->scalar_sql_type(expected) + ")";
  }
  return sql;
}

std::optional<std::string> ExprTranslator::field_path(const Json& expr) {
  std::vector<std::string_view> fields;
  const Json* node = &expr;
  while (const Json* subscript = node->get("subscript")) {
    fields.push_back(subscript->at("subscript").at("literal").at("the_symbol").at("symbol").as_str());
    node = &subscript->at("record");
  }
  const Json* variable = node->get("variable");
  if (fields.empty() || variable == nullptr) return std::nullopt;
  std::string path = variable_name(*variable);
  for (auto field = fields.rbegin(); field != fields.rend(); ++field) path.append(".").append(*field);
  return path;
}

SqlResult ExprTranslator::convert(const Json& expr) {
  if (!expr.is_object()) throw InternalFault("expected object, got " + std::string(kind_name(expr.kind())));
  if (const Json* literal = expr.get("literal")) return convert_literal(expr, *literal);
  if (const Json* variable = expr.get("variable")) {
    std::string name = variable_name(*variable);
    auto found = vocabulary.find(name);
    if (found == vocabulary.end()) {
      return error(not_given_value_message(name));
    }
    return found->second;
  }
  if (const Json* record = expr.get("record")) return convert_record(expr, *record);
  if (const Json* subscript = expr.get("subscript")) {
    if (!field_columns.empty()) {
      if (std::optional<std::string> path = field_path(expr)) {
        if (auto column = field_columns.find(*path); column != field_columns.end()) return column->second;
      }
    }
    const Json& target = subscript->at("record");
    const std::string_view field =
        subscript->at("subscript").at("literal").at("the_symbol").at("symbol").as_str();
    TRY(std::string sql, convert(target));
    // A rest variable stands for a whole row, written "alias.*": its field is the
    // row's column, not a field of a record value.
    if (target.has("variable") && sql.size() > 2 && sql.compare(sql.size() - 2, 2, ".*") == 0) {
      return dialect->subscript(sql.substr(0, sql.size() - 2), field, true);
    }
    std::optional<std::string_view> by_position = dialect->field_by_position();
    if (std::optional<size_t> position = by_position ? field_position(target, field) : std::nullopt) {
      return apply_template(*by_position, {sql, std::to_string(*position + 1)});
    }
    return dialect->subscript(sql, field, false);
  }
  if (const Json* implication = expr.get("implication")) return convert_implication(*implication);
  if (const Json* combine = expr.get("combine")) return convert_combine(*combine);
  if (const Json* call = expr.get("call")) {
    TRY(std::string sql, convert_call(*call));
    // A template that writes an argument twice or more doubles the SQL (or
    // more) at each level of a nesting of its calls: past what one script may
    // hold it is refused here, before the next level multiplies it again.
    if (sql.size() > kMaxScriptBytes) return expression_too_long();
    return dialect->call_sql(std::move(sql));
  }
  throw InternalFault("expression of no known kind: " + expr.compact());
}

namespace {

// The lengths, level by level, of a list written in the program and of the
// lists written within it (-1 where one is not written there, and so of no
// known length); none where two lists at one level differ in length, or a
// null stands beside a list.
std::optional<std::vector<int64_t>> written_list_shape(const Json& value) {
  // As deep as literals nest, which the parser bounds.
  const Json* literal = value.get("literal");
  const Json* list = literal != nullptr ? literal->get("the_list") : nullptr;
  if (list == nullptr) return std::vector<int64_t>{};
  const Json* elements = list->get("element");
  const size_t count = elements != nullptr ? elements->size() : 0;
  std::vector<int64_t> within;
  bool lists = false, nulls = false;
  for (size_t i = 0; i < count; ++i) {
    const Json& element = elements->as_array()[i];
    const Json* inner = element.get("literal");
    if (inner != nullptr && inner->has("the_null")) {
      nulls = true;
      continue;
    }
    std::optional<std::vector<int64_t>> shape = written_list_shape(element);
    if (!shape) return std::nullopt;
    if (inner == nullptr || !inner->has("the_list")) continue;
    lists = true;
    if (within.size() < shape->size()) within.resize(shape->size(), -1);
    for (size_t level = 0; level < shape->size(); ++level) {
      int64_t& known = within[level];
      const int64_t length = (*shape)[level];
      if (known >= 0 && length >= 0 && known != length) return std::nullopt;
      if (known < 0) known = length;
    }
  }
  if (lists && nulls) return std::nullopt;
  within.insert(within.begin(), static_cast<int64_t>(count));
  return within;
}

}  // namespace

SqlResult ExprTranslator::convert_literal(const Json& expr, const Json& literal) {
  if (const Json* number = literal.get("the_number")) {
    const std::string text(number->at("number").as_str());
    // The words inf, infinity and nan are numbers to the parser, but written
    // as they are they would name a column; no engine-neutral literal exists.
    if (!is_numeral(text))
      return error("The number " + text + " has no SQL literal; write it as a calculation.");
    if (text.find('.') != std::string::npos) return dialect->float_literal(text);
    if (is_int64_literal(text)) return dialect->integer_literal(text);
    if (text.find_first_of("eE") != std::string::npos) return dialect->exponent_literal(text);
    return text;
  }
  if (const std::optional<std::string_view> text = text_of_string_literal(expr))
    return dialect->str_literal(*text);
  if (const Json* the_bool = literal.get("the_bool")) return std::string(the_bool->at("the_bool").as_str());
  const Type* hint = hint_of(expr);
  Type element = hint != nullptr && hint->is_list() ? hint->element() : Type::any();
  if (literal.has("the_null")) {
    if (hint != nullptr && hint->is_list()) {
      if (std::optional<std::string> typed = dialect->typed_array("null", element)) return *typed;
    }
    return std::string("null");
  }
  if (const Json* list = literal.get("the_list")) {
    std::vector<std::string> items;
    if (const Json* elements = list->get("element")) {
      for (const Json& item : elements->as_array()) {
        if (!dialect->holds_lists_in_lists() && value_type(item).is_list()) {
          return error("A list of lists is not available on engine " + std::string(dialect->name()) + ".");
        }
        TRY(std::string sql, convert(item));
        // Beside the others, a column of nulls (text to the engine) is the
        // null of no type it always holds.
        if (dialect->types_bare_nulls() && is_read_from_nulls(item)) sql = "NULL";
        items.push_back(dialect->list_item(std::move(sql), value_type(item)));
      }
      if (!dialect->holds_ragged_lists()) {
        const std::optional<std::vector<int64_t>> shape = written_list_shape(expr);
        if (!shape)
          return error("A list of lists of unequal lengths is not available on engine " +
                       std::string(dialect->name()) + ".");
        // An array of more dimensions has no empty one inside: it would be
        // read as an empty list itself.
        if (std::find(shape->begin() + 1, shape->end(), 0) != shape->end())
          return error("A list of empty lists is not available on engine " + std::string(dialect->name()) +
                       ".");
      }
      std::vector<const Json*> values;
      for (const Json& item : elements->as_array()) values.push_back(&item);
      read_as_written_records(values, items);
    }
    if (items.empty()) {
      std::string empty = dialect->empty_array_literal();
      if (hint != nullptr && hint->is_list()) {
        if (std::optional<std::string> typed = dialect->typed_array(empty, element)) return *typed;
      }
      return empty;
    }
    return apply_template(dialect->array_phrase(), items);
  }
  if (const Json* predicate = literal.get("the_predicate")) {
    return dialect->predicate_literal(predicate->at("predicate_name").as_str());
  }
  if (const Json* record = literal.get("the_record")) return convert_record(expr, *record);
  throw InternalFault("literal of no known kind: " + literal.compact());
}

SqlResult ExprTranslator::convert_record(const Json& node, const Json& record) {
  std::vector<RecordLiteralField> fields;
  std::vector<const Json*> values;
  FieldTypes types;
  for (const Json& entry : record.at("field_value").as_array()) {
    const Json& value = entry.at("value");
    const Json* expression = value.get("expression");
    if (expression == nullptr) throw InternalFault("record entry without expression: " + entry.compact());
    std::string name = field_name(entry.at("field"));
    if (!dialect->takes_field_name(unquoted_name(name))) {
      return error("Record field name " + std::string(unquoted_name(name)) + " is not available on engine " +
                   std::string(dialect->name()) + ".");
    }
    if (name == "*") {
      return error("A record value cannot hold the rest of another record (.." +
                   (expression->has("variable") ? variable_name(expression->at("variable")) : std::string()) +
                   ").");
    }
    TRY(std::string sql, convert(*expression));
    // A record value inside, or a list of them, is typed as it was written, its
    // hint included.
    std::optional<Type> written = written_type(*expression);
    types.emplace_back(name, written ? std::move(*written) : value_type(*expression));
    // Where the engine names no field of an untyped record, a combine's value
    // is typed from its body, as a variable equated with it would be. A list
    // only where the record's fields are named no other way: its elements
    // would be declared DOUBLE, where integers stay exact in their own type.
    if (const Json* combine = expression->get("combine");
        combine != nullptr && subquery_translator != nullptr && types.back().second.is_any() &&
        !dialect->names_untyped_fields(1)) {
      Type value = subquery_translator->combine_value_type(*combine, variable_types);
      if (!value.is_list() || !dialect->names_untyped_fields(record.at("field_value").size()))
        types.back().second = std::move(value);
    }
    // A list a combine gathers, where the engine would read a field of
    // undetermined type as text.
    if (const Json* combine = expression->get("combine");
        combine != nullptr && types.back().second.is_any() && subquery_translator != nullptr &&
        dialect->reads_untyped_fields_as_text()) {
      if (std::optional<Type> gathered = subquery_translator->gathered_list_type(*combine, variable_types))
        types.back().second = std::move(*gathered);
    }
    if (const Json* variable = expression->get("variable");
        variable != nullptr && types.back().second.is_open()) {
      const Json* var_name = variable->get("var_name");
      auto whole = var_name != nullptr && var_name->is_str() ? read_whole_from_host.find(var_name->as_str())
                                                             : read_whole_from_host.end();
      if (whole != read_whole_from_host.end()) {
        // Declared by the column's own type, found when the script runs.
        types.back().second = Type::any();
        types.back().second.set_origin(whole->second);
      }
    }
    fields.push_back(RecordLiteralField{std::move(name), std::move(sql), Type::any()});
    fields.back().integer = is_known_integer(*expression, true);
    values.push_back(expression);
  }
  hinted_fields(node, types, values);
  Type::Fields closed;
  bool untyped = false;
  for (size_t i = 0; i < fields.size(); ++i) {
    fields[i].type = types[i].second;
    fields[i].typed = written_record_types_.count(values[i]) != 0
                          ? untyped_records_.count(values[i]) == 0
                          : !leaves_kind_open(fields[i].type) || holds_only_nulls(*values[i]);
    untyped = untyped || !fields[i].typed;
    closed.insert_or_assign(types[i].first, types[i].second);
  }
  Type type = Type::closed_record(std::move(closed));
  std::string type_name;
  if (subquery_translator != nullptr) type_name = subquery_translator->register_record_type(type);
  written_record_types_.insert_or_assign(&node, std::move(type));
  if (!untyped) return dialect->record_literal(fields, type_name);
  untyped_records_.insert(&node);
  return dialect->record_of_untyped_fields(fields, type_name);
}

SqlResult ExprTranslator::convert_implication(const Json& implication) {
  std::vector<std::string> conditions;
  std::vector<const Json*> values;
  std::vector<std::string> value_sql;
  for (const Json& branch : implication.at("if_then").as_array()) {
    TRY(std::string condition, convert(branch.at("condition")));
    conditions.push_back(std::move(condition));
    values.push_back(&branch.at("consequence"));
    TRY(std::string value, convert(*values.back()));
    value_sql.push_back(std::move(value));
  }
  values.push_back(&implication.at("otherwise"));
  TRY(std::string otherwise, convert(*values.back()));
  value_sql.push_back(std::move(otherwise));
  read_as_written_records(values, value_sql);
  std::string sql = "(CASE";
  for (size_t i = 0; i < conditions.size(); ++i) sql += " WHEN " + conditions[i] + " THEN " + value_sql[i];
  sql += " ELSE " + value_sql.back() + " END)";
  return sql;
}

std::optional<Type> ExprTranslator::written_type(const Json& value) const {
  // As deep as literals nest, which the parser bounds.
  auto written = written_record_types_.find(&value);
  if (written != written_record_types_.end()) return written->second;
  const Json* literal = value.get("literal");
  const Json* list = literal != nullptr ? literal->get("the_list") : nullptr;
  const Json* elements = list != nullptr ? list->get("element") : nullptr;
  if (elements == nullptr) return std::nullopt;
  // Of the type its elements are read into (read_as_written_records): a field
  // the first leaves null is typed by another's.
  std::optional<Type> met;
  for (const Json& element : elements->as_array()) {
    std::optional<Type> inner = written_type(element);
    if (!inner) continue;
    if (!met) {
      met = std::move(inner);
      continue;
    }
    TypeResult both = intersect(*met, *inner, 0, 0);
    if (both.ok()) met = std::move(both).value();
  }
  if (!met) return std::nullopt;
  return Type::list(std::move(*met));
}

void ExprTranslator::read_as_written_records(const std::vector<const Json*>& values,
                                             std::vector<std::string>& sql) {
  const std::optional<std::string_view> form = dialect->declared_type_reading();
  if (subquery_translator == nullptr || values.size() < 2 || sql.size() < values.size()) return;
  std::optional<Type> target;
  std::vector<std::optional<Type>> written;
  written.reserve(values.size());
  for (const Json* value : values) {
    written.push_back(written_type(*value));
    if (!written.back()) continue;
    if (!target) {
      target = written.back();
      continue;
    }
    // A field one record leaves null (of no type) is typed by another's: a
    // record written first with a null must not hold its siblings to text.
    TypeResult met = intersect(*target, *written.back(), 0, 0);
    if (met.ok()) target = std::move(met).value();
  }
  // Cast to a type that names a field only the engine knows, a value would be
  // read as text.
  if (!target || (!form && leaves_kind_open(*target))) return;
  // A field a host's column fills in one record is of that column's type in
  // all, the others' nulls included.
  for (const std::optional<Type>& type : written)
    if (type) merge_origins(*target, *type);
  for (size_t i = 0; i < values.size(); ++i) {
    const Json* literal = values[i]->get("literal");
    // A null has no type to read it from; it takes the others'.
    if ((literal != nullptr && literal->has("the_null")) || (written[i] && *written[i] == *target)) continue;
    std::optional<std::string> read = form         ? read_as_declared_type(sql[i], *target)
                                      : written[i] ? dialect->written_value_as(sql[i], *written[i], *target)
                                                   : std::nullopt;
    if (read) sql[i] = std::move(*read);
  }
}

std::optional<std::string> ExprTranslator::read_as_declared_type(const std::string& sql, const Type& type) {
  const std::optional<std::string_view> form = dialect->declared_type_reading();
  if (!form || subquery_translator == nullptr) return std::nullopt;
  Type::Fields field;
  field.insert_or_assign("v", type);
  const std::string wrapper =
      subquery_translator->register_record_type(Type::closed_record(std::move(field)));
  return apply_template(*form, {sql, wrapper});
}

SqlResult ExprTranslator::convert_arguments(const std::vector<const Json*>& args,
                                            std::vector<std::string>& out) {
  for (const Json* arg : args) {
    TRY(std::string sql, convert(*arg));
    out.push_back(std::move(sql));
  }
  return std::string();
}

void ExprTranslator::cast_text_fields_to_numbers(std::string_view op, const std::vector<const Json*>& args,
                                                 std::vector<std::string>& sql) const {
  // A value of unknown type may read back as text even when the value stored
  // was a number (see Dialect::reads_untyped_fields_as_text): a record field,
  // or a variable of held_as_text.
  static constexpr std::array<std::string_view, 12> kNumeric = {
      "<", ">", "<=", ">=", "==", "!=", "+", "-", "*", "/", "%", "^"};
  if (!dialect->reads_untyped_fields_as_text()) return;
  if (op == "in") {
    // Sought in a list of numbers, such a value is sought as a number.
    const Type list = value_type(*args[1]);
    if (list.is_list() && list.element().is_number() && is_held_as_text(*args[0]))
      sql[0] = "CAST(" + sql[0] + " AS " + std::string(dialect->number_type_of_text()) + ")";
    return;
  }
  if (std::find(kNumeric.begin(), kNumeric.end(), op) == kNumeric.end()) return;
  // Two bare nulls (facts' nulls come in for variables) leave the engine no
  // type to choose the operator by; the outcome is null whatever it is.
  const bool reckons = op == "+" || op == "-" || op == "*" || op == "/" || op == "%" || op == "^";
  if (reckons && (sql[0] == "null" || sql[0] == "NULL") && (sql[1] == "null" || sql[1] == "NULL")) {
    sql[0] = "CAST(" + sql[0] + " AS " + std::string(dialect->number_type_of_text()) + ")";
    return;
  }
  // Nor do two values read from columns of nulls, which the engine holds as
  // text: reckoned with, they are numbers.
  if (reckons && dialect->types_bare_nulls() && is_read_from_nulls(*args[0]) &&
      is_read_from_nulls(*args[1])) {
    for (std::string& side : sql)
      side = "CAST(" + side + " AS " + std::string(dialect->number_type_of_text()) + ")";
    return;
  }
  for (std::size_t i = 0; i < 2; ++i) {
    if (value_type(*args[1 - i]).is_number() && is_held_as_text(*args[i])) {
      sql[i] = "CAST(" + sql[i] + " AS " + std::string(dialect->number_type_of_text()) + ")";
    } else if (dialect->types_bare_nulls() && is_read_from_nulls(*args[i]) &&
               !is_held_as_text(*args[1 - i]) && !value_type(*args[1 - i]).is_string()) {
      // A value of no known type beside a column of nulls: the null is
      // reckoned with as a number, and compared as text to what may not be
      // one; either way the outcome is the null's.
      const bool compares = op == "==" || op == "!=" || op == "<" || op == ">" || op == "<=" || op == ">=";
      if (compares) {
        sql[1 - i] = "CAST(" + sql[1 - i] + " AS TEXT)";
      } else {
        sql[i] = "CAST(" + sql[i] + " AS " + std::string(dialect->number_type_of_text()) + ")";
      }
    }
  }
}

bool ExprTranslator::compare_records_of_two_types(std::string_view op, const Type& left, const Type& right,
                                                  std::vector<std::string>& sql) const {
  // A record whose field was read from a table's column is of another declared
  // type than one the program wrote with a number there, as is a record of a
  // type only the engine knows (a table's column, a field of one), and an
  // engine that compares records field by field of one type each refuses the
  // pair. So does one whose lists are arrays of one element type each (a
  // list of a record's field's declared type, of integers, of floats, or one
  // only the engine knows); and where records are texts, so are lists, whose
  // spelling tells 1 from 1.0.
  if (op != "==" && op != "!=") return false;
  // An engine that compares no lists compares every value holding one in its
  // form, of whatever types the two sides are.
  if (const std::optional<std::string_view> lists = dialect->list_comparison_form();
      lists && (holds_list(left) || holds_list(right))) {
    for (std::string& side : sql)
      if (side != "null" && side != "NULL") side = apply_template(*lists, {side});
    return true;
  }
  const std::optional<std::string_view> form = dialect->record_comparison_form();
  if (!form) return false;
  auto beside = [](const Type& one, const Type& other) {
    return (one.is_record() && other.is_any()) || (one.is_list() && (other.is_list() || other.is_any()));
  };
  const bool two_types = dialect->compares_every_record_in_form()
                             ? left.is_record() || right.is_record() || left.is_list() || right.is_list()
                         : left.is_record() && right.is_record()
                             ? record_type_name(left) != record_type_name(right)
                             : beside(left, right) || beside(right, left);
  if (!two_types) return false;
  // A bare null is of the other side's type, in the form as out of it.
  for (std::string& side : sql)
    if (side != "null" && side != "NULL") side = in_comparison_form(side);
  return true;
}

std::string ExprTranslator::in_comparison_form(std::string_view sql) const {
  // The empty list is a literal of no type yet on an engine that writes it as
  // one, which a form that takes any value refuses; in the form every empty
  // list is alike.
  std::string value(sql);
  if (value == dialect->empty_array_literal()) {
    if (std::optional<std::string> typed = dialect->typed_array(value, Type::string()))
      value = std::move(*typed);
  }
  return apply_template(*dialect->record_comparison_form(), {value});
}

std::vector<std::string> ExprTranslator::leaf_fields(const Type& record,
                                                     const std::string& record_sql) const {
  std::vector<std::string> leaves;
  std::vector<std::pair<const Type*, std::string>> pending{{&record, record_sql}};
  while (!pending.empty()) {
    auto [type, value] = std::move(pending.back());
    pending.pop_back();
    if (!type->is_record()) {
      leaves.push_back(std::move(value));
      continue;
    }
    const Type::Fields& fields = type->fields();
    for (auto field = fields.rbegin(); field != fields.rend(); ++field) {
      pending.emplace_back(&field->second, dialect->subscript(value, field->first, false));
    }
  }
  return leaves;
}

std::optional<std::string> ExprTranslator::record_in_list(const Json& element, const Json& list,
                                                          const std::vector<std::string>& sql) const {
  // Where records are texts, a record is sought by its comparison form, not
  // by its spelling (nor by what the host makes of it); so is a list, a text
  // as well, which the host could not tell from a text value.
  if (!dialect->compares_every_record_in_form()) return std::nullopt;
  const Type list_type = value_type(list);
  auto is_text_held = [](const Type& type) { return type.is_record() || type.is_list(); };
  if (!is_text_held(value_type(element)) && !(list_type.is_list() && is_text_held(list_type.element()))) {
    return std::nullopt;
  }
  const std::string_view form = *dialect->record_comparison_form();
  return "(CASE WHEN " + sql[0] + " IS NULL OR " + sql[1] +
         " IS NULL THEN NULL WHEN EXISTS (SELECT 1 FROM JSON_EACH(" + sql[1] + ") AS mirtova_e WHERE " +
         apply_template(form, {"mirtova_e.value"}) + " = " + apply_template(form, {sql[0]}) +
         ") THEN 1 WHEN EXISTS (SELECT 1 FROM JSON_EACH(" + sql[1] +
         ") WHERE type = 'null') THEN NULL ELSE 0 END)";
}

std::string ExprTranslator::extreme_record_of_texts(const Type& record, bool greatest) const {
  // Records held as JSON texts would order by their spelling ({"a":10} before
  // {"a":9}): the group's records are ordered by their fields' values instead,
  // fields in the order of their names and a nested record's fields in its
  // place, a null field after every value, as where records are the engine's own.
  // A list field would order by its spelling too: a record holding one is
  // ordered as the engine orders lists, place by place, where it has a way.
  if (const std::optional<std::string> by_places = dialect->extreme_list(greatest)) {
    std::vector<const Type*> records{&record};
    while (!records.empty()) {
      const Type* type = records.back();
      records.pop_back();
      for (const auto& field : type->fields()) {
        if (field.second.is_list()) return *by_places;
        if (field.second.is_record()) records.push_back(&field.second);
      }
    }
  }
  const std::string_view direction = greatest ? " DESC" : "";
  std::string order;
  // Fields still to order by, the next one last: a type and the SQL of its value.
  std::vector<std::pair<const Type*, std::string>> pending{{&record, "mirtova_e.value"}};
  while (!pending.empty()) {
    auto [type, value] = std::move(pending.back());
    pending.pop_back();
    if (!type->is_record()) {
      if (!order.empty()) order += ", ";
      order += "(" + value + " IS NULL)" + std::string(direction) + ", " + value + std::string(direction);
      continue;
    }
    const Type::Fields& fields = type->fields();
    for (auto field = fields.rbegin(); field != fields.rend(); ++field) {
      pending.emplace_back(&field->second, dialect->subscript(value, field->first, false));
    }
  }
  if (order.empty()) order = "mirtova_e.key";
  // The group's count keeps the query aggregating where the record reads no column.
  return "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((SELECT mirtova_e.value FROM "
         "JSON_EACH(mirtova_a.value) AS mirtova_e WHERE "
         "mirtova_e.value IS "
         "NOT NULL ORDER BY " +
         order +
         " LIMIT 1)) FROM JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY(JSON({0}))))) AS mirtova_a) END)";
}

std::string ExprTranslator::search_in_list(const Json& element, const Json& list, std::string_view tmpl,
                                           std::vector<std::string>& sql) const {
  if (std::optional<std::string> found = record_in_list(element, list, sql)) return *found;
  // An engine that compares no lists seeks a value holding one by its form.
  if (const std::optional<std::string_view> lists = dialect->list_comparison_form();
      lists && holds_list(value_type(element))) {
    return "(" + apply_template(*lists, {sql[0]}) + " IN (SELECT " + apply_template(*lists, {"mirtova_u"}) +
           " FROM " + dialect->unnested_list(sql[1], "mirtova_u", value_type(list)) + "))";
  }
  const Type list_type = value_type(list);
  // A record sought among records of another declared type (a field read
  // from a host's column beside one written as a number) is sought in the
  // form, as equality compares the two: "= ANY" would compare them field by
  // field, of two types each.
  if (dialect->record_comparison_form() && list_type.is_list()) {
    const std::optional<Type> sought = written_type(element);
    const std::optional<Type> among = written_type(list);
    if (sought && sought->is_record() && among && among->is_list() && among->element().is_record() &&
        record_type_name(*sought) != record_type_name(among->element())) {
      return "(" + in_comparison_form(sql[0]) + " IN (SELECT " + in_comparison_form("mirtova_u") + " FROM " +
             dialect->unnested_list(sql[1], "mirtova_u", list_type) + "))";
    }
  }
  // Where a list of lists is one array of more dimensions, "= ANY" would compare
  // the list sought with its elements: it is sought among the lists unnested.
  if (list_type.is_list() && list_type.element().is_list()) {
    if (std::optional<std::string> phrase = dialect->unnest_lists_phrase(list_depth(list_type.element()))) {
      // Compared in the form, as lists are by equality: the sought list and
      // the unnested ones may be arrays of two element types.
      const bool form = dialect->record_comparison_form().has_value();
      const std::string sought = form ? in_comparison_form(sql[0]) : sql[0];
      const std::string each = form ? in_comparison_form("mirtova_u") : "mirtova_u";
      return "(" + sought + " IN (SELECT " + each + " FROM " +
             apply_template(*phrase, {sql[1], "mirtova_u"}) + "))";
    }
  }
  if (dialect->searches_rows_of_a_sought_subquery() && sql[1].starts_with("(SELECT ")) {
    sql[1] = "COALESCE(" + sql[1] + ")";
  }
  return "(" + fill_operator(*dialect, tmpl, sql[0], sql[1]) + ")";
}

bool ExprTranslator::is_read_from_nulls(const Json& expr) const {
  if (const Json* combine = expr.get("combine")) {
    return dialect->types_bare_nulls() && subquery_translator != nullptr &&
           subquery_translator->aggregates_nulls(*combine, value_column_name);
  }
  const Json* variable = expr.get("variable");
  if (variable == nullptr) return false;
  const Json& name = variable->at("var_name");
  return read_from_nulls.count(name.is_str() ? name.as_str() : name.compact()) > 0;
}

void ExprTranslator::type_untyped_arguments(std::string_view function, const std::vector<const Json*>& args,
                                            std::vector<std::string>& sql) const {
  // A text literal or a null may be of no type yet to the engine, which then
  // cannot choose among a function's forms (ARRAY_AGG('a') and SUM(null) are
  // refused on PostgreSQL), whether the constant is written in the call or
  // came in for a variable through an injected fact. As an argument a text
  // literal is text, but a list where lists are joined (the empty list is the
  // literal '{}'); a null is a number where numbers are added up, text where
  // values are gathered, and a list where lists are joined. A value held as
  // text (is_held_as_text) is read as a number where numbers are added up.
  static constexpr std::array<std::string_view, 3> kAddingUp = {"Agg+", "Sum", "Avg"};
  static constexpr std::array<std::string_view, 3> kGathering = {"List", "Set", "ArrayAgg"};
  static constexpr std::array<std::string_view, 2> kJoiningLists = {"Agg++", "ArrayConcatAgg"};
  // Aggregates that take values of one SQL type only ("" for the engine's number
  // type of text): a column of nulls, text to the engine, is a null of that type.
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kOfTypedValues = {
      {{"LogicalAnd", "BOOLEAN"},
       {"LogicalOr", "BOOLEAN"},
       {"BitAnd", "BIGINT"},
       {"BitOr", "BIGINT"},
       {"BitXor", "BIGINT"},
       {"VarPop", ""},
       {"VarSamp", ""},
       {"StddevPop", ""},
       {"StddevSamp", ""},
       {"Median", ""}}};
  // Their arguments are of one type: that of their value, or one they are compared in.
  static constexpr std::array<std::string_view, 5> kOfOneType = {"Coalesce", "Ifnull", "Greatest", "Least",
                                                                 "Nullif"};
  const bool types_nulls = dialect->types_bare_nulls();
  const bool types_texts = dialect->leaves_text_literals_untyped();
  const bool reads_held = dialect->reads_untyped_fields_as_text();
  if (!types_nulls && !types_texts && !reads_held) return;
  auto one_of = [function](const auto& names) {
    return std::find(names.begin(), names.end(), function) != names.end();
  };
  auto of_one_column = [this](const Json& value) {
    const Type type = value_type(value);
    return type.origin() != nullptr && !type.origin()->several;
  };
  const bool adds_up = one_of(kAddingUp), gathers = one_of(kGathering), joins = one_of(kJoiningLists),
             of_one_type = one_of(kOfOneType), negates = function == "-";
  const bool concatenates = types_nulls && (function == "Concat" || function == "ArrayConcat");
  const auto typed_values = std::find_if(kOfTypedValues.begin(), kOfTypedValues.end(),
                                         [function](const auto& entry) { return entry.first == function; });
  for (size_t i = 0; i < args.size() && i < sql.size(); ++i) {
    std::string& argument = sql[i];
    if (types_nulls && (typed_values != kOfTypedValues.end() || joins) && i == 0 &&
        is_read_from_nulls(*args[i])) {
      const std::string_view type = joins                          ? std::string_view("TEXT[]")
                                    : typed_values->second.empty() ? dialect->number_type_of_text()
                                                                   : typed_values->second;
      argument = "CAST(NULL AS " + std::string(type) + ")";
      continue;
    }
    if (types_nulls && of_one_type && is_read_from_nulls(*args[i])) {
      // A column of nulls is text to the engine, which finds no type common
      // to it and a number: its value is the null it always is, of no type.
      argument = "NULL";
      continue;
    }
    const bool null = types_nulls && (argument == "null" || argument == "NULL");
    const bool literal = types_texts && is_bare_text_literal(argument);
    if (concatenates && (null || argument == dialect->empty_array_literal()) && i < 2 && args.size() == 2) {
      // Named once, in a sub-query of its own, a null or the empty list would
      // be text there: it is of the other list's type.
      if (Type other = value_type(*args[1 - i]); other.is_list() && !other.is_open()) {
        // A list of records is of its records' own type where the engine names one.
        std::optional<std::string> typed =
            other.element().is_record() ? dialect->typed_array(argument, other.element()) : std::nullopt;
        argument =
            typed ? std::move(*typed) : "CAST(" + argument + " AS " + dialect->scalar_sql_type(other) + ")";
        continue;
      }
    }
    // The empty list is written '{}' too: only a value known to be text is one.
    const bool text =
        literal && (text_of_string_literal(*args[i]).has_value() || value_type(*args[i]).is_string());
    if (joins && (null || literal)) {
      argument = "CAST(" + argument + " AS TEXT[])";
    } else if (literal && argument == dialect->empty_array_literal() && !text_of_string_literal(*args[i]) &&
               dialect->unnests_list_arguments(function)) {
      // Of no known element type, its elements are of the value sought among
      // them, if any: an empty array of that value's own type where the
      // program does not know it.
      Type element = value_type(*args[i]);
      element = element.is_list() ? element.element() : Type::any();
      std::optional<size_t> sought;
      for (size_t j = 0; j < args.size() && j < sql.size() && !sought; ++j)
        if (Type other = value_type(*args[j]); j != i && !other.is_list() && !other.is_record()) {
          sought = j;
          if (element.is_any()) element = std::move(other);
        }
      if (std::optional<std::string> typed = dialect->typed_array(argument, element))
        argument = std::move(*typed);
      else if (sought)
        argument = "ARRAY(SELECT " + sql[*sought] + " WHERE FALSE)";
      else
        argument = "CAST(" + argument + " AS TEXT[])";
    } else if (text) {
      argument = "CAST(" + argument + " AS TEXT)";
    } else if (null && (adds_up || gathers)) {
      argument = adds_up ? "CAST(NULL AS numeric)" : "CAST(NULL AS TEXT)";
    } else if (reads_held && (adds_up || negates) &&
               (is_held_as_text(*args[i]) || argument == "null" || argument == "NULL")) {
      // A bare null added up, or negated, has no type to choose the form by,
      // either.
      argument = "CAST(" + argument + " AS " + std::string(dialect->number_type_of_text()) + ")";
    } else if (types_nulls && reads_held && function == "Abs" &&
               (is_read_from_nulls(*args[i]) || (is_held_as_text(*args[i]) && !of_one_column(*args[i])))) {
      // Nor has a column of nulls, or a field of one, held as text, a form of
      // ABS to choose; only a number has an absolute value, and a null's is
      // null. A field declared as a host's column is of that column's type.
      argument = "CAST(" + argument + " AS " + std::string(dialect->number_type_of_text()) + ")";
    }
  }
}

std::optional<size_t> ExprTranslator::field_position(const Json& record, std::string_view field) const {
  // Only a record the program wrote has its fields in the order of their names.
  Type type = value_type(record);
  if (!type.is_record() || type.is_open()) return std::nullopt;
  const Type::Fields& fields = type.fields();
  auto found = fields.find(field);
  if (found == fields.end()) return std::nullopt;
  return static_cast<size_t>(std::distance(fields.begin(), found));
}

bool ExprTranslator::is_held_as_text(const Json& expr) const {
  if (const Json* variable = expr.get("variable")) {
    const Json& name = variable->at("var_name");
    return held_as_text.count(name.is_str() ? name.as_str() : name.compact()) > 0;
  }
  // So is the extreme of nulls only, of no type where a bare null is of none.
  if (const Json* combine = expr.get("combine")) {
    return dialect->reads_untyped_fields_as_text() && subquery_translator != nullptr &&
           subquery_translator->aggregates_nulls(*combine, value_column_name);
  }
  // An aggregated value entangled with its row is still that value.
  if (const Json* call = expr.get("call"); call != nullptr && call->at("predicate_name").is_str() &&
                                           call->at("predicate_name").as_str() == "MagicalEntangle") {
    std::vector<const Json*> args = call_arguments(*call);
    return !args.empty() && is_held_as_text(*args[0]);
  }
  const Json* subscript = expr.get("subscript");
  if (subscript == nullptr) return false;
  const Json* target = subscript->get("record");
  if (target == nullptr || !value_type(*target).is_record()) return false;
  // A field read by its position is the value put in it.
  const Json* symbol = subscript->get("subscript");
  if (symbol != nullptr && dialect->field_by_position() &&
      field_position(*target, symbol->at("literal").at("the_symbol").at("symbol").as_str()))
    return false;
  Type field = value_type(expr);
  return field.is_any() || field.is_atomic();
}

namespace {

bool is_rounding(std::string_view name) {
  return name == "Floor" || name == "Ceil" || name == "Ceiling" || name == "Round" || name == "Trunc";
}

// The end of the cast to a 64-bit integer that opens at `at` ("CAST(...
// AS INT64)" or "CAST(... AS BIGINT)"), past its closing bracket; none where
// no such cast opens there. Quoted text inside is skipped whole.
std::optional<size_t> end_of_int64_cast(std::string_view sql, size_t at) {
  if (sql.substr(at, 5) != "CAST(") return std::nullopt;
  size_t depth = 0;
  for (size_t i = at + 4; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      const size_t close = sql.find(c, i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      i = close;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      const std::string_view inside = sql.substr(at, i - at);
      if (inside.ends_with(" AS INT64") || inside.ends_with(" AS BIGINT")) return i + 1;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

// Whether SQL a variable stands for is an integer as every engine reads it:
// integer literals and casts to 64-bit integers joined by +, - and *, perhaps
// the greatest, least or sum of such values in a sub-query of no rows of its
// own, as a combine of them is written. Anything else (a fraction, a column,
// a function) is not known.
bool is_integer_sql(std::string_view sql) {
  bool digits = false;
  for (size_t at = 0; at < sql.size();) {
    const char c = sql[at];
    if (const std::optional<size_t> end = end_of_int64_cast(sql, at)) {
      digits = true;
      at = *end;
    } else if (c >= '0' && c <= '9') {
      digits = true;
      ++at;
    } else if (c == ' ' || c == '(' || c == ')' || c == '+' || c == '-' || c == '*') {
      ++at;
    } else {
      size_t end = at;
      while (end < sql.size() && (std::isalpha(static_cast<unsigned char>(sql[end])) || sql[end] == '_'))
        ++end;
      const std::string_view word = sql.substr(at, end - at);
      if (word != "SELECT" && word != "MAX" && word != "MIN" && word != "SUM" && word != "AS" &&
          word != "quoril_value")
        return false;
      at = end;
    }
  }
  return digits;
}

}  // namespace

bool is_integer_expression(const Json& expr, const std::function<bool(std::string_view)>& integer_variable) {
  // Every value on the stack must be an integer; a stack, not recursion, as
  // the arithmetic nests as deep as the program writes it.
  std::vector<const Json*> pending{&expr};
  while (!pending.empty()) {
    const Json& value = *pending.back();
    pending.pop_back();
    if (const Json* literal = value.get("literal")) {
      const Json* number = literal->get("the_number");
      const Json* text = number != nullptr ? number->get("number") : nullptr;
      if (text == nullptr || !text->is_str() || !is_int64_literal(text->as_str())) return false;
      continue;
    }
    if (const Json* variable = value.get("variable")) {
      const Json* name = variable->get("var_name");
      if (name == nullptr || !name->is_str() || !integer_variable(name->as_str())) return false;
      continue;
    }
    const Json* call = value.get("call");
    if (call == nullptr || !call->at("predicate_name").is_str()) return false;
    const std::string_view name = call->at("predicate_name").as_str();
    const std::vector<const Json*> args = call_arguments(*call);
    // Their SQL casts to INT64 or counts.
    if (name == "ToInt64" || name == "Div" || name == "Size" || name == "Length") continue;
    // An integer of integers; a quotient is not ("/" divides as doubles).
    const bool of_integers =
        name == "+" || name == "-" || name == "*" || name == "%" || (is_rounding(name) && args.size() == 1);
    if (!of_integers || args.empty()) return false;
    pending.insert(pending.end(), args.begin(), args.end());
  }
  return true;
}

bool ExprTranslator::is_known_integer(const Json& expr, bool reading_columns) const {
  if (const Json* combine = expr.get("combine"); combine != nullptr && reading_columns)
    return subquery_translator != nullptr && subquery_translator->integer_combine(*combine);
  return is_integer_expression(expr, [&](std::string_view name) {
    // A variable bound to a constant is written as the constant.
    auto bound = vocabulary.find(name);
    if (bound != vocabulary.end() && is_integer_sql(bound->second)) return true;
    return reading_columns && integer_columns_read.count(name) != 0;
  });
}

SqlResult ExprTranslator::convert_call(const Json& call) {
  const std::string name(call.at("predicate_name").as_str());
  std::vector<const Json*> args = call_arguments(call);

  if (is_refused(name)) {
    return error("Built-in function " + name + " is not available on engine " + std::string(dialect->name()) +
                 ".");
  }
  if (is_refused(arity_row_name(name, args.size()))) {
    return error("Built-in function " + name + " is not available on engine " + std::string(dialect->name()) +
                 " with " + std::to_string(args.size()) + " arguments.");
  }
  const std::optional<ArityRange> fixed_arity = built_in_function_arity_range(name);
  if (std::optional<ArityRange> range = fixed_arity) {
    int count = static_cast<int>(args.size());
    if (count < range->least || count > range->most) {
      return error("Built-in function " + name + " expects " + std::to_string(range->least) + "-" +
                   std::to_string(range->most) + " arguments, got " + std::to_string(count));
    }
  }

  const Dialect::NegationForm negation_form = dialect->negation_form();
  if (name == "IsNull" && args.size() == 1 && negation_form != Dialect::NegationForm::kMinimumIsNull) {
    if (const Json* combine = args[0]->get("combine")) {
      Json written = *combine;
      if (Json* minimum = negation_minimum(written)) {
        if (negation_form == Dialect::NegationForm::kCountIsZero) {
          minimum->at_mut("predicate_name") = Json("Count");
          TRY(std::string sql, convert_combine(written));
          return "(" + sql + " = 0)";
        }
        // The rows themselves, each the value 1, neither aggregated nor made
        // distinct: the planner takes a correlated EXISTS of plain rows only.
        Json one = make_object("expression", *call_arguments(*minimum)[0]);
        written.at_mut("head").at_mut("record").at_mut("field_value").as_array_mut()[0].at_mut("value") =
            std::move(one);
        written.as_object_mut().erase("distinct_denoted");
        TRY(std::string sql, convert_combine(written));
        return "(NOT EXISTS " + sql + ")";
      }
    }
  }
  if (is_date_format_function(name) && dialect->writes_date_formats()) {
    return convert_date_format(name, args);
  }
  if (name == "FlagValue") {
    const std::optional<std::string_view> text =
        args.size() == 1 ? text_of_string_literal(*args[0]) : std::nullopt;
    if (!text) return error("FlagValue takes one argument, the flag's name as a text literal.");
    std::string_view flag(*text);
    while (!flag.empty() && (flag.front() == '"' || flag.front() == '\'')) flag.remove_prefix(1);
    while (!flag.empty() && (flag.back() == '"' || flag.back() == '\'')) flag.remove_suffix(1);
    auto found = flag_values->find(flag);
    if (found == flag_values->end()) return error("Undefined flag: " + std::string(flag));
    return dialect->str_literal(found->second);
  }
  if (name == "SqlExpr") return convert_sql_expr(args);
  if (name == "If") {
    std::vector<std::string> sql;
    TRY_VOID(convert_arguments(args, sql));
    if (dialect->types_bare_nulls() && gives_bare_null(name, sql)) return std::string("NULL");
    type_null_arguments(*dialect, name, args.size(), sql);
    return apply_template("(CASE WHEN {0} THEN {1} ELSE {2} END)", sql);
  }
  if (name == "In" && args.size() == 2) {
    auto op = operators->find("in");
    std::vector<std::string> sql;
    TRY_VOID(convert_arguments(args, sql));
    if (op != operators->end()) return search_in_list(*args[0], *args[1], op->second, sql);
  }
  if (name == "Cast" || name == "TryCast") {
    const std::optional<std::string_view> type =
        args.size() == 2 ? text_of_string_literal(*args[1]) : std::nullopt;
    if (!type || !is_plain_type_name(*type)) {
      return error(name + " takes a value and the name of an SQL type as a text literal.");
    }
    TRY(std::string value, convert(*args[0]));
    return std::string(name == "Cast" ? "CAST(" : "TRY_CAST(") + value + " AS " + std::string(*type) + ")";
  }
  if (name.starts_with("Cumulative") || name.starts_with("Window")) {
    std::string_view rest = std::string_view(name).substr(name.starts_with("Window") ? 6 : 10);
    if (rest == "Sum" || rest == "Max" || rest == "Min") return convert_window(name, args);
  }
  if (args.size() == 1 && is_rounding(name) && dialect->rounds_integers_to_doubles() &&
      is_known_integer(*args[0])) {
    // An integer is whole already; rounding it would make it a double.
    return convert(*args[0]);
  }
  if (name == "Round" && args.size() == 2) {
    std::vector<std::string> sql;
    TRY_VOID(convert_arguments(args, sql));
    return apply_template(round_to_digits_template(*dialect), sql);
  }
  if (!args.empty()) {
    Type first = value_type(*args[0]);
    std::optional<std::string> special;
    if (name == "ToString" && first.is_number()) {
      special = dialect->number_to_string();
    } else if (name == "ToString" && first.is_bool()) {
      if (auto tmpl = dialect->boolean_to_string()) special = std::string(*tmpl);
    } else if (name == "ToString" && (first.is_list() || first.is_record())) {
      if (auto tmpl = dialect->container_to_string()) special = std::string(*tmpl);
    } else if (name == "ToInt64" && first.is_string()) {
      if (auto tmpl = dialect->int64_of_text()) special = std::string(*tmpl);
    } else if (name == "ToInt64" && !first.is_number()) {
      if (auto tmpl = dialect->int64_of_unknown_type()) special = std::string(*tmpl);
    } else if (name == "Element" && first.is_list() && first.element().is_list()) {
      if (auto tmpl = dialect->element_of_lists(list_depth(first.element()))) special = std::move(*tmpl);
    } else if (reorders_list(name) && first.is_list() && first.element().is_list() &&
               dialect->unnest_lists_phrase(1)) {
      std::optional<std::string> tmpl = dialect->lists_reordered(name, list_depth(first.element()));
      // Read slice by slice, a list of lists of lists would be read by its
      // numbers.
      if (!tmpl && first.element().element().is_list())
        return error(name + " of a list of lists of lists is not available on engine " +
                     std::string(dialect->name()) + ".");
      special = std::move(tmpl);
    } else if (reorders_list(name) && first.is_list() && first.element().is_record() &&
               !dialect->orders_lists_and_records()) {
      // Ordered by its fields, a record holding a list would be ordered by the list.
      if (holds_list(first.element()))
        return error("Built-in function " + name + " is not available on engine " +
                     std::string(dialect->name()) + " for a list of records holding a list.");
      if (auto tmpl = dialect->records_reordered(name, leaf_fields(first.element(), "x")))
        special = std::move(*tmpl);
    } else if ((name == "Min" || name == "Max") && first.is_record() && holds_list(first) &&
               !dialect->orders_lists_and_records()) {
      return error("Built-in function " + name + " is not available on engine " +
                   std::string(dialect->name()) + " for a record holding a list.");
    } else if ((name == "Min" || name == "Max") && first.is_bool()) {
      if (auto pair = dialect->boolean_min_max())
        special = std::string(name == "Min" ? pair->first : pair->second);
    } else if ((name == "Min" || name == "Max") && first.is_record() &&
               dialect->compares_every_record_in_form()) {
      special = extreme_record_of_texts(first, name == "Max");
    } else if ((name == "Min" || name == "Max") && first.is_record()) {
      special = dialect->extreme_record(leaf_fields(first, "({0})"), name == "Max");
    } else if ((name == "Min" || name == "Max") && first.is_list()) {
      special = dialect->extreme_list(name == "Max");
    }
    if (special) {
      std::vector<std::string> sql;
      TRY_VOID(convert_arguments(args, sql));
      return apply_template(*special, sql);
    }
  }
  if ((name == "Least" || name == "Greatest") && args.size() >= 2 && dialect->null_guarded_least_greatest()) {
    std::vector<std::string> sql;
    TRY_VOID(convert_arguments(args, sql));
    if (dialect->types_bare_nulls()) {
      for (size_t i = 0; i < args.size(); ++i)
        if (is_read_from_nulls(*args[i])) sql[i] = "NULL";
      if (gives_bare_null(name, sql)) return std::string("NULL");
    }
    read_as_written_records(args, sql);
    return apply_template(null_guarded_template(name == "Least" ? "LEAST" : "GREATEST", args.size()), sql);
  }
  if (name == "Format" && dialect->format_needs_expansion()) return convert_format(args);
  if ((name == "Sort" || name == "Unique") && args.size() == 1) {
    const Type list = value_type(*args[0]);
    if (list.is_list()) {
      if (std::optional<std::string> sorted =
              dialect->list_sorted_by_value(list.element(), name == "Unique")) {
        std::vector<std::string> sql;
        TRY_VOID(convert_arguments(args, sql));
        return apply_template(*sorted, sql);
      }
    }
  }

  if (is_infix_call(call) && args.size() == 2) {
    auto op = operators->find(name);
    if (op != operators->end()) {
      std::vector<std::string> sql;
      TRY_VOID(convert_arguments(args, sql));
      cast_text_fields_to_numbers(name, args, sql);
      if (name == "in" && (sql[0] == "null" || sql[0] == "NULL")) {
        const Type list = value_type(*args[1]);
        if (auto typed = dialect->null_sought_in_list(list.is_list() ? list.element() : Type::any()))
          sql[0] = std::move(*typed);
      }
      // Lists compared are of one type, their records the program's, unless
      // compared in the form, which reads neither as its type.
      if (!compare_records_of_two_types(name, value_type(*args[0]), value_type(*args[1]), sql) &&
          (name == "==" || name == "!=") && value_type(*args[0]).is_list() && value_type(*args[1]).is_list())
        read_as_written_records(args, sql);
      if (name == "in") return search_in_list(*args[0], *args[1], op->second, sql);
      // An engine that tests a record for null field by field has a row of its
      // own for a record on the left.
      if (value_type(*args[0]).is_record()) {
        if (auto of_record = operators->find(name + "@record"); of_record != operators->end()) op = of_record;
      }
      return "(" + fill_operator(*dialect, op->second, sql[0], sql[1]) + ")";
    }
  }
  // Engines that keep booleans, lists or records as numbers or texts have rows
  // for those kinds of first argument.
  std::string_view kind;
  if (!args.empty()) {
    Type first = value_type(*args[0]);
    kind = first.is_bool() ? "bool" : first.is_list() ? "list" : first.is_record() ? "record" : "";
  }
  if (name == "Substr" && args.size() >= 2 && is_positive_whole_literal(*args[1])) kind = "from_start";
  if (const std::string* tmpl = function_template(name, args.size(), kind)) {
    // An engine may lack a function for one kind of argument alone.
    if (*tmpl == kNotOnThisEngine) {
      return error("Built-in function " + name + " is not available on engine " +
                   std::string(dialect->name()) + ".");
    }
    // Too few arguments would leave a placeholder in the SQL, and more than a
    // template names would be dropped without a word (a function of fixed
    // arity may ignore some of its arguments on purpose).
    const size_t needed = arguments_needed(*tmpl);
    const bool takes_exactly = names_positional(*tmpl) || tmpl->find("%s") == std::string::npos;
    const std::optional<std::string_view> omitted =
        needed == args.size() + 1 ? omitted_argument(name, args.size()) : std::nullopt;
    if ((args.size() < needed && !omitted) || (!fixed_arity && takes_exactly && args.size() > needed)) {
      ArityRange range = template_arities(name, needed);
      return error("Built-in function " + name + " expects " + std::to_string(range.least) + "-" +
                   std::to_string(range.most) + " arguments, got " + std::to_string(args.size()));
    }
    std::string with_words;
    std::string_view filled = *tmpl;
    if (std::vector<KeywordPlace> places = keyword_places(*tmpl); !places.empty()) {
      TRY(with_words, keyword_template(name, dialect->name(), *tmpl, places, args));
      filled = with_words;
    }
    std::vector<std::string> sql;
    TRY_VOID(convert_arguments(args, sql));
    // Its element is the null at every place: a bare null, of the type of
    // what it meets, not of the list's elements, text where nothing tells them.
    if (dialect->types_bare_nulls() && name == "Element" && !args.empty() &&
        written_with_nulls_only(*args[0]))
      return std::string("NULL");
    type_untyped_arguments(name, args, sql);
    type_null_arguments(*dialect, name, args.size(), sql);
    if (dialect->types_bare_nulls() && gives_bare_null(name, sql)) return std::string("NULL");
    if (name == "Format" && !args.empty()) {
      if (std::optional<std::string_view> format = text_of_string_literal(*args[0])) {
        if (std::optional<std::vector<char>> conversions = printf_conversions(*format)) {
          for (size_t i = 0; i < conversions->size() && i + 1 < sql.size(); ++i)
            sql[i + 1] = dialect->format_value((*conversions)[i], sql[i + 1], value_type(*args[i + 1]));
        }
      }
    }
    if (name == "Ifnull" || name == "Coalesce" || name == "Greatest" || name == "Least")
      read_as_written_records(args, sql);
    if (omitted)
      sql.push_back(omitted->empty() ? dialect->integer_literal("2147483647")
                                     : dialect->str_literal(*omitted));
    // A plain function called without arguments: "NAME(%s)" has nothing to fill.
    if (args.empty()) return replace_all(filled, "(%s)", "()");
    if (filled_size(filled, sql) > kMaxScriptBytes) return expression_too_long();
    if (name == "Format" && dialect->null_guarded_format())
      return dialect->null_guarded_call(
          sql, [&](const std::vector<std::string>& values) { return apply_template(filled, values); });
    return apply_template(filled, sql);
  }
  return convert_predicate_call(call);
}

SqlResult ExprTranslator::convert_sql_expr(const std::vector<const Json*>& args) {
  const std::optional<std::string_view> text = args.empty() ? std::nullopt : text_of_string_literal(*args[0]);
  if (!text || args.size() > 2) {
    return error("SqlExpr takes a text literal and a record of the values it names.");
  }
  Vocabulary values;
  if (args.size() == 2) {
    const Json* record = args[1]->get("record");
    if (record == nullptr) {
      if (const Json* literal = args[1]->get("literal")) record = literal->get("the_record");
    }
    if (record == nullptr) return error("SqlExpr takes a text literal and a record of the values it names.");
    for (const Json& entry : record->at("field_value").as_array()) {
      const Json* expression = entry.at("value").get("expression");
      if (expression == nullptr) continue;
      TRY(std::string sql, convert(*expression));
      values.insert_or_assign(field_name(entry.at("field")), std::move(sql));
    }
  }
  // One pass over the text: a value's SQL is copied as it is, so braces inside a
  // value (a user's string literal) are never taken for placeholders.
  std::string out;
  out.reserve(text->size());
  size_t i = 0;
  while (i < text->size()) {
    if ((*text)[i] == '{') {
      size_t close = text->find('}', i + 1);
      if (close != std::string::npos) {
        auto found = values.find(std::string_view(*text).substr(i + 1, close - i - 1));
        if (found != values.end()) {
          out += found->second;
          i = close + 1;
          continue;
        }
      }
    }
    out += (*text)[i];
    ++i;
  }
  return out;
}

SqlResult ExprTranslator::convert_format(const std::vector<const Json*>& args) {
  const std::optional<std::string_view> format =
      args.empty() ? std::nullopt : text_of_string_literal(*args[0]);
  if (!format) {
    return error("Format needs its format as a text literal on engine " + std::string(dialect->name()) + ".");
  }
  std::vector<std::string> values;
  TRY_VOID(convert_arguments(std::vector<const Json*>(args.begin() + 1, args.end()), values));
  std::vector<std::string> parts;
  std::string piece;
  size_t next = 0;
  for (size_t i = 0; i < format->size(); ++i) {
    char c = (*format)[i];
    if (c != '%') {
      piece += c;
      continue;
    }
    char spec = i + 1 < format->size() ? (*format)[i + 1] : '\0';
    if (spec == '%') {
      piece += '%';
      ++i;
      continue;
    }
    if (spec != 's' && spec != 'd') {
      return error("Format on engine " + std::string(dialect->name()) +
                   " knows only %s, %d and %%, not the format " + std::string(*format) + ".");
    }
    if (next >= values.size()) {
      return error("Format has more placeholders than values: " + std::string(*format) + ".");
    }
    if (!piece.empty()) parts.push_back(dialect->str_literal(piece));
    piece.clear();
    parts.push_back(dialect->string_cast(values[next++]));
    ++i;
  }
  if (!piece.empty() || parts.empty()) parts.push_back(dialect->str_literal(piece));
  return "(" + join(parts, " || ") + ")";
}

SqlResult ExprTranslator::convert_date_format(const std::string& name, const std::vector<const Json*>& args) {
  if (args.size() != 2) {
    return error("Built-in function " + name + " expects 2-2 arguments, got " + std::to_string(args.size()));
  }
  const std::optional<std::string_view> format = text_of_string_literal(*args[0]);
  if (!format) {
    return error(name + " needs its format as a text literal on engine " + std::string(dialect->name()) +
                 ".");
  }
  std::vector<std::string> value(1);
  TRY(value[0], convert(*args[1]));
  type_null_arguments(*dialect, name, args.size(), value, 1);
  auto written = date_format_call(dialect->engine(), name, *format, value[0]);
  if (!written.ok()) return error(std::move(written).error());
  return std::move(written).value();
}

SqlResult ExprTranslator::convert_window(std::string_view name, const std::vector<const Json*>& args) {
  bool window = name.starts_with("Window");
  std::string_view aggregate = name.substr(window ? 6 : 10);
  size_t wanted = window ? 3 : 2;
  if (args.size() != wanted) {
    return error("Built-in function " + std::string(name) + " expects " + std::to_string(wanted) + "-" +
                 std::to_string(wanted) + " arguments, got " + std::to_string(args.size()));
  }
  std::vector<std::string> sql;
  TRY_VOID(convert_arguments(args, sql));
  std::string function = aggregate == "Sum" ? "SUM" : aggregate == "Max" ? "MAX" : "MIN";
  std::string frame = window ? "{2} PRECEDING" : "UNBOUNDED PRECEDING";
  return apply_template(function + "({0}) OVER (ORDER BY {1} ROWS BETWEEN " + frame + " AND CURRENT ROW)",
                        sql);
}

SqlResult ExprTranslator::convert_predicate_call(const Json& call) {
  const std::string name(call.at("predicate_name").as_str());
  if (subquery_translator == nullptr) {
    return error("Function " + name + " is not a built-in function of engine " +
                 std::string(dialect->name()) + ".");
  }
  TRY(std::string table, subquery_translator->translate_table(name));
  const std::string alias = subquery_translator->table_alias(name);
  std::vector<std::string> conditions;
  for (const Json& entry : call.at("record").at("field_value").as_array()) {
    const Json* expression = entry.at("value").get("expression");
    if (expression == nullptr) continue;
    TRY(std::string sql, convert(*expression));
    conditions.push_back(alias + "." + sql_column(field_name(entry.at("field")), *dialect) + " = " + sql);
  }
  std::string out = "(SELECT " + alias + "." + value_column_name + " FROM " + table + " AS " + alias;
  // A call without arguments has no condition; an empty WHERE would not parse.
  if (!conditions.empty()) out += " WHERE " + join(conditions, " AND ");
  return out + ")";
}

}  // namespace mirtova
