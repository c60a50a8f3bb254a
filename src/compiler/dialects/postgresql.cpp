// The PostgreSQL dialect (engine "psql").
#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/number_text.h"
#include "compiler/dialects/quoting.h"
#include "compiler/dialects/record_types.h"

namespace mirtova {

namespace {

class PostgreSqlDialect final : public Dialect {
 public:
  std::string_view name() const override { return "psql"; }
  bool format_needs_expansion() const override { return true; }
  bool nulls_first_by_default(bool descending) const override { return descending; }
  std::optional<std::string_view> int64_of_text() const override { return "CAST({0} AS BIGINT)"; }
  std::optional<std::string> number_to_string() const override { return std::string(psql_number_text()); }
  std::string_view bind_value() const override {
    return "(SELECT {body} FROM (SELECT {0} AS mirtova_v) AS mirtova_n)";
  }
  std::optional<std::pair<std::string_view, std::string_view>> boolean_min_max() const override {
    return std::pair<std::string_view, std::string_view>{"BOOL_AND(%s)", "BOOL_OR(%s)"};
  }
  bool null_guarded_least_greatest() const override { return true; }
  std::string_view double_type() const override { return "double precision"; }
  std::string_view log10_function() const override { return "LOG"; }
  std::string_view unnest_phrase() const override { return "UNNEST({0}) as {1}"; }
  // Unnesting composite values needs a lateral sub-select to name the element column.
  std::string_view unnest_records_phrase() const override {
    return "LATERAL (SELECT UNNEST({0}) AS {1}) AS varnok_{1}";
  }
  std::string_view array_phrase() const override { return "ARRAY[%s]"; }
  int group_by_spec_by() const override { return 2; }
  bool is_postgresqlish() const override { return true; }
  std::string_view cascading_deletion_word() const override { return " CASCADE"; }

  // A field of a composite value is only reachable with the value in parentheses.
  std::string subscript(std::string_view record, std::string_view field, bool) const override {
    return "(" + std::string(record) + ")." + record_field(field);
  }

  std::string float_literal(std::string_view text) const override {
    return "CAST(" + std::string(text) + " AS double precision)";
  }

  std::optional<std::string> typed_array(std::string_view sql, const Type& element) const override {
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

  std::string empty_array_literal() const override { return "'{}'"; }

  // Every record value is cast to a composite type named after its sorted columns,
  // the same name the set-up step declares for that shape.
  std::string record_literal(const std::vector<RecordLiteralField>& fields) const override {
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

  std::string scalar_sql_type(const Type& type) const override {
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
  std::string str_literal(std::string_view text) const override {
    if (text.find('\\') == std::string_view::npos) return single_quoted_literal(text);
    return "E" + single_quoted_literal(replace_all(text, "\\", "\\\\"));
  }

  bool decorate_combine_rule() const override { return true; }

  // A literal within 32 bits is an INTEGER to the engine, and arithmetic on
  // INTEGERs overflows there.
  std::string integer_literal(std::string_view digits) const override {
    return "CAST(" + std::string(digits) + " AS BIGINT)";
  }

  SqlLexicon sql_lexicon() const override {
    return SqlLexicon{.escape_strings = true, .dollar_quotes = true, .nested_comments = true};
  }

  std::string regex_match_condition(std::string_view expression, std::string_view pattern) const override {
    return std::string(expression) + " ~ " + str_literal(pattern);
  }

  std::string string_cast(std::string_view sql) const override {
    return "CAST(" + std::string(sql) + " AS TEXT)";
  }

  std::string_view today_relation_sql() const override {
    return "(SELECT to_char(current_timestamp AT TIME ZONE 'UTC', 'YYYY-MM-DD') AS date)";
  }

  std::string_view now_relation_sql() const override {
    return "(SELECT current_timestamp AT TIME ZONE 'UTC' AS timestamp)";
  }
};

}  // namespace

std::unique_ptr<Dialect> make_psql_dialect() { return std::make_unique<PostgreSqlDialect>(); }

}  // namespace mirtova
