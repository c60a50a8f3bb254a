// The PostgreSQL dialect (engine "psql").
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_set>

#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/number_text.h"
#include "compiler/dialects/quoting.h"
#include "compiler/dialects/record_types.h"
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

namespace {

// The built-ins whose forms a bare null argument, of the type unknown,
// leaves the engine unable to choose among ("could not determine polymorphic
// type", "array_agg(unknown) is not unique"), or that read it as text, or as
// a float (ABS), to which an integer beside it in a union or a COALESCE is
// then rounded: each argument's type, l a list, s a list of texts (as the
// empty list reordered is), i an integer, t text, "-" as it is (see
// argument_kind).
constexpr std::string_view kNullArgumentKinds = R"t(Abs i
ApproxQuantiles i
ArrayLength l
ArrayReverse s
ArrayToString l
DateSub -i
DatetimeSub -i
Element l
GenerateArray iii
RangeBucket -l
RangeOf l
Size l
Sort s
TimeSub -i
TimestampSub -i
ToJsonString t
Unique s)t";

// Record types inside `type` first, each once, then the type itself.
void declare_record_types(const Type& type, RecordTypeNames& names, std::unordered_set<std::string>& seen,
                          std::string& out) {
  if (type.is_list()) {
    declare_record_types(type.element(), names, seen, out);
    return;
  }
  if (!type.is_record()) return;
  const std::string& name = names.name(type);
  if (!seen.insert(name).second) return;
  // A type of this name was declared, and so were the types inside it.
  for (const auto& [field_name, field] : type.fields()) declare_record_types(field, names, seen, out);
  if (!out.empty()) out += "\n";
  out += "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_type WHERE typname = '" + name + "') THEN ";
  // A field read from a host's table is of that column's type, which only the
  // database knows: the type is made when its table is there to ask.
  if (psql_record_reads_host_columns(type)) {
    out += "EXECUTE 'CREATE TYPE " + name + " AS (' || " + names.columns_at_run_time(type) + " || ')';";
  } else {
    out += "CREATE TYPE " + name + " AS (" + names.columns(type) + ");";
  }
  out += " END IF; END $$;";
}

// The list at place mirtova_i of the list of lists mirtova_l, whose lists
// hold `depth` levels of lists: the slice of the first dimension there, made
// an array of one dimension fewer again, gathered level by level from its
// next dimensions.
std::string list_at(size_t depth) {
  std::string slices = "[mirtova_i:mirtova_i]";
  for (size_t level = 2; level <= depth; ++level) {
    const std::string place = "mirtova_i" + std::to_string(level);
    slices += "[" + place + ":" + place + "]";
  }
  std::string slice = "(SELECT ARRAY_AGG(mirtova_e ORDER BY mirtova_o) FROM UNNEST(mirtova_l" + slices +
                      ") WITH ORDINALITY AS mirtova_s(mirtova_e, mirtova_o))";
  for (size_t level = depth; level >= 2; --level) {
    const std::string place = "mirtova_i" + std::to_string(level);
    slice = "(SELECT ARRAY_AGG(" + slice + " ORDER BY " + place + ") FROM GENERATE_SUBSCRIPTS(mirtova_l, " +
            std::to_string(level) + ") AS " + place + ")";
  }
  return slice;
}

// Whether the SQL is an integer literal, bare or as integer_literal writes it:
// its digits are exact as they are.
bool is_integer_literal(std::string_view sql) {
  constexpr std::string_view kCast = "CAST(", kBigint = " AS BIGINT)";
  if (sql.size() > kCast.size() + kBigint.size() && sql.starts_with(kCast) && sql.ends_with(kBigint))
    sql = sql.substr(kCast.size(), sql.size() - kCast.size() - kBigint.size());
  if (sql.starts_with('-')) sql.remove_prefix(1);
  return !sql.empty() && std::all_of(sql.begin(), sql.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class PostgreSqlDialect final : public Dialect {
 public:
  Engine engine() const override { return Engine::kPsql; }
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
  // A list of lists is one array of more dimensions, which UNNEST and a
  // subscript read element by element: its lists are the slices of its first
  // dimension, each made an array of one dimension fewer again, gathered level
  // by level from its next dimensions (an element past the end, or before the
  // start, is null, as any other).
  std::optional<std::string> unnest_lists_phrase(size_t depth) const override {
    return "LATERAL (SELECT " + list_at(depth) +
           " AS {1} FROM (SELECT {0} AS mirtova_l) AS mirtova_m, GENERATE_SUBSCRIPTS(mirtova_l, 1) AS "
           "mirtova_i) "
           "AS varnok_{1}";
  }
  std::optional<std::string> element_of_lists(size_t depth) const override {
    if (depth == 1)
      return "(SELECT ARRAY_AGG(mirtova_e ORDER BY mirtova_o) FROM (SELECT {0} AS mirtova_l, {1} + 1 AS "
             "mirtova_i) "
             "AS mirtova_m, UNNEST(CASE WHEN mirtova_i >= 1 THEN mirtova_l[mirtova_i:mirtova_i] END) WITH "
             "ORDINALITY "
             "AS mirtova_s(mirtova_e, mirtova_o))";
    // Gathered level by level, a place past either end would give a list of
    // nulls rather than none.
    return "(SELECT CASE WHEN mirtova_i BETWEEN 1 AND ARRAY_LENGTH(mirtova_l, 1) THEN " + list_at(depth) +
           " END FROM (SELECT {0} AS mirtova_l, {1} + 1 AS mirtova_i) AS mirtova_m)";
  }
  // The lists, each a slice made an array of one dimension fewer again (as
  // list_at gathers it), gathered back in their new order; the list is named
  // once, and the empty one, of no first dimension, is itself.
  std::optional<std::string> lists_reordered(std::string_view function, size_t depth) const override {
    std::string distinct, place, order;
    if (function == "Sort") {
      order = "mirtova_v";
    } else if (function == "Unique") {
      distinct = "DISTINCT ";
      order = "mirtova_v";
    } else if (function == "ArrayReverse") {
      place = ", mirtova_i";
      order = "mirtova_i DESC";
    } else {
      return std::nullopt;
    }
    return "(SELECT CASE WHEN mirtova_l IS NULL THEN NULL ELSE COALESCE((SELECT ARRAY_AGG(mirtova_v "
           "ORDER BY " +
           order + ") FROM (SELECT " + distinct + list_at(depth) + " AS mirtova_v" + place +
           " FROM GENERATE_SUBSCRIPTS(mirtova_l, 1) AS mirtova_i) AS mirtova_w), mirtova_l) END FROM "
           "(SELECT {0} AS mirtova_l OFFSET 0) AS mirtova_n)";
  }
  std::string_view array_phrase() const override { return "ARRAY[%s]"; }
  int group_by_spec_by() const override { return 2; }
  bool writes_date_formats() const override { return true; }
  // A bare null is text here, which then refuses arithmetic and meets no other
  // column type in a UNION.
  bool types_bare_nulls() const override { return true; }
  // The engine cannot tell the type of an aggregated anonymous row.
  bool casts_combines_to_their_type() const override { return true; }
  // A record field of unknown type is declared as text, so reading it back
  // gives text even when the value stored was a number: the engine refuses
  // text > integer.
  bool reads_untyped_fields_as_text() const override { return true; }
  // Of no type yet, a text literal leaves the engine unable to choose among a
  // function's forms (ARRAY_AGG('a') is refused).
  bool leaves_text_literals_untyped() const override { return true; }
  bool is_postgresqlish() const override { return true; }
  std::string_view cascading_deletion_word() const override { return " CASCADE"; }

  // Every record value is cast to a composite type (see record_literal), which
  // must exist before the script reads it.
  std::string setup_script(const RecordTypes& record_types) const override {
    std::string out =
        "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_type WHERE typname = 'quorilrecord893574736') THEN "
        "CREATE "
        "TYPE quorilrecord893574736 AS (nirvana numeric); END IF; END $$;";
    RecordTypeNames names;
    std::unordered_set<std::string> seen;
    std::string types;
    for (const auto& [name, type] : record_types) declare_record_types(type, names, seen, types);
    if (!types.empty()) out += "\n" + types;
    return out;
  }

  // The aggregate the Agg++ and ArrayConcatAgg rows call is defined only for
  // a plan that calls it: most never do.
  std::string called_functions_setup(const std::vector<std::string_view>& statements) const override {
    for (std::string_view statement : statements)
      if (statement.find("mirtova_array_concat_agg(") != std::string_view::npos)
        return std::string(psql_array_concat_agg_setup());
    return {};
  }

  // A field of a composite value is only reachable with the value in parentheses.
  std::string subscript(std::string_view record, std::string_view field, bool) const override {
    return "(" + std::string(record) + ")." + record_field(field);
  }

  std::string float_literal(std::string_view text) const override {
    return "CAST(" + std::string(text) + " AS double precision)";
  }
  // Bare, such a literal is an exact numeric here, whose sums keep digits a
  // double loses elsewhere. A value out of a double's reach, or large enough
  // that a product of two could overflow, stays exact: PostgreSQL raises on a
  // double's overflow where the other engines give an infinity, and an exact
  // value that large compares as that infinity does.
  std::string exponent_literal(std::string_view text) const override {
    const std::string_view unsigned_text = text.starts_with('+') ? text.substr(1) : text;
    double value = 0;
    auto [end, ec] =
        std::from_chars(unsigned_text.data(), unsigned_text.data() + unsigned_text.size(), value);
    if (ec != std::errc() || end != unsigned_text.data() + unsigned_text.size()) return std::string(text);
    const double size = std::fabs(value);
    if (value != 0 && (size < std::numeric_limits<double>::min() || size >= 1e154)) return std::string(text);
    return float_literal(text);
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
      case Type::Kind::Record:
        // Of the composite type its shape names, as its records are cast to;
        // one with a host's column in it is declared only when run.
        if (element.is_open() || psql_record_reads_host_columns(element)) return std::nullopt;
        return "CAST(" + std::string(sql) + " AS " + record_type_name(element) + "[])";
      default:
        return std::nullopt;
    }
    return "CAST(" + std::string(sql) + " AS " + std::string(sql_type) + "[])";
  }

  std::string empty_array_literal() const override { return "'{}'"; }

  // Every record value is cast to a composite type named after its sorted columns,
  // the same name the set-up step declares for that shape.
  std::string record_literal(const std::vector<RecordLiteralField>& fields,
                             std::string_view type_name) const override {
    std::string values;
    for (const RecordLiteralField& field : sorted_by_name(fields)) {
      if (!values.empty()) values += ", ";
      // A number field, or a list of numbers, is numeric, and a double cast to
      // numeric keeps only 15 digits (0.1 + 0.2 would equal 0.3); its text is
      // the shortest that reads back as the same double, and a bigint's or a
      // numeric's is exact.
      const Type* element = &field.type;
      while (element->is_list()) element = &element->element();
      if (element->is_number() && !is_integer_literal(field.sql)) {
        const char* brackets = field.type.is_list() ? "[]" : "";
        values += "CAST(CAST(" + field.sql + " AS text" + brackets + ") AS numeric" + brackets + ")";
      } else {
        values += field.sql;
      }
    }
    if (!type_name.empty()) return "ROW(" + values + ")::" + std::string(type_name);
    Type::Fields shape;
    for (const RecordLiteralField& field : fields) shape.insert_or_assign(field.name, field.type);
    return "ROW(" + values + ")::" + record_type_name(Type::closed_record(std::move(shape)));
  }

  // A field of a record compares by its value as a document: a column's bigint
  // equals the numeric the program wrote, and null fields are equal, as they
  // are between two records of one type.
  std::optional<std::string_view> record_comparison_form() const override { return "to_jsonb(%s)"; }
  // Through JSON, fields meet by their names, not their places, and a
  // record or list inside is read into its declared type in turn.
  std::optional<std::string_view> declared_type_reading() const override {
    return "(jsonb_populate_record(NULL::{1}, jsonb_build_object('v', to_jsonb({0})))).v";
  }
  bool searches_rows_of_a_sought_subquery() const override { return true; }
  // A list of lists is one array of more dimensions, of one length in each.
  bool holds_ragged_lists() const override { return false; }
  // Their rows read the list through UNNEST, which has forms for arrays and
  // for text search vectors, or through functions that take any array, which
  // cannot tell an element type from a value of no type.
  bool unnests_list_arguments(std::string_view function) const override {
    return function == "Unique" || function == "Sort" || function == "RangeBucket" || function == "Reverse" ||
           function == "ArrayReverse" || function == "ArrayLength" || function == "ArrayToString" ||
           function == "RangeOf";
  }

  std::optional<std::string> typed_null_argument(std::string_view function, size_t count,
                                                 size_t place) const override {
    return null_of_kind(argument_kind(kNullArgumentKinds, function, count, place),
                        {{'i', "BIGINT"}, {'l', "BIGINT[]"}, {'s', "TEXT[]"}, {'t', "TEXT"}});
  }

  std::string scalar_sql_type(const Type& type) const override {
    return psql_column_type(type, [](const Type&) { return std::string("text"); });
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
