// The Databricks dialect (engine "databricks").
#include <algorithm>
#include <vector>

#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/float_literal.h"
#include "compiler/dialects/number_text.h"
#include "compiler/dialects/quoting.h"
#include "compiler/dialects/spark_text_scan.h"
#include "compiler/dialects/subqueries_outside_lambdas.h"
#include "compiler/dialects/value_order.h"

namespace mirtova {

namespace {

// Spark's name of a scalar type, where a bare null must carry one.
std::optional<std::string_view> scalar_type_name(Type::Kind kind) {
  switch (kind) {
    case Type::Kind::Number:
      return "DOUBLE";
    case Type::Kind::String:
      return "STRING";
    case Type::Kind::Bool:
      return "BOOLEAN";
    default:
      return std::nullopt;
  }
}

// The built-ins a bare null argument fails on, as a value of the type VOID
// that their forms refuse, or that read it as a DOUBLE (ABS), to which an
// integer beside it in a union or a COALESCE is then rounded: each argument's
// type, b boolean, i integer, l a list of integers, "-" as it is (see
// argument_kind).
constexpr std::string_view kNullArgumentKinds = R"t(Abs i
CodePointsToBytes l
CodePointsToString l
GenerateArray iii
GenerateDateArray --i
If b
RangeOf l
RangeBucket -l)t";

class DatabricksDialect final : public Dialect {
 public:
  // A literal within 32 bits is an INT to the engine, and arithmetic on INTs
  // overflows there.
  std::string integer_literal(std::string_view digits) const override {
    return "CAST(" + std::string(digits) + " AS BIGINT)";
  }
  Engine engine() const override { return Engine::kDatabricks; }
  bool format_needs_expansion() const override { return false; }
  // FORMAT_STRING writes a missing value as "null".
  bool null_guarded_format() const override { return true; }
  // A value that is more than a name or a literal is read once, as a lambda's
  // parameter, for the test and the call: a guarded call in another would
  // otherwise be written twice at each level.
  std::string null_guarded_call(
      const std::vector<std::string>& values,
      const std::function<std::string(const std::vector<std::string>&)>& fill) const override {
    std::vector<std::string> read = values;
    for (size_t i = 0; i < values.size(); ++i)
      if (values[i].find('(') != std::string::npos) read[i] = "mirtova_f" + std::to_string(i);
    std::string guarded = Dialect::null_guarded_call(read, fill);
    for (size_t i = values.size(); i-- > 0;)
      if (read[i] != values[i])
        guarded = "transform(array(" + values[i] + "), " + read[i] + " -> " + guarded + ")[0]";
    return guarded;
  }
  bool nulls_first_by_default(bool descending) const override { return !descending; }
  // ROUND reads a text as a DOUBLE, which holds no integer past 2^53 exactly;
  // a DECIMAL holds every INT64 and still rounds a fraction half away from zero.
  std::optional<std::string_view> int64_of_text() const override {
    return "CAST(ROUND(CAST({0} AS DECIMAL(38, 10))) AS BIGINT)";
  }
  // A stored column of no type the program knows may be a text: it takes the
  // same road, and a number keeps its own ROUND.
  std::optional<std::string_view> int64_of_unknown_type() const override {
    return "(CASE WHEN typeof({0}) = 'string' THEN CAST(ROUND(CAST({0} AS DECIMAL(38, 10))) AS BIGINT) "
           "ELSE CAST(ROUND({0}) AS BIGINT) END)";
  }
  std::optional<std::string> number_to_string() const override { return databricks_number_text(); }
  std::string_view bind_value() const override { return "transform(array({0}), mirtova_v -> {body})[0]"; }
  std::optional<std::string> typed_null_argument(std::string_view function, size_t count,
                                                 size_t place) const override {
    return null_of_kind(argument_kind(kNullArgumentKinds, function, count, place),
                        {{'b', "BOOLEAN"}, {'i', "BIGINT"}, {'l', "ARRAY<BIGINT>"}});
  }
  bool null_guarded_least_greatest() const override { return true; }
  // Spark orders a null field or element inside a STRUCT or an ARRAY before
  // every value. element_at fails past the end of an array under ANSI rules.
  std::optional<std::string> list_sorted_by_value(const Type& element, bool unique) const override {
    return sorted_by_value(*this, element, unique, {"try_element_at", false, false});
  }
  // Spark orders a STRUCT's null field before every value: MAX and MIN of
  // records order them by their fields' values instead, a null field after
  // every value; a null record has no key and is passed over.
  std::optional<std::string> extreme_record(const std::vector<std::string>& fields,
                                            bool greatest) const override {
    std::string key;
    for (size_t i = 0; i < fields.size(); ++i) {
      const std::string place = std::to_string(i);
      key += (i == 0 ? "" : ", ") +
             ("'n" + place + "', (" + fields[i] + ") IS NULL, 'v" + place + "', " + fields[i]);
    }
    return std::string(greatest ? "max_by" : "min_by") +
           "({0}, CASE WHEN {0} IS NULL THEN NULL ELSE named_struct(" + key + ") END)";
  }
  std::string_view double_type() const override { return "DOUBLE"; }
  std::string_view unnest_phrase() const override { return "LATERAL (SELECT explode({0}) AS {1}) AS varnok"; }
  std::string_view array_phrase() const override { return "ARRAY(%s)"; }
  int group_by_spec_by() const override { return 1; }
  bool unfolds_recursion_iteratively() const override { return true; }
  // Over a list, the combine would have to open its FROM with a LATERAL view,
  // which the engine refuses.
  bool combines_over_lists() const override { return false; }
  // Spark resolves an outer reference one query out only, and refuses one that
  // an aggregate mixes with the sub-query's own columns.
  bool carries_outer_values() const override { return true; }
  bool splices_combines_into_combines() const override { return false; }
  NegationForm negation_form() const override { return NegationForm::kCountIsZero; }
  // "Cannot generate code for expression: outer(...)" for a sub-query inside
  // the aggregate of a sub-query that reads the query around.
  bool aggregates_subqueries_from_rows() const override { return true; }
  // A correlated sub-query of a projection that a filter is pushed through is
  // copied into the filter; in the condition of a sub-query there (a negation
  // of a value it computed) it then runs uncorrelated ("More than one row
  // returned by a subquery"), and in a rule of a union under an aggregate the
  // constraints the union derives from it name columns it has none of ("key
  // not found"). A LATERAL sub-query is a join, which neither reaches.
  bool joins_combines_of_columns() const override { return true; }

  // Spark resolves no column of the query around in a sub-query inside a
  // LATERAL one: a list that is a sub-query is a LATERAL relation itself,
  // whose column the explode reads one query out.
  std::optional<std::string> unnested_subquery(std::string_view list_sql,
                                               std::string_view alias) const override {
    if (!list_sql.starts_with("(SELECT ") || spark_closing_bracket(list_sql, 0) + 1 != list_sql.size())
      return std::nullopt;
    const std::string relation = "mirtova_l_" + std::string(alias);
    return "LATERAL " + std::string(list_sql) + " AS " + relation + "(mirtova_l), LATERAL (SELECT explode(" +
           relation + ".mirtova_l) AS " + std::string(alias) + ") AS varnok";
  }
  // A column of bare nulls is of the type `void`, which arithmetic refuses.
  bool types_columns_of_nulls() const override { return true; }

  std::string float_literal(std::string_view text) const override { return exponent_float_literal(text); }

  std::string quote_identifier(std::string_view name) const override { return quoted_doubling(name, '`'); }

  // Only a bare null needs its element type; an empty ARRAY() is typed by use.
  std::optional<std::string> typed_array(std::string_view sql, const Type& element) const override {
    if (sql != "null") return std::nullopt;
    auto name = scalar_type_name(element.kind());
    if (!name) return std::nullopt;
    return "CAST(null AS ARRAY<" + std::string(*name) + ">)";
  }

  // ARRAY_CONTAINS refuses a null of no type ("Null typed values cannot be
  // used"); typed, it finds nothing, as the engines that take it bare.
  std::optional<std::string> null_sought_in_list(const Type& element) const override {
    const Type::Kind kind = element.kind();
    auto name = kind == Type::Kind::Atomic || kind == Type::Kind::Any ? "STRING" : scalar_type_name(kind);
    if (!name) return std::nullopt;
    return "CAST(null AS " + std::string(*name) + ")";
  }

  // A UNION takes struct fields by their positions, not their names: the
  // fields are written in one order, that of their names' bytes, so that one
  // record written with its fields in two orders is one value.
  std::string record_literal(const std::vector<RecordLiteralField>& fields, std::string_view) const override {
    std::vector<const RecordLiteralField*> sorted;
    for (const RecordLiteralField& field : fields) sorted.push_back(&field);
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const RecordLiteralField* a, const RecordLiteralField* b) { return a->name < b->name; });
    std::string out = "STRUCT(";
    for (size_t i = 0; i < sorted.size(); ++i) {
      if (i > 0) out += ", ";
      out += sorted[i]->sql + " AS " + record_field(sorted[i]->name);
    }
    return out + ")";
  }

  // Spark may substitute "${...}" in SQL text before parsing it; a "$" written as
  // \u0024 never starts one.
  std::string str_literal(std::string_view text) const override {
    return replace_all(backslash_escaped_literal(text), "$", "\\u0024");
  }

  bool decorate_combine_rule() const override { return false; }

  // The templates bind values with lambdas, and a combine's value is a sub-query.
  std::string call_sql(std::string call) const override {
    return subqueries_outside_lambdas(std::move(call));
  }

  bool writes_date_formats() const override { return true; }

  // Spark's optimizer stops ("key not found") when it pushes a projection that
  // holds a correlated scalar sub-query through a UNION ALL: a join with one
  // row keeps the union from being the projection's child, and filters and
  // column pruning still pass through it.
  // Spark (4.3, adaptive execution on) also fails a task whose plan
  // broadcasts a UNION that reads no table, only rows of no relation
  // (ClassCastException on UnionExec.children), and a union whose later rules
  // are such rows still counts as one, as the optimizer gathers them; which
  // rule reads what is not known here, so the first reads the one row of
  // range(1) besides, and every rule of no FROM reads it instead.
  std::string rules_union(std::string rules) const override {
    constexpr std::string_view kUnion = "\nUNION ALL\n";
    const std::string_view text = rules;
    std::vector<size_t> starts = {0};
    for (size_t at : spark_top_level_places(text, kUnion)) starts.push_back(at + kUnion.size());
    std::string out;
    out.reserve(rules.size() + 40 * starts.size());
    for (size_t k = 0; k < starts.size(); ++k) {
      const size_t end = k + 1 < starts.size() ? starts[k + 1] - kUnion.size() : text.size();
      const std::string_view rule = text.substr(starts[k], end - starts[k]);
      if (k > 0) out += kUnion;
      if (std::vector<size_t> from = spark_top_level_places(rule, "\nFROM "); !from.empty()) {
        out += rule.substr(0, from.front() + 6);
        if (k == 0) out += "range(1) AS mirtova_row, ";
        out += rule.substr(from.front() + 6);
        continue;
      }
      size_t at = rule.size();
      for (std::string_view clause : {"\nWHERE ", "\nGROUP BY "}) {
        const std::vector<size_t> places = spark_top_level_places(rule.substr(0, at), clause);
        if (!places.empty()) at = places.front();
      }
      out += rule.substr(0, at);
      out += "\nFROM range(1) AS mirtova_row";
      out += rule.substr(at);
    }
    rules = std::move(out);
    // Not indented: a text literal may span lines.
    return "SELECT mirtova_rules.* FROM (\n" + rules +
           "\n) AS mirtova_rules CROSS JOIN (SELECT 1 AS mirtova_one) AS mirtova_one";
  }

  // Spark takes a LIMIT and OFFSET whose sum fits in 32 bits only: the offset
  // is capped at the largest, and the limit at what the offset leaves, which
  // gives the same rows for a result shorter than that (all of them, or none).
  std::string pagination_clause(std::optional<uint64_t> limit,
                                std::optional<uint64_t> offset) const override {
    constexpr uint64_t kLargest = 2147483647;
    const uint64_t skipped = offset ? std::min(*offset, kLargest) : 0;
    std::string out;
    if (limit) out += "\nLIMIT " + std::to_string(std::min(*limit, kLargest - skipped));
    if (offset) out += "\nOFFSET " + std::to_string(skipped);
    return out;
  }

  SqlLexicon sql_lexicon() const override { return spark_lexicon(); }

  std::string string_cast(std::string_view sql) const override {
    return "CAST(" + std::string(sql) + " AS STRING)";
  }

  // Spark takes a VARCHAR only with its length.
  std::string scalar_sql_type(const Type& type) const override {
    if (type.is_number() || type.is_bool() || type.is_list()) return Dialect::scalar_sql_type(type);
    return "string";
  }

  std::string_view today_relation_sql() const override {
    return "(SELECT CAST(to_date(to_utc_timestamp(current_timestamp(), current_timezone())) AS "
           "STRING) AS date)";
  }

  std::string_view now_relation_sql() const override {
    return "(SELECT to_utc_timestamp(current_timestamp(), current_timezone()) AS timestamp)";
  }
};

}  // namespace

std::unique_ptr<Dialect> make_databricks_dialect() { return std::make_unique<DatabricksDialect>(); }

}  // namespace mirtova
