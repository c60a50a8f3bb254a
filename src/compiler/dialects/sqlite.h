// The SQLite dialect (engine "sqlite"); its SQL calls functions the host registers.
#pragma once

#include "compiler/dialects/dialect.h"

namespace mirtova {

class SqLiteDialect : public Dialect {
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
  std::string pagination_clause(std::optional<uint64_t> limit, std::optional<uint64_t> offset) const override;
  std::string regex_match_condition(std::string_view expression, std::string_view pattern) const override;
  std::string string_cast(std::string_view sql) const override;
  std::string_view today_relation_sql() const override;
  std::string_view now_relation_sql() const override;
  std::optional<std::string_view> boolean_to_string() const override;
  std::string subscript(std::string_view record, std::string_view field, bool row) const override;
  std::string record_field(std::string_view name) const override;
};

}  // namespace mirtova
