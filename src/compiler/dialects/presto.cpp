#include "compiler/dialects/presto.h"

#include "compiler/dialects/float_literal.h"
#include "compiler/dialects/number_text.h"
#include "compiler/dialects/record_types.h"

namespace mirtova {

std::string_view PrestoDialect::name() const { return "presto"; }
bool PrestoDialect::format_needs_expansion() const { return true; }
bool PrestoDialect::nulls_first_by_default(bool) const { return false; }
std::optional<std::string_view> PrestoDialect::int64_of_text() const { return std::nullopt; }
std::optional<std::string> PrestoDialect::number_to_string() const {
  return std::string(presto_number_text());
}
std::string_view PrestoDialect::bind_value() const {
  return "element_at(transform(ARRAY[{0}], mirtova_v -> {body}), 1)";
}
bool PrestoDialect::null_guarded_least_greatest() const { return false; }
std::string_view PrestoDialect::double_type() const { return "DOUBLE"; }
bool PrestoDialect::supports_offset() const { return false; }
std::string_view PrestoDialect::unnest_phrase() const {
  return "UNNEST(TRANSFORM({0}, mirtova_e -> ROW(mirtova_e))) as varnok({1})";
}
std::string_view PrestoDialect::array_phrase() const { return "ARRAY[%s]"; }
int PrestoDialect::group_by_spec_by() const { return 1; }

// The offset comes before the limit in this engine's grammar.
std::string PrestoDialect::pagination_clause(std::optional<uint64_t> limit,
                                             std::optional<uint64_t> offset) const {
  std::string out;
  if (offset) out += "\nOFFSET " + row_count_text(*offset);
  if (limit) out += "\nLIMIT " + row_count_text(*limit);
  return out;
}

std::string PrestoDialect::float_literal(std::string_view text) const { return exponent_float_literal(text); }

// A ROW cast to a named ROW type; fields sorted so that equal shapes give equal types.
std::string PrestoDialect::record_literal(const std::vector<RecordLiteralField>& fields) const {
  std::string values;
  std::string types;
  for (const RecordLiteralField& field : sorted_by_name(fields)) {
    if (!values.empty()) {
      values += ", ";
      types += ", ";
    }
    values += field.sql;
    types += record_field(field.name) + " " + row_field_type(field.type);
  }
  return "CAST(ROW(" + values + ") AS ROW(" + types + "))";
}

bool PrestoDialect::decorate_combine_rule() const { return false; }

std::string PrestoDialect::regex_match_condition(std::string_view expression,
                                                 std::string_view pattern) const {
  return "REGEXP_LIKE(" + std::string(expression) + ", " + str_literal(pattern) + ")";
}

std::string PrestoDialect::string_cast(std::string_view sql) const {
  return "CAST(" + std::string(sql) + " AS VARCHAR)";
}

std::string_view PrestoDialect::today_relation_sql() const {
  return "(SELECT CAST(CAST(current_timestamp AT TIME ZONE 'UTC' AS DATE) AS VARCHAR) AS date)";
}

std::string_view PrestoDialect::now_relation_sql() const {
  return "(SELECT CAST(current_timestamp AT TIME ZONE 'UTC' AS TIMESTAMP) AS timestamp)";
}

}  // namespace mirtova
