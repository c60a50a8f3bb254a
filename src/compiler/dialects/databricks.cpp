#include "compiler/dialects/databricks.h"

#include "compiler/dialects/float_literal.h"
#include "compiler/dialects/number_text.h"
#include "compiler/dialects/quoting.h"

namespace mirtova {

std::string_view DatabricksDialect::name() const { return "databricks"; }
bool DatabricksDialect::format_needs_expansion() const { return false; }
bool DatabricksDialect::nulls_first_by_default(bool descending) const { return !descending; }
std::optional<std::string_view> DatabricksDialect::int64_of_text() const { return std::nullopt; }
std::optional<std::string> DatabricksDialect::number_to_string() const { return databricks_number_text(); }
std::string_view DatabricksDialect::bind_value() const {
  return "transform(array({0}), mirtova_v -> {body})[0]";
}
bool DatabricksDialect::null_guarded_least_greatest() const { return true; }
std::string_view DatabricksDialect::double_type() const { return "DOUBLE"; }
std::string_view DatabricksDialect::unnest_phrase() const {
  return "LATERAL (SELECT explode({0}) AS {1}) AS varnok";
}
std::string_view DatabricksDialect::array_phrase() const { return "ARRAY(%s)"; }
int DatabricksDialect::group_by_spec_by() const { return 1; }

std::string DatabricksDialect::float_literal(std::string_view text) const {
  return exponent_float_literal(text);
}

std::string DatabricksDialect::quote_identifier(std::string_view name) const {
  return quoted_doubling(name, '`');
}

// Only a bare null needs its element type; an empty ARRAY() is typed by use.
std::optional<std::string> DatabricksDialect::typed_array(std::string_view sql, const Type& element) const {
  if (sql != "null") return std::nullopt;
  switch (element.kind()) {
    case Type::Kind::Number:
      return "CAST(null AS ARRAY<DOUBLE>)";
    case Type::Kind::String:
      return "CAST(null AS ARRAY<STRING>)";
    case Type::Kind::Bool:
      return "CAST(null AS ARRAY<BOOLEAN>)";
    default:
      return std::nullopt;
  }
}

std::string DatabricksDialect::record_literal(const std::vector<RecordLiteralField>& fields) const {
  std::string out = "STRUCT(";
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out += ", ";
    out += fields[i].sql + " AS " + record_field(fields[i].name);
  }
  return out + ")";
}

// Spark may substitute "${...}" in SQL text before parsing it; a "$" written as
// \u0024 never starts one.
std::string DatabricksDialect::str_literal(std::string_view text) const {
  return replace_all(backslash_escaped_literal(text), "$", "\\u0024");
}

bool DatabricksDialect::decorate_combine_rule() const { return false; }

std::string DatabricksDialect::regex_match_condition(std::string_view expression,
                                                     std::string_view pattern) const {
  return "REGEXP_LIKE(" + std::string(expression) + ", " + str_literal(pattern) + ")";
}

std::string DatabricksDialect::string_cast(std::string_view sql) const {
  return "CAST(" + std::string(sql) + " AS STRING)";
}

std::string_view DatabricksDialect::today_relation_sql() const {
  return "(SELECT CAST(to_date(to_utc_timestamp(current_timestamp(), current_timezone())) AS "
         "STRING) AS date)";
}

std::string_view DatabricksDialect::now_relation_sql() const {
  return "(SELECT to_utc_timestamp(current_timestamp(), current_timezone()) AS timestamp)";
}

}  // namespace mirtova
