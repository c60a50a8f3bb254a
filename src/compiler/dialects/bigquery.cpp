#include "compiler/dialects/bigquery.h"

#include "compiler/dialects/number_text.h"
#include "compiler/dialects/quoting.h"

namespace mirtova {

std::string_view BigQueryDialect::name() const { return "bigquery"; }
bool BigQueryDialect::format_needs_expansion() const { return false; }
bool BigQueryDialect::nulls_first_by_default(bool descending) const { return !descending; }
std::optional<std::string_view> BigQueryDialect::int64_of_text() const { return std::nullopt; }
std::optional<std::string> BigQueryDialect::number_to_string() const {
  return std::string(bigquery_number_text());
}
std::string_view BigQueryDialect::bind_value() const {
  return "(SELECT {body} FROM UNNEST([{0}]) AS mirtova_v)";
}
bool BigQueryDialect::null_guarded_least_greatest() const { return false; }
std::string_view BigQueryDialect::double_type() const { return "FLOAT64"; }
std::string_view BigQueryDialect::unnest_phrase() const { return "UNNEST({0}) as {1}"; }
std::string_view BigQueryDialect::array_phrase() const { return "ARRAY[%s]"; }
int BigQueryDialect::group_by_spec_by() const { return 0; }
std::string_view BigQueryDialect::except_distinct() const { return "EXCEPT DISTINCT"; }

std::string BigQueryDialect::predicate_literal(std::string_view predicate) const {
  return "STRUCT(\"" + std::string(predicate) + "\" AS predicate_name)";
}

std::string BigQueryDialect::float_literal(std::string_view text) const { return std::string(text); }

// Inside backquotes a backslash escapes, so it is doubled before backquotes are escaped.
std::string BigQueryDialect::quote_identifier(std::string_view name) const {
  return "`" + replace_all(replace_all(name, "\\", "\\\\"), "`", "\\`") + "`";
}

std::string BigQueryDialect::record_literal(const std::vector<RecordLiteralField>& fields) const {
  std::string out = "STRUCT(";
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ", ";
    out += fields[i].sql + " AS " + record_field(fields[i].name);
  }
  return out + ")";
}

std::string BigQueryDialect::str_literal(std::string_view text) const {
  return backslash_escaped_literal(text);
}

bool BigQueryDialect::decorate_combine_rule() const { return false; }

std::string BigQueryDialect::regex_match_condition(std::string_view expression,
                                                   std::string_view pattern) const {
  return "REGEXP_LIKE(" + std::string(expression) + ", " + str_literal(pattern) + ")";
}

std::string BigQueryDialect::string_cast(std::string_view sql) const {
  return "CAST(" + std::string(sql) + " AS STRING)";
}

std::string_view BigQueryDialect::today_relation_sql() const {
  return "(SELECT CAST(CURRENT_DATE() AS STRING) AS date)";
}

std::string_view BigQueryDialect::now_relation_sql() const {
  return "(SELECT CURRENT_TIMESTAMP() AS timestamp)";
}

// BigQuery reads OFFSET only after a LIMIT; the largest INT64 stands for no limit.
std::string BigQueryDialect::pagination_clause(std::optional<uint64_t> limit,
                                               std::optional<uint64_t> offset) const {
  if (offset && !limit) return "\nLIMIT 9223372036854775807\nOFFSET " + row_count_text(*offset);
  return Dialect::pagination_clause(limit, offset);
}

}  // namespace mirtova
