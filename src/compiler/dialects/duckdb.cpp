// The DuckDB dialect (engine "duckdb", the default).
#include <algorithm>

#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/float_literal.h"
#include "compiler/dialects/number_text.h"

namespace mirtova {

namespace {

class DuckDbDialect final : public Dialect {
 public:
  Engine engine() const override { return Engine::kDuckdb; }
  bool format_needs_expansion() const override { return false; }
  bool nulls_first_by_default(bool) const override { return false; }
  std::optional<std::string_view> int64_of_text() const override { return "CAST({0} AS BIGINT)"; }
  // ROUND has no form for VARCHAR, and a cast of a DOUBLE rounds half to even:
  // the value's own type picks the branch, and every branch binds for any type.
  std::optional<std::string_view> int64_of_unknown_type() const override {
    return "(CASE WHEN typeof({0}) IN ('DOUBLE', 'FLOAT') THEN CAST(ROUND(CAST({0} AS DOUBLE)) AS BIGINT) "
           "ELSE CAST({0} AS BIGINT) END)";
  }
  std::optional<std::string> number_to_string() const override { return duckdb_number_text(); }
  std::string_view bind_value() const override { return "list_transform([{0}], mirtova_v -> {body})[1]"; }
  bool null_guarded_least_greatest() const override { return true; }
  std::string_view double_type() const override { return "DOUBLE"; }
  std::string_view unnest_phrase() const override { return "(select unnest({0}) as unnested_pod) as {1}"; }
  std::string_view array_phrase() const override { return "[%s]"; }
  int group_by_spec_by() const override { return 2; }
  bool writes_date_formats() const override { return true; }
  bool is_postgresqlish() const override { return true; }

  // Recent DuckDB refuses "x -> ..." lambdas, which the number and rounding
  // templates use, unless the session allows them.
  std::string setup_script(const RecordTypes&) const override {
    return "SET lambda_syntax = 'ENABLE_SINGLE_ARROW';\n"
           "create sequence if not exists eternal_logical_sequence;\n"
           "CREATE TYPE IF NOT EXISTS quorilrecord893574736 AS STRUCT(nirvana NUMERIC);";
  }

  std::string float_literal(std::string_view text) const override { return exponent_float_literal(text); }

  // A struct compares field by field in the order of its fields, as Max and
  // Min do: the fields are written in the order of their names' bytes, as on
  // the other engines, so that the order a program writes them in is no
  // part of the value.
  std::string record_literal(const std::vector<RecordLiteralField>& fields, std::string_view) const override {
    std::vector<const RecordLiteralField*> sorted;
    for (const RecordLiteralField& field : fields) sorted.push_back(&field);
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const RecordLiteralField* a, const RecordLiteralField* b) { return a->name < b->name; });
    std::string out = "{";
    for (size_t i = 0; i < sorted.size(); ++i) {
      if (i > 0) out += ", ";
      out += record_field(sorted[i]->name) + ": " + sorted[i]->sql;
    }
    return out + "}";
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
    return "regexp_matches(" + std::string(expression) + ", " + str_literal(pattern) + ")";
  }

  std::string string_cast(std::string_view sql) const override {
    return "CAST(" + std::string(sql) + " AS TEXT)";
  }

  // printf here takes numbers for %s only as text, a number for %d only whole
  // (a cast would round where the others truncate), and a double for %f; a
  // boolean it takes for %d as it is.
  std::string format_value(char conversion, std::string_view sql, const Type& type) const override {
    if (type.is_bool()) return std::string(sql);
    switch (conversion) {
      case 's':
        return "CAST(" + std::string(sql) + " AS TEXT)";
      case 'd':
      case 'i':
        return "CAST(TRUNC(" + std::string(sql) + ") AS BIGINT)";
      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G':
        return "CAST(" + std::string(sql) + " AS DOUBLE)";
      default:
        return std::string(sql);
    }
  }

  std::string_view today_relation_sql() const override {
    return "(SELECT strftime(current_timestamp AT TIME ZONE 'UTC', '%Y-%m-%d') AS date)";
  }

  std::string_view now_relation_sql() const override {
    return "(SELECT current_timestamp AT TIME ZONE 'UTC' AS timestamp)";
  }
};

}  // namespace

std::unique_ptr<Dialect> make_duckdb_dialect() { return std::make_unique<DuckDbDialect>(); }

}  // namespace mirtova
