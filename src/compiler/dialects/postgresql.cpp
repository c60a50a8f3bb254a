#include "compiler/dialects/postgresql.h"

#include "compiler/dialects/number_text.h"
#include "compiler/dialects/quoting.h"
#include "compiler/dialects/record_types.h"

namespace mirtova {

std::string_view PostgreSqlDialect::name() const { return "psql"; }
bool PostgreSqlDialect::format_needs_expansion() const { return true; }
bool PostgreSqlDialect::nulls_first_by_default(bool descending) const { return descending; }
std::optional<std::string_view> PostgreSqlDialect::int64_of_text() const { return "CAST({0} AS BIGINT)"; }
std::optional<std::string> PostgreSqlDialect::number_to_string() const {
  return std::string(psql_number_text());
}
std::string_view PostgreSqlDialect::bind_value() const {
  return "(SELECT {body} FROM (SELECT {0} AS mirtova_v) AS mirtova_n)";
}
std::optional<std::pair<std::string_view, std::string_view>> PostgreSqlDialect::boolean_min_max() const {
  return std::pair<std::string_view, std::string_view>{"BOOL_AND(%s)", "BOOL_OR(%s)"};
}
bool PostgreSqlDialect::null_guarded_least_greatest() const { return true; }
std::string_view PostgreSqlDialect::double_type() const { return "double precision"; }
std::string_view PostgreSqlDialect::log10_function() const { return "LOG"; }
std::string_view PostgreSqlDialect::unnest_phrase() const { return "UNNEST({0}) as {1}"; }
// Unnesting composite values needs a lateral sub-select to name the element column.
std::string_view PostgreSqlDialect::unnest_records_phrase() const {
  return "LATERAL (SELECT UNNEST({0}) AS {1}) AS varnok_{1}";
}
std::string_view PostgreSqlDialect::array_phrase() const { return "ARRAY[%s]"; }
int PostgreSqlDialect::group_by_spec_by() const { return 2; }
bool PostgreSqlDialect::is_postgresqlish() const { return true; }
std::string_view PostgreSqlDialect::cascading_deletion_word() const { return " CASCADE"; }

// A field of a composite value is only reachable with the value in parentheses.
std::string PostgreSqlDialect::subscript(std::string_view record, std::string_view field, bool) const {
  return "(" + std::string(record) + ")." + record_field(field);
}

std::string PostgreSqlDialect::float_literal(std::string_view text) const {
  return "CAST(" + std::string(text) + " AS double precision)";
}

std::optional<std::string> PostgreSqlDialect::typed_array(std::string_view sql, const Type& element) const {
  std::string_view sql_type;
  switch (element.kind()) {
    case Type::Kind::Number:
      sql_type = "numeric";
      break;
    case Type::Kind::String:
      sql_type = "text";
      break;
    case Type::Kind::Bool:
      sql_type = "bool";
      break;
    default:
      return std::nullopt;
  }
  return "CAST(" + std::string(sql) + " AS " + std::string(sql_type) + "[])";
}

std::string PostgreSqlDialect::empty_array_literal() const { return "'{}'"; }

// Every record value is cast to a composite type named after its sorted columns,
// the same name the set-up step declares for that shape.
std::string PostgreSqlDialect::record_literal(const std::vector<RecordLiteralField>& fields) const {
  std::vector<RecordLiteralField> sorted = sorted_by_name(fields);
  Type::Fields shape;
  std::string values;
  for (const RecordLiteralField& field : sorted) {
    if (!values.empty()) values += ", ";
    values += field.sql;
    shape.insert_or_assign(field.name, field.type);
  }
  return "ROW(" + values + ")::" + record_type_name(Type::closed_record(std::move(shape)));
}

std::string PostgreSqlDialect::scalar_sql_type(const Type& type) const {
  switch (type.kind()) {
    case Type::Kind::Number:
      return "numeric";
    case Type::Kind::Bool:
      return "boolean";
    case Type::Kind::List:
      return scalar_sql_type(type.element()) + "[]";
    default:
      return "text";
  }
}

// Standard strings keep backslashes as they are, but only while
// standard_conforming_strings is on; an E'' literal with doubled backslashes
// reads the same whatever the setting.
std::string PostgreSqlDialect::str_literal(std::string_view text) const {
  if (text.find('\\') == std::string_view::npos) return single_quoted_literal(text);
  return "E" + single_quoted_literal(replace_all(text, "\\", "\\\\"));
}

bool PostgreSqlDialect::decorate_combine_rule() const { return true; }

std::string PostgreSqlDialect::regex_match_condition(std::string_view expression,
                                                     std::string_view pattern) const {
  return std::string(expression) + " ~ " + str_literal(pattern);
}

std::string PostgreSqlDialect::string_cast(std::string_view sql) const {
  return "CAST(" + std::string(sql) + " AS TEXT)";
}

std::string_view PostgreSqlDialect::today_relation_sql() const {
  return "(SELECT to_char(current_timestamp AT TIME ZONE 'UTC', 'YYYY-MM-DD') AS date)";
}

std::string_view PostgreSqlDialect::now_relation_sql() const {
  return "(SELECT current_timestamp AT TIME ZONE 'UTC' AS timestamp)";
}

}  // namespace mirtova
