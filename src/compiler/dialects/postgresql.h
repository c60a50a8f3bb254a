// The PostgreSQL dialect (engine "psql").
#pragma once

#include "compiler/dialects/dialect.h"

namespace mirtova {

class PostgreSqlDialect : public Dialect {
 public:
  std::string_view name() const override;
  bool format_needs_expansion() const override;
  bool nulls_first_by_default(bool descending) const override;
  std::optional<std::string_view> int64_of_text() const override;
  std::optional<std::string> number_to_string() const override;
  std::string_view bind_value() const override;
  bool null_guarded_least_greatest() const override;
  std::string_view double_type() const override;
  std::string_view unnest_phrase() const override;
  std::string_view array_phrase() const override;
  int group_by_spec_by() const override;
  std::string float_literal(std::string_view text) const override;
  std::string record_literal(const std::vector<RecordLiteralField>& fields) const override;
  bool decorate_combine_rule() const override;
  std::string regex_match_condition(std::string_view expression, std::string_view pattern) const override;
  std::string string_cast(std::string_view sql) const override;
  std::string_view today_relation_sql() const override;
  std::string_view now_relation_sql() const override;
  std::optional<std::pair<std::string_view, std::string_view>> boolean_min_max() const override;
  std::string_view log10_function() const override;
  std::string subscript(std::string_view record, std::string_view field, bool row) const override;
  std::string_view unnest_records_phrase() const override;
  bool is_postgresqlish() const override;
  std::string_view cascading_deletion_word() const override;
  std::optional<std::string> typed_array(std::string_view sql, const Type& element) const override;
  std::string empty_array_literal() const override;
  std::string scalar_sql_type(const Type& type) const override;
  std::string str_literal(std::string_view text) const override;
};

}  // namespace mirtova
