#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/dialects/record_types.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

constexpr std::array<const char*, 7> kEngines = {"duckdb", "databricks", "presto",  "trino",
                                                 "psql",   "sqlite",     "bigquery"};

std::unique_ptr<Dialect> dialect(std::string_view engine) { return Dialect::get(engine_of(engine)); }

Type closed(std::initializer_list<std::pair<const std::string, Type>> fields) {
  return Type::closed_record(Type::Fields(fields));
}

const std::string kEmptyRecord = "quorilrecord3476900567878811119";
const std::string kNumberA = "quorilrecord10303692402198018067";

TEST(DialectsRecordsTest, RecordLiterals) {
  struct Row {
    const char* name;
    std::vector<RecordLiteralField> fields;
    std::array<std::string, 7> sql;  // kEngines order
  };
  // clang-format off
  const std::vector<Row> rows = {
      {"no fields",
       {},
       {"{}", "STRUCT()", "CAST(ROW() AS ROW())", "CAST(ROW() AS ROW())", "ROW()::" + kEmptyRecord,
        "JSON_OBJECT()", "STRUCT()"}},
      {"b then a",
       {{"b", "'x'", Type::string()}, {"a", "1", Type::number()}},
       {"{b: 'x', a: 1}", "STRUCT(1 AS a, 'x' AS b)",
        "CAST(ROW(1, 'x') AS ROW(a double, b varchar))",
        "CAST(ROW(1, 'x') AS ROW(a double, b varchar))",
        "ROW(1, 'x')::" + record_type_name(closed({{"a", Type::number()}, {"b", Type::string()}})),
        "JSON_OBJECT('a', 1, 'b', 'x')", "STRUCT('x' AS b, 1 AS a)"}},
      {"reserved field name",
       {{"order", "2", Type::number()}},
       {"{\"order\": 2}", "STRUCT(2 AS `order`)", "CAST(ROW(2) AS ROW(\"order\" double))",
        "CAST(ROW(2) AS ROW(\"order\" double))",
        "ROW(2)::" + record_type_name(closed({{"order", Type::number()}})),
        "JSON_OBJECT('order', 2)", "STRUCT(2 AS `order`)"}},
      // A quote inside a field name stays inside its identifier or key literal.
      {"quotes in field name",
       {{"it's \"q\"", "3", Type::boolean()}},
       {"{\"it's \"\"q\"\"\": 3}", "STRUCT(3 AS `it's \"q\"`)",
        "CAST(ROW(3) AS ROW(\"it's \"\"q\"\"\" boolean))",
        "CAST(ROW(3) AS ROW(\"it's \"\"q\"\"\" boolean))",
        "ROW(3)::" + record_type_name(closed({{"it's \"q\"", Type::boolean()}})),
        "JSON_OBJECT('it''s \"q\"', 3)", "STRUCT(3 AS `it's \"q\"`)"}},
      {"nested list of records",
       {{"xs", "L", Type::list(closed({{"a", Type::number()}}))}},
       {"{xs: L}", "STRUCT(L AS xs)", "CAST(ROW(L) AS ROW(xs array(ROW(a double))))",
        "CAST(ROW(L) AS ROW(xs array(ROW(a double))))",
        "ROW(L)::" + record_type_name(closed({{"xs", Type::list(closed({{"a", Type::number()}}))}})),
        "JSON_OBJECT('xs', L)", "STRUCT(L AS xs)"}},
  };
  // clang-format on
  for (size_t e = 0; e < kEngines.size(); ++e) {
    auto d = dialect(kEngines[e]);
    for (const Row& row : rows) {
      EXPECT_EQ(d->record_literal(row.fields, {}), row.sql[e]) << kEngines[e] << " " << row.name;
    }
  }
}

// A field of a stored column has a type only the engine knows: Trino lets a
// sub-query's columns name and type two or more fields; Trino's record of one
// field and Presto's are ROWs of unnamed fields in the order of their names; the
// other engines write the record as any other.
TEST(DialectsRecordsTest, RecordsOfUntypedFields) {
  const std::vector<RecordLiteralField> two = {{"b", "T.c", Type::any(), false}, {"a", "1", Type::number()}};
  const std::vector<RecordLiteralField> one = {{"b", "T.c", Type::list(Type::any()), false}};
  for (const char* engine : kEngines) {
    auto d = dialect(engine);
    const std::string_view name = engine;
    if (name == "trino" || name == "presto") {
      EXPECT_EQ(d->record_of_untyped_fields(one, {}), "ROW(T.c)") << engine;
    } else {
      EXPECT_EQ(d->record_of_untyped_fields(one, {}), d->record_literal(one, {})) << engine;
    }
    if (name == "trino") {
      EXPECT_EQ(d->record_of_untyped_fields(two, {}), "(SELECT CAST(1 AS double) AS a, T.c AS b)");
      // A sub-query reading the row around is read from the row's FROM, where the engine decorrelates it: a
      // combine's aggregate as it is, a function's value by arbitrary() (it may have no row); a record's row
      // of several columns, or both kinds at once, stay in place.
      const std::string combine = "(SELECT MIN(U.c) AS quoril_value\nFROM U\nWHERE U.d = T.d)";
      const std::string lookup = "(SELECT F.quoril_value FROM F AS F WHERE F.col0 = T.d)";
      const auto with = [](std::string sql) {
        return std::vector<RecordLiteralField>{{"b", "T.c", Type::any(), false},
                                               {"a", std::move(sql), Type::any(), false}};
      };
      EXPECT_EQ(d->record_of_untyped_fields(with("1 + " + combine), {}),
                "(SELECT 1 + mirtova_q0.v AS a, T.c AS b FROM " + combine + " AS mirtova_q0(v))");
      EXPECT_EQ(d->record_of_untyped_fields(with(lookup), {}),
                "(SELECT arbitrary(mirtova_q0.v) AS a, T.c AS b FROM " + lookup + " AS mirtova_q0(v))");
      for (const std::string& kept : {"(SELECT T.c AS x, " + combine + " AS y)", combine + " + " + lookup,
                                      std::string("'(SELECT x FROM y)'"), std::string("(SELECT x FROM y")}) {
        EXPECT_EQ(d->record_of_untyped_fields(with(kept), {}), "(SELECT " + kept + " AS a, T.c AS b)");
      }
    } else if (name == "presto") {
      EXPECT_EQ(d->record_of_untyped_fields(two, {}), "ROW(CAST(1 AS double), T.c)");
    } else {
      EXPECT_EQ(d->record_of_untyped_fields(two, {}), d->record_literal(two, {})) << engine;
    }
  }
}

TEST(DialectsRecordsTest, PsqlRecordTypeNamesFollowTheShape) {
  auto psql = dialect("psql");
  // Field order of the literal does not matter; String, Any and Atomic are all text.
  const std::string ab = psql->record_literal({{"a", "1", Type::number()}, {"b", "2", Type::string()}}, {});
  const std::string ba = psql->record_literal({{"b", "2", Type::any()}, {"a", "1", Type::number()}}, {});
  const std::string atomic =
      psql->record_literal({{"b", "2", Type::atomic()}, {"a", "1", Type::number()}}, {});
  const std::string inferred =
      record_type_name(Type::open_record(Type::Fields{{"a", Type::number()}, {"b", Type::string()}}));
  EXPECT_EQ(ab, "ROW(1, 2)::" + inferred);
  EXPECT_EQ(ba, "ROW(1, 2)::" + inferred);
  EXPECT_EQ(atomic, "ROW(1, 2)::" + inferred);
  // Of two fields with one name the later type wins.
  EXPECT_EQ(psql->record_literal({{"a", "1", Type::string()}, {"a", "2", Type::number()}}, {}),
            "ROW(1, 2)::" + kNumberA);
  // A name the caller has worked out is taken as it is.
  EXPECT_EQ(psql->record_literal({{"a", "1", Type::number()}}, "quorilrecord7"), "ROW(1)::quorilrecord7");
  EXPECT_NE(psql->record_literal({{"a", "1", Type::boolean()}}, {}),
            psql->record_literal({{"a", "1", Type::number()}}, {}));
}

// A value of undetermined type read from a host table's column.
Type read_from(std::string table, std::string column, Type type = Type::any()) {
  type.set_origin(
      std::make_shared<const ColumnOrigin>(ColumnOrigin{std::move(table), std::move(column), false, {}}));
  return type;
}

TEST(DialectsRecordsTest, PsqlColumnsAndTypeNames) {
  struct Row {
    const char* name;
    Type type;
    std::string columns;
    std::string type_name;  // empty: not pinned
  };
  const Type a_number = closed({{"a", Type::number()}});
  Type several = Type::any();
  several.set_origin(std::make_shared<const ColumnOrigin>(ColumnOrigin{{}, {}, true, {}}));
  // clang-format off
  const Row rows[] = {
      {"single number", a_number, "\"a\" numeric", kNumberA},
      {"open record same name", Type::open_record(Type::Fields{{"a", Type::number()}}),
       "\"a\" numeric", kNumberA},
      {"empty record", closed({}), "", kEmptyRecord},
      {"not a record", Type::number(), "", kEmptyRecord},
      {"list is not a record", Type::list(a_number), "", kEmptyRecord},
      {"all kinds sorted",
       closed({{"s", Type::string()}, {"b", Type::boolean()}, {"Z", Type::any()},
               {"l", Type::list(Type::list(Type::number()))}, {"t", Type::atomic()}}),
       "\"Z\" text, \"b\" boolean, \"l\" numeric[][], \"s\" text, \"t\" text", ""},
      {"nested record", closed({{"r", a_number}, {"rs", Type::list(a_number)}}),
       "\"r\" " + kNumberA + ", \"rs\" " + kNumberA + "[]", ""},
      {"quote in name", closed({{"a\"b", Type::number()}}), "\"a\"\"b\" numeric", ""},
      // A host column stands in for its type; a plain name is the catalogue's
      // lower-case one, as PostgreSQL folds it.
      {"read from a host column", closed({{"a", read_from("\"T\"", "col0")}, {"n", Type::number()}}),
       "\"a\" \"T\".\"col0\"%TYPE, \"n\" numeric", ""},
      {"list read from a host column", closed({{"l", Type::list(read_from("\"s\".\"T\"", "Amount", Type::atomic()))}}),
       "\"l\" \"s\".\"T\".\"amount\"%TYPE[]", ""},
      {"quoted host column", closed({{"a", read_from("\"T\"", "`Select`")}}), "\"a\" \"T\".\"Select\"%TYPE", ""},
      {"several sources", closed({{"a", several}}), "\"a\" text", record_type_name(closed({{"a", Type::any()}}))},
  };
  // clang-format on
  for (const Row& row : rows) {
    EXPECT_EQ(psql_record_columns(row.type), row.columns) << row.name;
    EXPECT_EQ(record_type_name(row.type).rfind("quorilrecord", 0), 0u) << row.name;
    if (!row.type_name.empty()) {
      EXPECT_EQ(record_type_name(row.type), row.type_name) << row.name;
    }
  }
}

TEST(DialectsRecordsTest, FieldsAndSqlTypes) {
  struct Row {
    const char* operation;
    std::function<std::string(const Dialect&)> ask;
    std::array<std::string, 7> answers;  // kEngines order
  };
  const Type list_of_lists = Type::list(Type::list(Type::number()));
  const Type a_number = closed({{"a", Type::number()}});
  // clang-format off
  const std::vector<Row> rows = {
      {"record_field(*)", [](const Dialect& d) { return d.record_field("*"); },
       {"*", "*", "*", "*", "*", "*", "*"}},
      {"record_field(plain)", [](const Dialect& d) { return d.record_field("plain_1"); },
       {"plain_1", "plain_1", "plain_1", "plain_1", "plain_1", "plain_1", "plain_1"}},
      {"record_field(oRdEr)", [](const Dialect& d) { return d.record_field("oRdEr"); },
       {"\"oRdEr\"", "`oRdEr`", "\"oRdEr\"", "\"oRdEr\"", "\"oRdEr\"", "oRdEr", "`oRdEr`"}},
      {"record_field(empty)", [](const Dialect& d) { return d.record_field(""); },
       {"\"\"", "``", "\"\"", "\"\"", "\"\"", "", "``"}},
      {"scalar_sql_type(number)", [](const Dialect& d) { return d.scalar_sql_type(Type::number()); },
       {"double", "double", "double", "double", "numeric", "double", "double"}},
      {"scalar_sql_type(bool)", [](const Dialect& d) { return d.scalar_sql_type(Type::boolean()); },
       {"boolean", "boolean", "boolean", "boolean", "boolean", "boolean", "boolean"}},
      {"scalar_sql_type(any)", [](const Dialect& d) { return d.scalar_sql_type(Type::any()); },
       {"varchar", "string", "varchar", "varchar", "text", "varchar", "varchar"}},
      {"scalar_sql_type(atomic)", [](const Dialect& d) { return d.scalar_sql_type(Type::atomic()); },
       {"varchar", "string", "varchar", "varchar", "text", "varchar", "varchar"}},
      {"scalar_sql_type([[number]])",
       [&](const Dialect& d) { return d.scalar_sql_type(list_of_lists); },
       {"array(array(double))", "array(array(double))", "array(array(double))",
        "array(array(double))", "numeric[][]", "array(array(double))", "array(array(double))"}},
      {"scalar_sql_type(record)", [&](const Dialect& d) { return d.scalar_sql_type(a_number); },
       {"varchar", "string", "varchar", "varchar", "text", "varchar", "varchar"}},
      {"row_field_type([{a: number}])",
       [&](const Dialect& d) { return d.row_field_type(Type::list(a_number)); },
       {"array(ROW(a double))", "array(ROW(a double))", "array(ROW(a double))",
        "array(ROW(a double))", "array(ROW(a numeric))", "array(ROW(a double))",
        "array(ROW(a double))"}},
      {"row_field_type([number])",
       [](const Dialect& d) { return d.row_field_type(Type::list(Type::number())); },
       {"array(double)", "array(double)", "array(double)", "array(double)", "numeric[]",
        "array(double)", "array(double)"}},
      {"row_field_type([[string]])",
       [](const Dialect& d) { return d.row_field_type(Type::list(Type::list(Type::string()))); },
       {"array(array(varchar))", "array(array(string))", "array(array(varchar))",
        "array(array(varchar))", "array(text[])", "array(array(varchar))",
        "array(array(varchar))"}},
      {"row_field_type({b: bool, select: string})",
       [](const Dialect& d) {
         return d.row_field_type(closed({{"select", Type::string()}, {"b", Type::boolean()}}));
       },
       {"ROW(b boolean, \"select\" varchar)", "ROW(b boolean, `select` string)",
        "ROW(b boolean, \"select\" varchar)", "ROW(b boolean, \"select\" varchar)",
        "ROW(b boolean, \"select\" text)", "ROW(b boolean, select varchar)",
        "ROW(b boolean, `select` varchar)"}},
      {"typed_array(null, number)",
       [](const Dialect& d) { return d.typed_array("null", Type::number()).value_or("none"); },
       {"none", "CAST(null AS ARRAY<DOUBLE>)", "none", "none", "CAST(null AS numeric[])", "none",
        "none"}},
      {"typed_array(null, string)",
       [](const Dialect& d) { return d.typed_array("null", Type::string()).value_or("none"); },
       {"none", "CAST(null AS ARRAY<STRING>)", "none", "none", "CAST(null AS text[])", "none",
        "none"}},
      {"typed_array(null, bool)",
       [](const Dialect& d) { return d.typed_array("null", Type::boolean()).value_or("none"); },
       {"none", "CAST(null AS ARRAY<BOOLEAN>)", "none", "none", "CAST(null AS bool[])", "none",
        "none"}},
      {"typed_array(NULL, number)",
       [](const Dialect& d) { return d.typed_array("NULL", Type::number()).value_or("none"); },
       {"none", "none", "none", "none", "CAST(NULL AS numeric[])", "none", "none"}},
      {"typed_array(empty, number)",
       [](const Dialect& d) {
         return d.typed_array(d.empty_array_literal(), Type::number()).value_or("none");
       },
       {"none", "none", "none", "none", "CAST('{}' AS numeric[])", "none", "none"}},
      // PostgreSQL names the composite type of a record's shape.
      {"typed_array(null, record)",
       [&](const Dialect& d) { return d.typed_array("null", a_number).value_or("none"); },
       {"none", "none", "none", "none", "CAST(null AS quorilrecord10303692402198018067[])", "none", "none"}},
      {"typed_array(null, any)",
       [](const Dialect& d) { return d.typed_array("null", Type::any()).value_or("none"); },
       {"none", "none", "none", "none", "none", "none", "none"}},
  };
  // clang-format on
  for (size_t e = 0; e < kEngines.size(); ++e) {
    auto d = dialect(kEngines[e]);
    for (const Row& row : rows) {
      EXPECT_EQ(row.ask(*d), row.answers[e]) << kEngines[e] << " " << row.operation;
    }
  }
}

}  // namespace
}  // namespace mirtova
