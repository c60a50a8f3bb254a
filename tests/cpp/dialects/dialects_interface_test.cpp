#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/engines.h"
#include "compiler/dialects/dialect.h"
#include "compiler/dialects/record_types.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

// Column order of the tables below.
// SQLite's records are JSON texts, compared as the sorted list of their leaves.
constexpr std::string_view kSqliteRecordForm =
    "(SELECT GROUP_CONCAT(mirtova_j.fullkey || '=' || (CASE mirtova_j.type WHEN 'real' THEN (CASE WHEN "
    "mirtova_j.atom = CAST(mirtova_j.atom AS INTEGER) THEN CAST(CAST(mirtova_j.atom AS INTEGER) AS TEXT) "
    "ELSE "
    "PRINTF('%!.17g', mirtova_j.atom) END) WHEN 'integer' THEN CAST(mirtova_j.atom AS TEXT) WHEN 'text' THEN "
    "QUOTE(mirtova_j.atom) ELSE mirtova_j.type END), ',') OVER (ORDER BY mirtova_j.fullkey ROWS BETWEEN "
    "UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING) FROM JSON_TREE(%s) AS mirtova_j LIMIT 1)";

constexpr std::array<const char*, 7> kEngines = {"duckdb", "databricks", "presto",  "trino",
                                                 "psql",   "sqlite",     "bigquery"};

std::unique_ptr<Dialect> dialect(std::string_view engine) { return Dialect::get(engine_of(engine)); }

std::string flag(bool b) { return b ? "true" : "false"; }
template <class T>
std::string opt(const std::optional<T>& v) {
  return v ? std::string(*v) : std::string("none");
}

struct Row {
  const char* operation;
  std::function<std::string(const Dialect&)> ask;
  std::array<std::string, 7> answers;  // in kEngines order
};

const std::string kPredicate = "'predicate_name:{0}'";

TEST(DialectsInterfaceTest, EveryEngineAnswersEveryOperation) {
  Type from_table = Type::any();
  from_table.set_origin(std::make_shared<const ColumnOrigin>(ColumnOrigin{"\"it's\"", "col0", false, {}}));
  const Type from_host =
      Type::closed_record(Type::Fields{{"a", Type::list(from_table)}, {"b", Type::number()}});
  // clang-format off
  const std::vector<Row> rows = {
      {"name", [](const Dialect& d) { return std::string(d.name()); },
       {"duckdb", "databricks", "presto", "trino", "psql", "sqlite", "bigquery"}},
      {"format_needs_expansion", [](const Dialect& d) { return flag(d.format_needs_expansion()); },
       {"false", "false", "true", "true", "true", "false", "false"}},
      {"nulls_first_by_default(false)",
       [](const Dialect& d) { return flag(d.nulls_first_by_default(false)); },
       {"false", "true", "false", "false", "false", "true", "true"}},
      {"nulls_first_by_default(true)",
       [](const Dialect& d) { return flag(d.nulls_first_by_default(true)); },
       {"false", "false", "false", "false", "true", "false", "false"}},
      {"int64_of_text", [](const Dialect& d) { return opt(d.int64_of_text()); },
       {"CAST({0} AS BIGINT)", "CAST(ROUND(CAST({0} AS DECIMAL(38, 10))) AS BIGINT)", "none", "none",
        "CAST({0} AS BIGINT)", "CAST({0} AS INTEGER)", "none"}},
      {"bind_value", [](const Dialect& d) { return std::string(d.bind_value()); },
       {"list_transform([{0}], mirtova_v -> {body})[1]",
        "transform(array({0}), mirtova_v -> {body})[0]",
        "element_at(transform(ARRAY[{0}], mirtova_v -> {body}), 1)",
        "element_at(transform(ARRAY[{0}], mirtova_v -> {body}), 1)",
        "(SELECT {body} FROM (SELECT {0} AS mirtova_v) AS mirtova_n)",
        "(WITH mirtova_once(mirtova_v) AS (VALUES ({0})) SELECT {body} FROM mirtova_once)",
        "(SELECT {body} FROM UNNEST([{0}]) AS mirtova_v)"}},
      {"boolean_min_max",
       [](const Dialect& d) {
         auto p = d.boolean_min_max();
         return p ? std::string(p->first) + " | " + std::string(p->second) : "none";
       },
       {"none", "none", "none", "none", "BOOL_AND(%s) | BOOL_OR(%s)", "none", "none"}},
      {"null_guarded_least_greatest",
       [](const Dialect& d) { return flag(d.null_guarded_least_greatest()); },
       {"true", "true", "false", "false", "true", "false", "false"}},
      {"double_type", [](const Dialect& d) { return std::string(d.double_type()); },
       {"DOUBLE", "DOUBLE", "DOUBLE", "DOUBLE", "double precision", "REAL", "FLOAT64"}},
      {"log10_function", [](const Dialect& d) { return std::string(d.log10_function()); },
       {"LOG10", "LOG10", "LOG10", "LOG10", "LOG", "LOG10", "LOG10"}},
      {"boolean_to_string", [](const Dialect& d) { return opt(d.boolean_to_string()); },
       {"none", "none", "none", "none", "none",
        "(CASE {0} WHEN 1 THEN 'true' WHEN 0 THEN 'false' END)", "none"}},
      {"supports_offset", [](const Dialect& d) { return flag(d.supports_offset()); },
       {"true", "true", "false", "true", "true", "true", "true"}},
      {"pagination_clause(10, 20)",
       [](const Dialect& d) { return d.pagination_clause(10, 20); },
       {"\nLIMIT 10\nOFFSET 20", "\nLIMIT 10\nOFFSET 20", "\nOFFSET 20\nLIMIT 10",
        "\nOFFSET 20\nLIMIT 10", "\nLIMIT 10\nOFFSET 20", "\nLIMIT 10\nOFFSET 20",
        "\nLIMIT 10\nOFFSET 20"}},
      {"pagination_clause(max, none)",
       [](const Dialect& d) { return d.pagination_clause(UINT64_MAX, std::nullopt); },
       {"\nLIMIT 9223372036854775807", "\nLIMIT 2147483647",
        "\nLIMIT 2147483647", "\nLIMIT 2147483647",
        "\nLIMIT 9223372036854775807", "\nLIMIT 9223372036854775807",
        "\nLIMIT 9223372036854775807"}},
      {"pagination_clause(2^63 - 1, 2^63)",
       [](const Dialect& d) { return d.pagination_clause(INT64_MAX, uint64_t{1} << 63); },
       {"\nLIMIT 9223372036854775807\nOFFSET 9223372036854775807",
        "\nLIMIT 0\nOFFSET 2147483647",
        "\nOFFSET 2147483647\nLIMIT 0",
        "\nOFFSET 2147483647\nLIMIT 0",
        "\nLIMIT 9223372036854775807\nOFFSET 9223372036854775807",
        "\nLIMIT 9223372036854775807\nOFFSET 9223372036854775807",
        "\nLIMIT 9223372036854775807\nOFFSET 9223372036854775807"}},
      {"pagination_clause(none, max)",
       [](const Dialect& d) { return d.pagination_clause(std::nullopt, UINT64_MAX); },
       {"\nOFFSET 9223372036854775807", "\nOFFSET 2147483647", "\nOFFSET 2147483647",
        "\nOFFSET 2147483647", "\nOFFSET 9223372036854775807",
        "\nLIMIT -1\nOFFSET 9223372036854775807",
        "\nLIMIT 9223372036854775807\nOFFSET 9223372036854775807"}},
      {"pagination_clause(none, 0)",
       [](const Dialect& d) { return d.pagination_clause(std::nullopt, 0); },
       {"\nOFFSET 0", "\nOFFSET 0", "\nOFFSET 0", "\nOFFSET 0", "\nOFFSET 0",
        "\nLIMIT -1\nOFFSET 0", "\nLIMIT 9223372036854775807\nOFFSET 0"}},
      {"pagination_clause(none, none)",
       [](const Dialect& d) { return d.pagination_clause(std::nullopt, std::nullopt); },
       {"", "", "", "", "", "", ""}},
      {"subscript(t, select, false)",
       [](const Dialect& d) { return d.subscript("t", "select", false); },
       {"t.\"select\"", "t.`select`", "t.\"select\"", "t.\"select\"", "(t).\"select\"",
        "JSON_EXTRACT(t, \"$.select\")", "t.`select`"}},
      {"subscript(t, select, true)",
       [](const Dialect& d) { return d.subscript("t", "select", true); },
       {"t.\"select\"", "t.`select`", "t.\"select\"", "t.\"select\"", "(t).\"select\"",
        "t.select", "t.`select`"}},
      {"subscript(t, *, true)", [](const Dialect& d) { return d.subscript("t", "*", true); },
       {"t.*", "t.*", "t.*", "t.*", "(t).*", "t.*", "t.*"}},
      {"subscript(r, name, false)",
       [](const Dialect& d) { return d.subscript("r", "name", false); },
       {"r.name", "r.name", "r.name", "r.name", "(r).name", "JSON_EXTRACT(r, \"$.name\")",
        "r.name"}},
      {"library_program size",
       [](const Dialect& d) { return std::to_string(d.library_program().size()); },
       {"2326", "1743", "818", "818", "1107", "907", "1025"}},
      {"integer_literal", [](const Dialect& d) { return d.integer_literal("-7"); },
       {"CAST(-7 AS BIGINT)", "CAST(-7 AS BIGINT)", "CAST(-7 AS BIGINT)", "CAST(-7 AS BIGINT)", "CAST(-7 AS BIGINT)",
        "-7", "-7"}},
      {"unnest_phrase", [](const Dialect& d) { return std::string(d.unnest_phrase()); },
       {"(select unnest({0}) as unnested_pod) as {1}",
        "LATERAL (SELECT explode({0}) AS {1}) AS varnok",
        "UNNEST(TRANSFORM({0}, mirtova_e -> ROW(mirtova_e))) as varnok({1})",
        "UNNEST(TRANSFORM({0}, mirtova_e -> ROW(mirtova_e))) as varnok({1})",
        "UNNEST({0}) as {1}", "JSON_EACH({0}) as {1}", "UNNEST({0}) as {1}"}},
      {"unnest_records_phrase",
       [](const Dialect& d) { return std::string(d.unnest_records_phrase()); },
       {"(select unnest({0}) as unnested_pod) as {1}",
        "LATERAL (SELECT explode({0}) AS {1}) AS varnok",
        "UNNEST(TRANSFORM({0}, mirtova_e -> ROW(mirtova_e))) as varnok({1})",
        "UNNEST(TRANSFORM({0}, mirtova_e -> ROW(mirtova_e))) as varnok({1})",
        "LATERAL (SELECT UNNEST({0}) AS {1}) AS varnok_{1}", "JSON_EACH({0}) as {1}",
        "UNNEST({0}) as {1}"}},
      {"array_phrase", [](const Dialect& d) { return std::string(d.array_phrase()); },
       {"[%s]", "ARRAY(%s)", "ARRAY[%s]", "ARRAY[%s]", "ARRAY[%s]", "JSON_ARRAY(%s)",
        "ARRAY[%s]"}},
      {"empty_array_literal", [](const Dialect& d) { return d.empty_array_literal(); },
       {"[]", "ARRAY()", "ARRAY[]", "ARRAY[]", "'{}'", "JSON_ARRAY()", "ARRAY[]"}},
      {"group_by_spec_by", [](const Dialect& d) { return std::to_string(d.group_by_spec_by()); },
       {"2", "1", "1", "1", "2", "2", "0"}},
      {"predicate_literal(Foo)", [](const Dialect& d) { return d.predicate_literal("Foo"); },
       {"'predicate_name:Foo'", "'predicate_name:Foo'", "'predicate_name:Foo'",
        "'predicate_name:Foo'", "'predicate_name:Foo'", "'predicate_name:Foo'",
        "STRUCT(\"Foo\" AS predicate_name)"}},
      {"is_postgresqlish", [](const Dialect& d) { return flag(d.is_postgresqlish()); },
       {"true", "false", "false", "false", "true", "false", "false"}},
      {"cascading_deletion_word",
       [](const Dialect& d) { return std::string(d.cascading_deletion_word()); },
       {"", "", "", "", " CASCADE", "", ""}},
      {"except_distinct", [](const Dialect& d) { return std::string(d.except_distinct()); },
       {"EXCEPT", "EXCEPT", "EXCEPT", "EXCEPT", "EXCEPT", "EXCEPT", "EXCEPT DISTINCT"}},
      {"supports_create_or_replace",
       [](const Dialect& d) { return flag(d.supports_create_or_replace()); },
       {"false", "false", "false", "false", "false", "false", "false"}},
      {"decorate_combine_rule", [](const Dialect& d) { return flag(d.decorate_combine_rule()); },
       {"true", "false", "false", "false", "true", "true", "false"}},
      {"string_cast(x)", [](const Dialect& d) { return d.string_cast("x"); },
       {"CAST(x AS TEXT)", "CAST(x AS STRING)", "CAST(x AS VARCHAR)", "CAST(x AS VARCHAR)",
        "CAST(x AS TEXT)", "CAST(x AS TEXT)", "CAST(x AS STRING)"}},
      {"today_relation_sql", [](const Dialect& d) { return std::string(d.today_relation_sql()); },
       {"(SELECT strftime(current_timestamp AT TIME ZONE 'UTC', '%Y-%m-%d') AS date)",
        "(SELECT CAST(to_date(to_utc_timestamp(current_timestamp(), current_timezone())) AS "
        "STRING) AS date)",
        "(SELECT CAST(CAST(current_timestamp AT TIME ZONE 'UTC' AS DATE) AS VARCHAR) AS date)",
        "(SELECT CAST(CAST(current_timestamp AT TIME ZONE 'UTC' AS DATE) AS VARCHAR) AS date)",
        "(SELECT to_char(current_timestamp AT TIME ZONE 'UTC', 'YYYY-MM-DD') AS date)",
        "(SELECT date('now') AS date)", "(SELECT CAST(CURRENT_DATE() AS STRING) AS date)"}},
      {"now_relation_sql", [](const Dialect& d) { return std::string(d.now_relation_sql()); },
       {"(SELECT current_timestamp AT TIME ZONE 'UTC' AS timestamp)",
        "(SELECT to_utc_timestamp(current_timestamp(), current_timezone()) AS timestamp)",
        "(SELECT CAST(current_timestamp AT TIME ZONE 'UTC' AS TIMESTAMP) AS timestamp)",
        "(SELECT CAST(current_timestamp AT TIME ZONE 'UTC' AS TIMESTAMP) AS timestamp)",
        "(SELECT current_timestamp AT TIME ZONE 'UTC' AS timestamp)",
        "(SELECT datetime('now') AS timestamp)", "(SELECT CURRENT_TIMESTAMP() AS timestamp)"}},
      {"setup_script(no record types)", [](const Dialect& d) { return d.setup_script({}); },
       {"SET lambda_syntax = 'ENABLE_SINGLE_ARROW';\n"
        "create sequence if not exists eternal_logical_sequence;\n"
        "CREATE TYPE IF NOT EXISTS quorilrecord893574736 AS STRUCT(nirvana NUMERIC);",
        "", "", "",
        "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_type WHERE typname = 'quorilrecord893574736') THEN "
        "CREATE TYPE quorilrecord893574736 AS (nirvana numeric); END IF; END $$;",
        "", ""}},
      // A record inside a record is declared first, and a type met twice once.
      {"setup_script(records)",
       [](const Dialect& d) {
         Type inner = Type::closed_record(Type::Fields{{"b", Type::number()}});
         Type outer = Type::closed_record(Type::Fields{{"a", Type::list(inner)}});
         std::string script = d.setup_script({{record_type_name(outer), outer}, {record_type_name(inner), inner}});
         return script.substr(script.find('\n') + 1);
       },
       {"create sequence if not exists eternal_logical_sequence;\n"
        "CREATE TYPE IF NOT EXISTS quorilrecord893574736 AS STRUCT(nirvana NUMERIC);",
        "", "", "",
        "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_type WHERE typname = 'quorilrecord16192768143415371220') THEN "
        "CREATE TYPE quorilrecord16192768143415371220 AS (\"b\" numeric); END IF; END $$;\n"
        "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_type WHERE typname = 'quorilrecord6425913541027078677') THEN "
        "CREATE TYPE quorilrecord6425913541027078677 AS (\"a\" quorilrecord16192768143415371220[]); END IF; END $$;",
        "", ""}},
      // A field read from a host table's column is made with the column's type
      // as the catalogue gives it when the set-up runs.
      {"setup_script(record read from a host column)",
       [&](const Dialect& d) {
         std::string script = d.setup_script({{record_type_name(from_host), from_host}});
         return script.substr(script.find('\n') + 1);
       },
       {"create sequence if not exists eternal_logical_sequence;\n"
        "CREATE TYPE IF NOT EXISTS quorilrecord893574736 AS STRUCT(nirvana NUMERIC);",
        "", "", "",
        "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_type WHERE typname = '" + record_type_name(from_host) +
        "') THEN EXECUTE 'CREATE TYPE " + record_type_name(from_host) + " AS (' || '\"a\" ' || "
        "COALESCE((SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = "
        "to_regclass('\"it''s\"') AND attname = 'col0' AND attnum > 0 AND NOT attisdropped), 'text') || "
        "'[], \"b\" numeric' || ')'; END IF; END $$;",
        "", ""}},
      {"writes_date_formats", [](const Dialect& d) { return flag(d.writes_date_formats()); },
       {"true", "true", "true", "true", "true", "true", "false"}},
      {"types_bare_nulls", [](const Dialect& d) { return flag(d.types_bare_nulls()); },
       {"false", "false", "false", "false", "true", "false", "false"}},
      {"casts_combines_to_their_type", [](const Dialect& d) { return flag(d.casts_combines_to_their_type()); },
       {"false", "false", "false", "false", "true", "false", "false"}},
      {"reads_untyped_fields_as_text", [](const Dialect& d) { return flag(d.reads_untyped_fields_as_text()); },
       {"false", "false", "true", "true", "true", "false", "false"}},
      {"number_type_of_text", [](const Dialect& d) { return std::string(d.number_type_of_text()); },
       {"numeric", "numeric", "DOUBLE", "DOUBLE", "numeric", "numeric", "numeric"}},
      {"leaves_text_literals_untyped", [](const Dialect& d) { return flag(d.leaves_text_literals_untyped()); },
       {"false", "false", "false", "false", "true", "false", "false"}},
      {"combines_over_lists", [](const Dialect& d) { return flag(d.combines_over_lists()); },
       {"true", "false", "true", "true", "true", "true", "true"}},
      {"holds_lists_in_lists", [](const Dialect& d) { return flag(d.holds_lists_in_lists()); },
       {"true", "true", "true", "true", "true", "true", "false"}},
      {"sql_lexicon",
       [](const Dialect& d) {
         const SqlLexicon l = d.sql_lexicon();
         std::string out;
         for (const auto& [on, what] : {std::pair{l.backslash_escapes, "backslash "},
                                        {l.backslash_in_backquotes, "backquote-backslash "},
                                        {l.escape_strings, "E'' "}, {l.dollar_quotes, "$$ "},
                                        {l.triple_quotes, "''' "}, {l.hash_comments, "# "},
                                        {l.nested_comments, "nested"}})
           if (on) out += what;
         return out;
       },
       {"E'' $$ nested", "backslash nested", "", "", "E'' $$ nested", "",
        "backslash backquote-backslash ''' # "}},
      // The aggregate is defined for a plan that calls it, in any of its statements.
      {"called_functions_setup(a call)",
       [](const Dialect& d) {
         return d.called_functions_setup({"SELECT 1", "SELECT mirtova_array_concat_agg(x) FROM t"}).substr(0, 80);
       },
       {"", "", "", "", "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_proc WHERE proname = 'mirtova_array_", "", ""}},
      {"called_functions_setup(no call)",
       [](const Dialect& d) { return d.called_functions_setup({"SELECT mirtova_array_concat_agg FROM t", ""}); },
       {"", "", "", "", "", "", ""}},
      {"rules_union", [](const Dialect& d) { return d.rules_union("SELECT 1\nUNION ALL\nSELECT 2"); },
       {"SELECT 1\nUNION ALL\nSELECT 2",
        "SELECT mirtova_rules.* FROM (\nSELECT 1\nFROM range(1) AS mirtova_row\nUNION ALL\nSELECT 2\nFROM range(1) "
        "AS mirtova_row\n) AS mirtova_rules CROSS JOIN (SELECT 1 AS mirtova_one) AS mirtova_one",
        "SELECT 1\nUNION ALL\nSELECT 2", "SELECT 1\nUNION ALL\nSELECT 2", "SELECT 1\nUNION ALL\nSELECT 2",
        "SELECT 1\nUNION ALL\nSELECT 2", "SELECT 1\nUNION ALL\nSELECT 2"}},
      {"unfolds_recursion_iteratively",
       [](const Dialect& d) { return flag(d.unfolds_recursion_iteratively()); },
       {"false", "true", "true", "true", "false", "false", "false"}},
      {"carries_outer_values", [](const Dialect& d) { return flag(d.carries_outer_values()); },
       {"false", "true", "true", "true", "false", "false", "false"}},
      {"splices_combines_into_combines",
       [](const Dialect& d) { return flag(d.splices_combines_into_combines()); },
       {"true", "false", "false", "false", "true", "true", "true"}},
      {"carried_key_phrase", [](const Dialect& d) { return opt(d.carried_key_phrase()); },
       {"none", "none", "json_format(CAST(ROW({0}) AS JSON))", "none", "none", "none", "none"}},
      {"carries_every_outer_value", [](const Dialect& d) { return flag(d.carries_every_outer_value()); },
       {"false", "false", "true", "false", "false", "false", "false"}},
      {"call_sql", [](const Dialect& d) { return d.call_sql("f(x -> x, (SELECT 1))"); },
       {"f(x -> x, (SELECT 1))", "(SELECT f(x -> x, mirtova_q0.v) FROM (SELECT 1) AS mirtova_q0(v))",
        "f(x -> x, (SELECT 1))", "f(x -> x, (SELECT 1))", "f(x -> x, (SELECT 1))", "f(x -> x, (SELECT 1))",
        "f(x -> x, (SELECT 1))"}},
      {"correlates_field_reads", [](const Dialect& d) { return flag(d.correlates_field_reads()); },
       {"true", "true", "true", "false", "true", "true", "true"}},
      {"field_by_position", [](const Dialect& d) { return opt(d.field_by_position()); },
       {"none", "none", "{0}[{1}]", "{0}[{1}]", "none", "none", "none"}},
      {"unnested_list of a sub-query",
       [](const Dialect& d) { return d.unnested_list("(SELECT ARRAY[1])", "t_0", Type::any()); },
       {"(select unnest((SELECT ARRAY[1])) as unnested_pod) as t_0",
        "LATERAL (SELECT ARRAY[1]) AS mirtova_l_t_0(mirtova_l), LATERAL (SELECT explode(mirtova_l_t_0.mirtova_l) AS t_0) "
        "AS varnok",
        "LATERAL (SELECT (SELECT ARRAY[1]) AS mirtova_l) AS mirtova_l_t_0, "
        "UNNEST(TRANSFORM(mirtova_l_t_0.mirtova_l, mirtova_e -> ROW(mirtova_e))) as varnok(t_0)",
        "UNNEST(TRANSFORM((SELECT ARRAY[1]), mirtova_e -> ROW(mirtova_e))) as varnok(t_0)",
        "UNNEST((SELECT ARRAY[1])) as t_0", "JSON_EACH((SELECT ARRAY[1])) as t_0", "UNNEST((SELECT ARRAY[1])) as t_0"}},
      {"unnested_list of a list of lists",
       [](const Dialect& d) { return d.unnested_list("l", "t_0", Type::list(Type::list(Type::number()))); },
       {"(select unnest(l) as unnested_pod) as t_0", "LATERAL (SELECT explode(l) AS t_0) AS varnok",
        "UNNEST(TRANSFORM(l, mirtova_e -> ROW(mirtova_e))) as varnok(t_0)",
        "UNNEST(TRANSFORM(l, mirtova_e -> ROW(mirtova_e))) as varnok(t_0)",
        "LATERAL (SELECT (SELECT ARRAY_AGG(mirtova_e ORDER BY mirtova_o) FROM UNNEST(mirtova_l[mirtova_i:mirtova_i]) "
        "WITH ORDINALITY AS mirtova_s(mirtova_e, mirtova_o)) AS t_0 FROM (SELECT l AS mirtova_l) AS mirtova_m, "
        "GENERATE_SUBSCRIPTS(mirtova_l, 1) AS mirtova_i) AS varnok_t_0",
        "JSON_EACH(l) as t_0", "UNNEST(l) as t_0"}},
      {"element_of_lists", [](const Dialect& d) { return opt(d.element_of_lists(1)); },
       {"none", "none", "none", "none",
        "(SELECT ARRAY_AGG(mirtova_e ORDER BY mirtova_o) FROM (SELECT {0} AS mirtova_l, {1} + 1 AS mirtova_i) AS "
        "mirtova_m, UNNEST(CASE WHEN mirtova_i >= 1 THEN mirtova_l[mirtova_i:mirtova_i] END) WITH ORDINALITY AS "
        "mirtova_s(mirtova_e, mirtova_o))",
        "none", "none"}},
      {"names_untyped_fields of one, of two",
       [](const Dialect& d) { return flag(d.names_untyped_fields(1)) + flag(d.names_untyped_fields(2)); },
       {"truetrue", "truetrue", "falsefalse", "falsetrue", "truetrue", "truetrue", "truetrue"}},
      {"null_sought_in_list of numbers, of lists",
       [](const Dialect& d) {
         return opt(d.null_sought_in_list(Type::number())) + opt(d.null_sought_in_list(Type::list(Type::number())));
       },
       {"nonenone", "CAST(null AS DOUBLE)none", "nonenone", "nonenone", "nonenone", "nonenone", "nonenone"}},
      {"record_comparison_form", [](const Dialect& d) { return opt(d.record_comparison_form()); },
       {"none", "none", "none", "none", "to_jsonb(%s)", std::string(kSqliteRecordForm), "none"}},
      {"compares_every_record_in_form", [](const Dialect& d) { return flag(d.compares_every_record_in_form()); },
       {"false", "false", "false", "false", "false", "true", "false"}},
      {"declared_type_reading", [](const Dialect& d) { return opt(d.declared_type_reading()); },
       {"none", "none", "none", "none",
        "(jsonb_populate_record(NULL::{1}, jsonb_build_object('v', to_jsonb({0})))).v", "none", "none"}},
      {"holds_ragged_lists", [](const Dialect& d) { return flag(d.holds_ragged_lists()); },
       {"true", "true", "true", "true", "false", "true", "true"}},
      {"unnests_list_arguments of Unique", [](const Dialect& d) { return flag(d.unnests_list_arguments("Unique")); },
       {"false", "false", "false", "false", "true", "false", "false"}},
      {"unnests_list_arguments of Size", [](const Dialect& d) { return flag(d.unnests_list_arguments("Size")); },
       {"false", "false", "false", "false", "false", "false", "false"}},
      {"searches_rows_of_a_sought_subquery",
       [](const Dialect& d) { return flag(d.searches_rows_of_a_sought_subquery()); },
       {"false", "false", "false", "false", "true", "false", "false"}},
      {"negation_form", [](const Dialect& d) { return std::to_string(static_cast<int>(d.negation_form())); },
       {"0", "1", "0", "2", "0", "0", "0"}},
      {"joins_subqueries_of_aggregated_values",
       [](const Dialect& d) { return flag(d.joins_subqueries_of_aggregated_values()); },
       {"false", "false", "true", "true", "false", "false", "false"}},
      {"aggregates_subqueries_from_rows", [](const Dialect& d) { return flag(d.aggregates_subqueries_from_rows()); },
       {"false", "true", "false", "false", "false", "false", "false"}},
      {"joins_combines_of_columns", [](const Dialect& d) { return flag(d.joins_combines_of_columns()); },
       {"false", "true", "false", "false", "false", "false", "false"}},
      {"unnested_subquery of a sub-query, of a list holding one",
       [](const Dialect& d) {
         return opt(d.unnested_subquery("(SELECT a FROM t)", "x")) + opt(d.unnested_subquery("ARRAY((SELECT 1))", "x"));
       },
       {"nonenone",
        "LATERAL (SELECT a FROM t) AS mirtova_l_x(mirtova_l), LATERAL (SELECT explode(mirtova_l_x.mirtova_l) AS x) "
        "AS varnoknone",
        "nonenone", "nonenone", "nonenone", "nonenone", "nonenone"}},
      {"extreme_record of one field", [](const Dialect& d) { return opt(d.extreme_record({"{0}.a"}, true)); },
       {"none",
        "max_by({0}, CASE WHEN {0} IS NULL THEN NULL ELSE named_struct('n0', ({0}.a) IS NULL, 'v0', {0}.a) END)",
        "element_at(ARRAY_AGG({0} ORDER BY ({0}.a) IS NULL DESC, {0}.a DESC) FILTER (WHERE {0} IS NOT NULL), 1)",
        "element_at(ARRAY_AGG({0} ORDER BY ({0}.a) IS NULL DESC, {0}.a DESC) FILTER (WHERE {0} IS NOT NULL), 1)",
        "none", "none",
        "ARRAY_AGG({0} IGNORE NULLS ORDER BY [({0}.a) IS NULL][OFFSET(0)] DESC, [{0}.a][OFFSET(0)] DESC LIMIT "
        "1)[SAFE_OFFSET(0)]"}},
      {"written_value_as a record, and from a null where a list is",
       [](const Dialect& d) {
         const Type record = Type::closed_record(Type::Fields{{"a", Type::number()}});
         const Type of_list = Type::closed_record(Type::Fields{{"a", Type::list(Type::number())}});
         const Type of_null = Type::closed_record(Type::Fields{{"a", Type::any()}});
         return opt(d.written_value_as("r", of_null, record)) + opt(d.written_value_as("r", of_null, of_list));
       },
       {"nonenone", "nonenone", "CAST(r AS ROW(a double))none", "CAST(r AS ROW(a double))none", "nonenone",
        "nonenone", "nonenone"}},
  };
  // clang-format on
  for (size_t e = 0; e < kEngines.size(); ++e) {
    auto d = dialect(kEngines[e]);
    for (const Row& row : rows) {
      EXPECT_EQ(row.ask(*d), row.answers[e]) << kEngines[e] << " " << row.operation;
    }
  }
}

TEST(DialectsInterfaceTest, OnlyTheSevenNamesAreEngines) {
  const char* const names[] = {"DuckDB", "postgres", " psql", "psql ", "", "sqlite3", "duckdb\n"};
  for (const char* name : names) {
    EXPECT_EQ(engine_named(name), std::nullopt) << name;
    EXPECT_EQ(unsupported_engine_message(name),
              "Unsupported engine '" + std::string(name) +
                  "'. Supported engines: bigquery, sqlite, psql, trino, presto, databricks, "
                  "duckdb.");
  }
  // The name is taken byte for byte, an embedded NUL included.
  EXPECT_EQ(engine_named(std::string_view("duckdb\0x", 8)), std::nullopt);
  EXPECT_EQ(unsupported_engine_message(std::string_view("duckdb\0x", 8)).substr(0, 28),
            std::string("Unsupported engine 'duckdb\0x", 28));
}

TEST(DialectsInterfaceTest, EveryEngineHasItsDialectAndItsName) {
  for (size_t i = 0; i < mirtova::kEngines.size(); ++i) {
    const Engine engine = mirtova::kEngines[i];
    EXPECT_EQ(Dialect::get(engine)->engine(), engine) << engine;
    EXPECT_EQ(engine_name(engine), kSupportedEngines[i]);
    EXPECT_EQ(engine_named(kSupportedEngines[i]), engine) << engine;
  }
}

}  // namespace
}  // namespace mirtova
