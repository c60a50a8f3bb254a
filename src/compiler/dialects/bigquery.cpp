// The BigQuery dialect (engine "bigquery").
#include <optional>
#include <string>
#include <vector>

#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/number_text.h"
#include "compiler/dialects/quoting.h"

namespace mirtova {

namespace {

class BigQueryDialect final : public Dialect {
 public:
  Engine engine() const override { return Engine::kBigquery; }
  bool format_needs_expansion() const override { return false; }
  bool nulls_first_by_default(bool descending) const override { return !descending; }
  std::optional<std::string_view> int64_of_text() const override { return std::nullopt; }
  std::optional<std::string> number_to_string() const override { return std::string(bigquery_number_text()); }
  std::string_view bind_value() const override { return "(SELECT {body} FROM UNNEST([{0}]) AS mirtova_v)"; }
  bool null_guarded_least_greatest() const override { return false; }
  std::string_view double_type() const override { return "FLOAT64"; }
  std::string_view unnest_phrase() const override { return "UNNEST({0}) as {1}"; }
  std::string_view array_phrase() const override { return "ARRAY[%s]"; }
  int group_by_spec_by() const override { return 0; }
  std::string_view except_distinct() const override { return "EXCEPT DISTINCT"; }

  std::string predicate_literal(std::string_view predicate) const override {
    return "STRUCT(\"" + std::string(predicate) + "\" AS predicate_name)";
  }

  std::string float_literal(std::string_view text) const override { return std::string(text); }

  // Inside backquotes a backslash escapes, so it is doubled before backquotes are escaped.
  std::string quote_identifier(std::string_view name) const override {
    return "`" + replace_all(replace_all(name, "\\", "\\\\"), "`", "\\`") + "`";
  }

  std::string record_literal(const std::vector<RecordLiteralField>& fields, std::string_view) const override {
    std::string out = "STRUCT(";
    for (size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) out += ", ";
      out += fields[i].sql + " AS " + record_field(fields[i].name);
    }
    return out + ")";
  }

  // A quoted BigQuery string may not hold a line break, not even after a
  // backslash: a line feed or carriage return is written as its escape.
  std::string str_literal(std::string_view text) const override {
    return replace_all(replace_all(backslash_escaped_literal(text), "\n", "\\n"), "\r", "\\r");
  }

  bool decorate_combine_rule() const override { return false; }

  SqlLexicon sql_lexicon() const override {
    return SqlLexicon{.backslash_escapes = true,
                      .backslash_in_backquotes = true,
                      .triple_quotes = true,
                      .hash_comments = true};
  }

  std::string string_cast(std::string_view sql) const override {
    return "CAST(" + std::string(sql) + " AS STRING)";
  }

  // FORMAT's %s takes a STRING only (FORMAT('%s', 1) fails the query): a
  // number or a boolean is given as its text, as the engines that expand a
  // Format write it, a list or a record as its JSON, as ToString writes it.
  std::string format_value(char conversion, std::string_view sql, const Type& type) const override {
    if (conversion != 's') return std::string(sql);
    if (type.is_number() || type.is_bool()) return string_cast(sql);
    if (type.is_list() || type.is_record()) return "TO_JSON_STRING(" + std::string(sql) + ")";
    return std::string(sql);
  }

  // No ARRAY or STRUCT casts to a STRING: its JSON is the text SQLite writes
  // too, its JSON encoding writing a whole FLOAT64 as an integer (1.0 as 1),
  // so that the JSON of [1.0] is that of [1].
  std::optional<std::string_view> container_to_string() const override { return "TO_JSON_STRING({0})"; }

  std::string_view today_relation_sql() const override {
    return "(SELECT CAST(CURRENT_DATE() AS STRING) AS date)";
  }

  std::string_view now_relation_sql() const override { return "(SELECT CURRENT_TIMESTAMP() AS timestamp)"; }

  std::string regex_match_condition(std::string_view expression, std::string_view pattern) const override {
    return "REGEXP_CONTAINS(" + std::string(expression) + ", " + str_literal(pattern) + ")";
  }

  // STRUCTs are not orderable: MAX and MIN refuse them, and an aggregate's
  // ORDER BY takes their fields, each wrapped so that a constant key is taken.
  std::optional<std::string> extreme_record(const std::vector<std::string>& fields,
                                            bool greatest) const override {
    const std::string direction = greatest ? " DESC" : "";
    std::string order;
    for (const std::string& field : fields) {
      order += (order.empty() ? " ORDER BY " : ", ") + ("[(" + field + ") IS NULL][OFFSET(0)]" + direction) +
               ", [" + field + "][OFFSET(0)]" + direction;
    }
    return "ARRAY_AGG({0} IGNORE NULLS" + order + " LIMIT 1)[SAFE_OFFSET(0)]";
  }

  bool orders_lists_and_records() const override { return false; }

  // Nor does an ORDER BY take a STRUCT: the records are ordered by their
  // fields, as extreme_record orders them. A list's distinct records are
  // found before they are ordered, as ORDER BY after SELECT DISTINCT sees
  // only what the SELECT lists.
  std::optional<std::string> records_reordered(std::string_view function,
                                               const std::vector<std::string>& fields) const override {
    std::string order;
    for (const std::string& field : fields)
      order += (order.empty() ? " ORDER BY " : ", ") + ("(" + field + ") IS NULL, " + field);
    if (function == "Sort")
      return "IF({0} IS NULL, NULL, ARRAY(SELECT x FROM UNNEST({0}) as x" + order + "))";
    if (function == "Unique")
      return "IF({0} IS NULL, NULL, ARRAY(SELECT x FROM (SELECT DISTINCT x FROM UNNEST({0}) as x) AS "
             "mirtova_d" +
             order + "))";
    return std::nullopt;
  }

  // Equality, GROUP BY and DISTINCT take no ARRAY, nor a STRUCT holding one.
  // TO_JSON_STRING keeps a list's order and duplicates; it writes a missing
  // value as the text null, which no list or record is, so that a missing
  // value stays one.
  std::optional<std::string_view> list_comparison_form() const override {
    return "NULLIF(TO_JSON_STRING(%s), 'null')";
  }
  std::string_view value_of_list_group() const override { return "ANY_VALUE({0})"; }

  // FLOOR, CEIL, ROUND and TRUNC take an INT64 as a FLOAT64.
  bool rounds_integers_to_doubles() const override { return true; }

  // Its arrays hold no arrays.
  bool holds_lists_in_lists() const override { return false; }

  // BigQuery reads OFFSET only after a LIMIT; the largest INT64 stands for no limit.
  std::string pagination_clause(std::optional<uint64_t> limit,
                                std::optional<uint64_t> offset) const override {
    if (offset && !limit) return "\nLIMIT 9223372036854775807\nOFFSET " + row_count_text(*offset);
    return Dialect::pagination_clause(limit, offset);
  }
};

}  // namespace

std::unique_ptr<Dialect> make_bigquery_dialect() { return std::make_unique<BigQueryDialect>(); }

}  // namespace mirtova
