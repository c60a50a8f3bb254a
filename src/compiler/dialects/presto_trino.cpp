// The Presto dialect (engine "presto") and the Trino dialect (engine "trino"),
// which is Presto's but for OFFSET and its own number text.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/float_literal.h"
#include "compiler/dialects/number_text.h"
#include "compiler/dialects/record_types.h"
#include "compiler/dialects/row_subquery_columns.h"
#include "compiler/dialects/value_order.h"

namespace mirtova {

namespace {

// The built-ins whose forms a bare null argument leaves the engines unable to
// choose among ("Could not choose a best candidate operator"), or that write
// it where an operator must know its type (a text joined by "||", a number
// negated): each argument's type, t text, i integer, f double, l a list of
// any elements, y bytes, "-" as it is (see argument_kind).
constexpr std::string_view kNullArgumentKinds = R"t(ArrayReverse l
CurrentDatetime t
Date/1 t
Date/2 tt
DateAdd tit
DateAddDay ti
DateDiff ttt
DateDiffDay tt
DateSub tit
DateTrunc tt
Datetime/1 t
Datetime/2 tt
DatetimeAdd tit
DatetimeDiff ttt
DatetimeSub tit
DatetimeTrunc tt
Div ii
FormatDate -t
FormatDatetime -t
FormatTime -t
FormatTimestamp -t
FromHex t
GenerateArray iii
GenerateDateArray ttit
GenerateTimestampArray ttit
JsonExtractScalar tt
JsonValue tt
Lpad tit
NetIpToString y
ParseDate -t
ParseDatetime -t
ParseTime -t
ParseTimestamp -t
PercentileCont -f
PercentileDisc -f
Reverse t
Rpad tit
SafeMultiply ii
Sinh f
String tt
Substr tii
Time/1 t
Time/2 tt
TimeAdd ti
TimeAdd/3 tit
TimeDiff ttt
TimeSub tit
TimeTrunc tt
Timestamp tt
TimestampAdd tit
TimestampAddDays ti
TimestampDiff ttt
TimestampSub tit
TimestampTrunc ttt
UnixDate t
UnixMicros t
UnixMillis t
UnixSeconds t)t";

// Whether a value written as of type `written` casts to `type`: a null
// written where `type` holds a record or a list is a VARCHAR, which casts to
// neither. As deep as literals nest, which the parser bounds.
bool casts_field_by_field(const Type& written, const Type& type) {
  if (type.is_record()) {
    if (!written.is_record()) return false;
    for (const auto& [name, field] : type.fields()) {
      auto found = written.fields().find(name);
      if (found == written.fields().end() || !casts_field_by_field(found->second, field)) return false;
    }
    return true;
  }
  if (type.is_list()) return written.is_list() && casts_field_by_field(written.element(), type.element());
  return true;
}

class PrestoDialect : public Dialect {
 protected:
  // A field of numbers is a DOUBLE, which keeps 53 bits: one known to hold an
  // integer is a BIGINT, exact to 64.
  std::string field_type(const RecordLiteralField& field) const {
    return field.integer && field.type.is_number() ? "BIGINT" : row_field_type(field.type);
  }

  std::string typed_value(const RecordLiteralField& field) const {
    return field.typed ? "CAST(" + field.sql + " AS " + field_type(field) + ")" : field.sql;
  }

  std::string unnamed_row(const std::vector<RecordLiteralField>& fields) const {
    std::string values;
    for (const RecordLiteralField& field : sorted_by_name(fields)) {
      if (!values.empty()) values += ", ";
      values += typed_value(field);
    }
    return "ROW(" + values + ")";
  }

 public:
  Engine engine() const override { return Engine::kPresto; }
  bool format_needs_expansion() const override { return true; }
  bool nulls_first_by_default(bool) const override { return false; }
  std::optional<std::string_view> int64_of_text() const override { return std::nullopt; }
  std::optional<std::string> number_to_string() const override { return std::string(presto_number_text()); }
  std::string_view bind_value() const override {
    return "element_at(transform(ARRAY[{0}], mirtova_v -> {body}), 1)";
  }
  bool null_guarded_least_greatest() const override { return false; }
  std::string_view double_type() const override { return "DOUBLE"; }
  bool supports_offset() const override { return false; }
  // MAX and MIN fail on a ROW with a null field ("ROW comparison not supported
  // for fields with null elements"): the group's records are ordered by their
  // fields' values instead, a null field after every value.
  std::optional<std::string> extreme_record(const std::vector<std::string>& fields,
                                            bool greatest) const override {
    const std::string direction = greatest ? " DESC" : "";
    std::string order;
    for (const std::string& field : fields) {
      order += (order.empty() ? " ORDER BY " : ", ") + ("(" + field + ") IS NULL" + direction) + ", " +
               field + direction;
    }
    return "element_at(ARRAY_AGG({0}" + order + ") FILTER (WHERE {0} IS NOT NULL), 1)";
  }
  std::string_view unnest_phrase() const override {
    return "UNNEST(TRANSFORM({0}, mirtova_e -> ROW(mirtova_e))) as varnok({1})";
  }
  // The list is a lateral relation's column: Presto takes no scalar sub-query
  // in UNNEST ("Scalar subqueries in UNNEST are not supported").
  std::optional<std::string_view> unnest_computed_list_phrase() const override {
    return "LATERAL (SELECT {0} AS mirtova_l) AS mirtova_l_{1}, "
           "UNNEST(TRANSFORM(mirtova_l_{1}.mirtova_l, mirtova_e -> ROW(mirtova_e))) as varnok({1})";
  }
  std::string_view array_phrase() const override { return "ARRAY[%s]"; }
  int group_by_spec_by() const override { return 1; }
  bool unfolds_recursion_iteratively() const override { return true; }
  // The engine decorrelates a sub-query only where the outer values stand in its
  // conditions ("Given correlated subquery is not supported").
  bool carries_outer_values() const override { return true; }
  bool splices_combines_into_combines() const override { return false; }
  // Nor one whose aggregate's argument holds a sub-query ("Given correlated
  // subquery is not supported").
  bool joins_subqueries_of_aggregated_values() const override { return true; }
  // Trino too decorrelates no value of a function the program defines read
  // there, where the sub-query reads the query around; nor one correlated on
  // a field of a record, in the aggregate or in a condition.
  bool joins_value_calls_of_aggregates() const override { return true; }
  // Presto decorrelates a plain `=` only (not IS NOT DISTINCT FROM, nor an OR
  // for nulls): carried rows are matched by one text in which a null is a value
  // like any other. It fails ("Multiple entries with same key") where one outer
  // value is compared twice, so such a combine carries them all; not every
  // combine does, as each carried SELECT DISTINCT adds stages to a query, whose
  // number Presto bounds (100 by default).
  std::optional<std::string_view> carried_key_phrase() const override {
    return "json_format(CAST(ROW({0}) AS JSON))";
  }
  bool carries_every_outer_value() const override { return true; }
  // Presto refuses a query of more than 100 stages by default. The measure
  // runs up to 1 stage a unit, about 0.85 on long chains of clauses read
  // several times and on sub-queries that carry outer values: only a
  // statement of at most 100 is sure to pass.
  uint64_t most_query_stages() const override { return 100; }

  // The offset comes before the limit in this engine's grammar. The engine
  // keeps the first offset + limit rows before it skips, so it is their sum
  // that must stay within its count.
  std::string pagination_clause(std::optional<uint64_t> limit,
                                std::optional<uint64_t> offset) const override {
    std::string out;
    const uint64_t skipped = offset ? std::min(*offset, most_rows_counted()) : 0;
    if (offset) out += "\nOFFSET " + row_count(skipped);
    if (limit) out += "\nLIMIT " + row_count(std::min(*limit, most_rows_counted() - skipped));
    return out;
  }

  // Both refuse an ORDER BY with a LIMIT past 32 bits, and Presto a row number
  // compared with a literal past 64.
  uint64_t most_rows_counted() const override { return INT32_MAX; }
  // A literal within 32 bits is an INTEGER to the engine, and arithmetic on
  // INTEGERs overflows there. Presto reads the digits of a negative literal
  // before its sign, and 2^63 is past any BIGINT: the smallest one is worked out.
  std::string integer_literal(std::string_view digits) const override {
    if (digits == "-9223372036854775808") return "CAST(-9223372036854775807 - 1 AS BIGINT)";
    return "CAST(" + std::string(digits) + " AS BIGINT)";
  }

  std::string float_literal(std::string_view text) const override { return exponent_float_literal(text); }

  // array_sort and Presto's array_distinct fail on a ROW or an ARRAY that
  // holds a null ("not supported for fields with null elements"). Fields are
  // read by place, as a record of columns' values is a ROW of unnamed fields.
  std::optional<std::string> list_sorted_by_value(const Type& element, bool unique) const override {
    return sorted_by_value(*this, element, unique, {"element_at", true, true});
  }

  // "=" of two ROWs is null where a field of either is; IS NOT DISTINCT FROM
  // takes two null fields as equal, and two null records too, which "=" does not.
  std::string records_equal(const std::string& left, const std::string& right) const override {
    return "(" + left + " IS NOT DISTINCT FROM " + right + " AND " + left + " IS NOT NULL)";
  }

  // A ROW written with a null field is of that field's type only by the cast,
  // which takes the null's VARCHAR to no ROW or ARRAY.
  std::optional<std::string> written_value_as(std::string_view sql, const Type& written,
                                              const Type& type) const override {
    if (!casts_field_by_field(written, type)) return std::nullopt;
    return "CAST(" + std::string(sql) + " AS " + row_field_type(type) + ")";
  }

  // A ROW cast to a named ROW type; fields sorted so that equal shapes give equal types.
  std::string record_literal(const std::vector<RecordLiteralField>& fields, std::string_view) const override {
    std::string values;
    std::string types;
    for (const RecordLiteralField& field : sorted_by_name(fields)) {
      if (!values.empty()) {
        values += ", ";
        types += ", ";
      }
      values += field.sql;
      types += record_field(field.name) + " " + field_type(field);
    }
    return "CAST(ROW(" + values + ") AS ROW(" + types + "))";
  }

  // A ROW type names each field's type, which for a field of a stored column
  // only the engine knows: such a record is a ROW of unnamed fields, each of
  // its value's own type, in the order of their names, and a field of any
  // record the program wrote is read by its place. (A sub-query of one column
  // is that column's value, not a ROW, and ROW(x AS a) is not in the grammar.)
  std::string record_of_untyped_fields(const std::vector<RecordLiteralField>& fields,
                                       std::string_view) const override {
    return unnamed_row(fields);
  }
  std::optional<std::string_view> field_by_position() const override { return "{0}[{1}]"; }
  bool names_untyped_fields(size_t) const override { return false; }
  bool reads_untyped_fields_as_text() const override { return true; }
  // A column of bare nulls is of the type `unknown`, which no operator takes.
  bool types_columns_of_nulls() const override { return true; }
  std::string_view number_type_of_text() const override { return "DOUBLE"; }

  bool decorate_combine_rule() const override { return false; }
  bool writes_date_formats() const override { return true; }

  // Presto keeps a doubled double quote of a quoted field name in the name.
  bool takes_field_name(std::string_view name) const override {
    return name.find('"') == std::string_view::npos;
  }

  std::string string_cast(std::string_view sql) const override {
    return "CAST(" + std::string(sql) + " AS VARCHAR)";
  }

  std::optional<std::string> typed_null_argument(std::string_view function, size_t count,
                                                 size_t place) const override {
    return null_of_kind(
        argument_kind(kNullArgumentKinds, function, count, place),
        {{'t', "VARCHAR"}, {'i', "BIGINT"}, {'f', "DOUBLE"}, {'l', "ARRAY(UNKNOWN)"}, {'y', "VARBINARY"}});
  }

  std::string_view today_relation_sql() const override {
    return "(SELECT CAST(CAST(current_timestamp AT TIME ZONE 'UTC' AS DATE) AS VARCHAR) AS date)";
  }

  std::string_view now_relation_sql() const override {
    return "(SELECT CAST(current_timestamp AT TIME ZONE 'UTC' AS TIMESTAMP) AS timestamp)";
  }
};

class TrinoDialect final : public PrestoDialect {
 public:
  Engine engine() const override { return Engine::kTrino; }
  std::optional<std::string_view> unnest_computed_list_phrase() const override { return std::nullopt; }
  bool supports_offset() const override { return true; }
  std::optional<std::string_view> carried_key_phrase() const override { return std::nullopt; }
  bool carries_every_outer_value() const override { return false; }
  // Trino refuses a query of more than 150 stages by default; the measure
  // runs from about 0.4 to 0.9 stages a unit there, so that a statement of
  // 165 has at most about 150.
  uint64_t most_query_stages() const override { return 165; }
  // "Given correlated subquery is not supported" where a condition compares
  // with a field of an outer record, however the field is written.
  bool correlates_field_reads() const override { return false; }
  // "Multiple entries with same key" from the planner where the sub-query's
  // minimum is compared with two outer columns that a join makes equal.
  NegationForm negation_form() const override { return NegationForm::kNoRow; }
  std::optional<std::string> number_to_string() const override { return std::string(trino_number_text()); }
  bool takes_field_name(std::string_view) const override { return true; }
  // Its dynamic filters never let a join finish whose two sides are ordered
  // twice by different operators (x > y AND x >= y): the second comparison
  // is one no filter is drawn from, which WHERE reads alike.
  std::string ordered_again(std::string condition) const override {
    return "COALESCE(" + condition + ", FALSE)";
  }

  // A sub-query of two or more columns is a ROW named by its columns and typed
  // by their values, which keeps the names where such a record is shown.
  std::string record_of_untyped_fields(const std::vector<RecordLiteralField>& fields,
                                       std::string_view) const override {
    if (fields.size() < 2) return unnamed_row(fields);
    std::vector<std::pair<std::string, std::string>> named;
    std::string columns;
    for (const RecordLiteralField& field : sorted_by_name(fields)) {
      named.emplace_back(typed_value(field), record_field(field.name));
      if (!columns.empty()) columns += ", ";
      columns += named.back().first + " AS " + named.back().second;
    }
    if (std::optional<std::string> read = row_subquery_reading_subqueries(named)) return *std::move(read);
    return "(SELECT " + columns + ")";
  }
  bool names_untyped_fields(size_t field_count) const override { return field_count >= 2; }
  // It pushes MAX, MIN, SUM and the like below a cross join, through WITH
  // clauses and UNION ALL: with no rows on the aggregated side each group of
  // the other comes back, its value null.
  bool keeps_only_groups_of_rows() const override { return true; }
};

}  // namespace

std::unique_ptr<Dialect> make_presto_dialect() { return std::make_unique<PrestoDialect>(); }
std::unique_ptr<Dialect> make_trino_dialect() { return std::make_unique<TrinoDialect>(); }

}  // namespace mirtova
