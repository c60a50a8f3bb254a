#include "compiler/dialects/dialect.h"

#include <algorithm>

#include "compiler/dialects/engine_table.h"
#include "compiler/dialects/library/library_program.h"
#include "compiler/dialects/quoting.h"

namespace mirtova {

std::unique_ptr<Dialect> Dialect::get(Engine engine) { return engine_entry(engine).make_dialect(); }

// The answers below are the ones most engines share; an engine whose answer
// differs overrides the operation in its own file.

TemplateRows Dialect::built_in_functions() const { return function_template_rows(engine()); }

std::optional<std::pair<std::string_view, std::string_view>> Dialect::boolean_min_max() const {
  return std::nullopt;
}

std::string_view Dialect::log10_function() const { return "LOG10"; }

std::optional<std::string_view> Dialect::boolean_to_string() const { return std::nullopt; }
std::optional<std::string_view> Dialect::int64_of_unknown_type() const { return std::nullopt; }

bool Dialect::supports_offset() const { return true; }

std::string row_count_text(uint64_t count) {
  // Every engine reads LIMIT and OFFSET as signed 64-bit numbers and refuses a
  // larger one; no table holds that many rows, so the largest signed value
  // gives the same rows (all of them, or none).
  constexpr uint64_t kLargest = static_cast<uint64_t>(INT64_MAX);
  return std::to_string(count < kLargest ? count : kLargest);
}

std::string Dialect::pagination_clause(std::optional<uint64_t> limit, std::optional<uint64_t> offset) const {
  std::string out;
  if (limit) out += "\nLIMIT " + row_count_text(*limit);
  if (offset) out += "\nOFFSET " + row_count_text(*offset);
  return out;
}

TemplateRows Dialect::infix_operators() const { return operator_template_rows(engine()); }

std::string Dialect::subscript(std::string_view record, std::string_view field, bool) const {
  return std::string(record) + "." + record_field(field);
}

std::string Dialect::record_field(std::string_view name) const {
  if (name == "*") return "*";
  return sql_column(name, *this);
}

std::string_view Dialect::library_program() const { return library_program_text(engine()); }

std::string_view Dialect::unnest_records_phrase() const { return unnest_phrase(); }

std::string Dialect::predicate_literal(std::string_view predicate) const {
  return "'predicate_name:" + std::string(predicate) + "'";
}

bool Dialect::is_postgresqlish() const { return false; }

std::string_view Dialect::cascading_deletion_word() const { return ""; }

std::string_view Dialect::except_distinct() const { return "EXCEPT"; }

std::string Dialect::quote_identifier(std::string_view name) const { return quoted_doubling(name, '"'); }

bool Dialect::supports_create_or_replace() const { return false; }

size_t Dialect::most_nested_injection() const { return SIZE_MAX; }

uint64_t Dialect::most_table_references() const { return UINT64_MAX; }

uint64_t Dialect::most_query_stages() const { return UINT64_MAX; }

bool Dialect::unfolds_recursion_iteratively() const { return false; }

std::string Dialect::setup_script(const RecordTypes&) const { return {}; }

bool Dialect::writes_date_formats() const { return false; }

bool Dialect::types_bare_nulls() const { return false; }
bool Dialect::null_guarded_format() const { return false; }
std::optional<std::string> Dialect::extreme_list(bool) const { return std::nullopt; }
std::string Dialect::list_item(std::string sql, const Type&) const { return sql; }
std::string Dialect::ordered_again(std::string condition) const { return condition; }
std::optional<std::string> Dialect::list_sorted_by_value(const Type&, bool) const { return std::nullopt; }
std::string Dialect::records_equal(const std::string& left, const std::string& right) const {
  return left + " = " + right;
}
std::optional<std::string_view> Dialect::container_to_string() const { return std::nullopt; }
bool Dialect::types_columns_of_nulls() const { return false; }

bool Dialect::casts_combines_to_their_type() const { return false; }

bool Dialect::reads_untyped_fields_as_text() const { return false; }

std::string_view Dialect::number_type_of_text() const { return "numeric"; }

bool Dialect::leaves_text_literals_untyped() const { return false; }

bool Dialect::combines_over_lists() const { return true; }

SqlLexicon Dialect::sql_lexicon() const { return SqlLexicon{}; }

std::string Dialect::integer_literal(std::string_view digits) const { return std::string(digits); }
std::string Dialect::exponent_literal(std::string_view text) const { return std::string(text); }
bool Dialect::brackets_bracketed_operands() const { return true; }

std::string Dialect::called_functions_setup(const std::vector<std::string_view>&) const { return {}; }

std::string Dialect::rules_union(std::string rules) const { return rules; }

std::string Dialect::call_sql(std::string call) const { return call; }
std::optional<std::string> Dialect::typed_null_argument(std::string_view, size_t, size_t) const {
  return std::nullopt;
}

std::optional<char> argument_kind(std::string_view table, std::string_view function, size_t count,
                                  size_t place) {
  const std::string counted = std::string(function) + "/" + std::to_string(count);
  std::optional<std::string_view> kinds;
  while (!table.empty()) {
    const size_t end = std::min(table.find('\n'), table.size());
    const std::string_view line = table.substr(0, end);
    table.remove_prefix(std::min(end + 1, table.size()));
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, blank);
    if (name == counted) {
      kinds = line.substr(blank + 1);
      break;
    }
    if (name == function) kinds = line.substr(blank + 1);
  }
  if (!kinds || place >= kinds->size()) return std::nullopt;
  return (*kinds)[place];
}

size_t list_depth(const Type& type) {
  size_t depth = 0;
  for (const Type* inner = &type; inner->is_list(); inner = &inner->element()) ++depth;
  return depth;
}

bool holds_list(const Type& type) {
  // A stack, not recursion: records nest as deep as the program writes them.
  std::vector<const Type*> pending{&type};
  while (!pending.empty()) {
    const Type* inner = pending.back();
    pending.pop_back();
    if (inner->is_list()) return true;
    if (inner->is_record())
      for (const auto& field : inner->fields()) pending.push_back(&field.second);
  }
  return false;
}

std::optional<std::string> null_of_kind(std::optional<char> kind,
                                        std::initializer_list<std::pair<char, std::string_view>> types) {
  for (const auto& [named, type] : types)
    if (kind == named) return "CAST(NULL AS " + std::string(type) + ")";
  return std::nullopt;
}

uint64_t Dialect::most_rows_counted() const { return static_cast<uint64_t>(INT64_MAX); }

bool Dialect::takes_field_name(std::string_view) const { return true; }

std::string Dialect::record_of_untyped_fields(const std::vector<RecordLiteralField>& fields,
                                              std::string_view type_name) const {
  return record_literal(fields, type_name);
}

std::string Dialect::row_count(uint64_t count) const {
  return std::to_string(std::min(count, most_rows_counted()));
}

bool Dialect::holds_lists_in_lists() const { return true; }
bool Dialect::holds_ragged_lists() const { return true; }

bool Dialect::carries_outer_values() const { return false; }

bool Dialect::splices_combines_into_combines() const { return true; }

std::optional<std::string_view> Dialect::carried_key_phrase() const { return std::nullopt; }

bool Dialect::carries_every_outer_value() const { return false; }

bool Dialect::correlates_field_reads() const { return true; }

std::optional<std::string_view> Dialect::field_by_position() const { return std::nullopt; }

std::optional<std::string_view> Dialect::unnest_computed_list_phrase() const { return std::nullopt; }

bool Dialect::names_untyped_fields(size_t) const { return true; }
std::optional<std::string_view> Dialect::record_comparison_form() const { return std::nullopt; }
bool Dialect::compares_every_record_in_form() const { return false; }
std::optional<std::string_view> Dialect::list_comparison_form() const { return std::nullopt; }
bool Dialect::orders_lists_and_records() const { return true; }
std::optional<std::string> Dialect::records_reordered(std::string_view,
                                                      const std::vector<std::string>&) const {
  return std::nullopt;
}
std::string_view Dialect::value_of_list_group() const { return "{0}"; }
bool Dialect::rounds_integers_to_doubles() const { return false; }
std::optional<std::string> Dialect::container_order_key() const { return std::nullopt; }
std::string Dialect::null_guarded_call(
    const std::vector<std::string>& values,
    const std::function<std::string(const std::vector<std::string>&)>& fill) const {
  std::string tests;
  for (const std::string& value : values) tests += (tests.empty() ? "" : " OR ") + value + " IS NULL";
  return "(CASE WHEN " + tests + " THEN NULL ELSE " + fill(values) + " END)";
}
std::optional<std::string_view> Dialect::declared_type_reading() const { return std::nullopt; }
bool Dialect::unnests_list_arguments(std::string_view) const { return false; }
std::string Dialect::format_value(char, std::string_view sql, const Type&) const { return std::string(sql); }
bool Dialect::joins_value_calls_of_aggregates() const { return false; }
bool Dialect::searches_rows_of_a_sought_subquery() const { return false; }
Dialect::NegationForm Dialect::negation_form() const { return NegationForm::kMinimumIsNull; }
bool Dialect::joins_subqueries_of_aggregated_values() const { return false; }
bool Dialect::aggregates_subqueries_from_rows() const { return false; }
bool Dialect::joins_combines_of_columns() const { return false; }
std::optional<std::string> Dialect::extreme_record(const std::vector<std::string>&, bool) const {
  return std::nullopt;
}

std::optional<std::string> Dialect::null_sought_in_list(const Type&) const { return std::nullopt; }

std::optional<std::string> Dialect::written_value_as(std::string_view, const Type&, const Type&) const {
  return std::nullopt;
}

std::optional<std::string> Dialect::unnested_subquery(std::string_view, std::string_view) const {
  return std::nullopt;
}

std::optional<std::string> Dialect::unnest_lists_phrase(size_t) const { return std::nullopt; }

std::optional<std::string> Dialect::element_of_lists(size_t) const { return std::nullopt; }

std::optional<std::string> Dialect::lists_reordered(std::string_view, size_t) const { return std::nullopt; }

std::string Dialect::unnest_phrase_of(const Type& list_type) const {
  if (!list_type.is_list()) return std::string(unnest_phrase());
  if (list_type.element().is_record()) return std::string(unnest_records_phrase());
  if (list_type.element().is_list()) {
    if (std::optional<std::string> of_lists = unnest_lists_phrase(list_depth(list_type.element())))
      return std::move(*of_lists);
  }
  return std::string(unnest_phrase());
}

std::string Dialect::unnested_list(std::string_view list_sql, std::string_view alias,
                                   const Type& list_type) const {
  if (std::optional<std::string> item = unnested_subquery(list_sql, alias)) return std::move(*item);
  std::optional<std::string_view> computed = unnest_computed_list_phrase();
  const std::string phrase = computed && list_sql.find("(SELECT ") != std::string_view::npos
                                 ? std::string(*computed)
                                 : unnest_phrase_of(list_type);
  return replace_all(replace_all(phrase, "{0}", list_sql), "{1}", alias);
}

std::optional<std::string> Dialect::typed_array(std::string_view, const Type&) const { return std::nullopt; }

std::string Dialect::empty_array_literal() const {
  std::string_view phrase = array_phrase();
  if (phrase.find("%s") == std::string_view::npos) return std::string(phrase) + "()";
  return replace_all(phrase, "%s", "");
}

std::string Dialect::regex_match_condition(std::string_view expression, std::string_view pattern) const {
  return "REGEXP_LIKE(" + std::string(expression) + ", " + str_literal(pattern) + ")";
}

std::string Dialect::scalar_sql_type(const Type& type) const {
  switch (type.kind()) {
    case Type::Kind::Number:
      return "double";
    case Type::Kind::Bool:
      return "boolean";
    case Type::Kind::List:
      return "array(" + scalar_sql_type(type.element()) + ")";
    default:
      return "varchar";
  }
}

std::string Dialect::row_field_type(const Type& type) const {
  if (type.is_list()) {
    const Type& element = type.element();
    if (element.is_list() || element.is_record()) return "array(" + row_field_type(element) + ")";
    return scalar_sql_type(type);
  }
  if (type.is_record()) {
    std::string out = "ROW(";
    bool first = true;
    for (const auto& [name, field] : type.fields()) {
      if (!first) out += ", ";
      first = false;
      out += record_field(name);
      out += ' ';
      out += row_field_type(field);
    }
    return out + ")";
  }
  return scalar_sql_type(type);
}

std::string Dialect::str_literal(std::string_view text) const { return single_quoted_literal(text); }

bool Dialect::keeps_only_groups_of_rows() const { return false; }

}  // namespace mirtova
