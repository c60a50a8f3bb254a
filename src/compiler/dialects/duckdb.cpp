#include "compiler/dialects/duckdb.h"

#include "compiler/dialects/float_literal.h"
#include "compiler/dialects/number_text.h"

namespace mirtova {

std::string_view DuckDbDialect::name() const { return "duckdb"; }
bool DuckDbDialect::format_needs_expansion() const { return false; }
bool DuckDbDialect::nulls_first_by_default(bool) const { return false; }
std::optional<std::string_view> DuckDbDialect::int64_of_text() const { return "CAST({0} AS BIGINT)"; }
std::optional<std::string> DuckDbDialect::number_to_string() const { return duckdb_number_text(); }
std::string_view DuckDbDialect::bind_value() const { return "list_transform([{0}], mirtova_v -> {body})[1]"; }
bool DuckDbDialect::null_guarded_least_greatest() const { return true; }
std::string_view DuckDbDialect::double_type() const { return "DOUBLE"; }
std::string_view DuckDbDialect::unnest_phrase() const {
  return "(select unnest({0}) as unnested_pod) as {1}";
}
std::string_view DuckDbDialect::array_phrase() const { return "[%s]"; }
int DuckDbDialect::group_by_spec_by() const { return 2; }
bool DuckDbDialect::is_postgresqlish() const { return true; }

std::string DuckDbDialect::float_literal(std::string_view text) const { return exponent_float_literal(text); }

std::string DuckDbDialect::record_literal(const std::vector<RecordLiteralField>& fields) const {
  std::string out = "{";
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ", ";
    out += record_field(fields[i].name) + ": " + fields[i].sql;
  }
  return out + "}";
}

bool DuckDbDialect::decorate_combine_rule() const { return true; }

std::string DuckDbDialect::regex_match_condition(std::string_view expression,
                                                 std::string_view pattern) const {
  return "regexp_matches(" + std::string(expression) + ", " + str_literal(pattern) + ")";
}

std::string DuckDbDialect::string_cast(std::string_view sql) const {
  return "CAST(" + std::string(sql) + " AS TEXT)";
}

std::string_view DuckDbDialect::today_relation_sql() const {
  return "(SELECT strftime(current_timestamp AT TIME ZONE 'UTC', '%Y-%m-%d') AS date)";
}

std::string_view DuckDbDialect::now_relation_sql() const {
  return "(SELECT current_timestamp AT TIME ZONE 'UTC' AS timestamp)";
}

}  // namespace mirtova
