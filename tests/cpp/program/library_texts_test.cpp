#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/dialects/library/library_program.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

// Every statement of every library program, each on one line: a line break and
// the indentation after it stand as one blank.
const std::vector<std::string> kDuckDb = {
    R"s(->(left:, right:) = {arg: left, value: right};)s",
    R"s(`=`(left:, right:) = right :- left == right;)s",
    R"s(Arrow(left, right) = arrow :- left == arrow.arg, right == arrow.value;)s",
    R"s(ArgMin(arr) = SqlExpr( "arg_min_null({a}, {v})", {a: arr.arg, v: arr.value});)s",
    R"s(ArgMax(arr) = SqlExpr( "arg_max_null({a}, {v})", {a: arr.arg, v: arr.value});)s",
    R"s(ArgMaxK(a, l) = SqlExpr( "(array_agg({arg_1} order by {value_1} desc))[1:{lim}]", {arg_1: a.arg, value_1: a.value, lim: l});)s",
    R"s(ArgMinK(a, l) = SqlExpr( "(array_agg({arg_1} order by {value_1}))[1:{lim}]", {arg_1: a.arg, value_1: a.value, lim: l});)s",
    R"s(Array(a) = SqlExpr( "ARRAY_AGG({value} order by COALESCE({arg}, NULL))", {arg: a.arg, value: a.value});)s",
    R"s(RecordAsJson(r) = SqlExpr( "ROW_TO_JSON({r})", {r:});)s",
    R"s(Fingerprint(s) = NaturalHash(s);)s",
    R"s(Chr(x) = SqlExpr("Chr(cast({x} as integer))", {x:});)s",
    R"s(Ord(x) = SqlExpr("Ord({x})", {x:});)s",
    R"s(Num(a) = a;)s",
    R"s(Str(a) = a;)s",
    R"s(Epoch(a) = epoch :- epoch = SqlExpr("epoch_ns({a})", {a:}) / 1000000000, a ~ Time, epoch ~ Num;)s",
    R"s(TimeDiffSeconds(a, b) = Epoch(SqlExpr("{a} - {b}", {a:, b:}));)s",
    R"s(ToTime(a) = SqlExpr("cast({a} as timestamp)", {a:});)s",
    R"s(NaturalHash(x) = ToInt64(SqlExpr("hash(cast({x} as string)) // cast(2 as ubigint)", {x:}));)s",
    R"s(UnsafeToUseUniqueNumber() = SqlExpr("nextval('eternal_logical_sequence')", {});)s",
    R"s(UniqueNumber() = SqlExpr("nextval('eternal_logical_sequence')", {});)s",
    R"s(MergeList(e) = SqlExpr("flatten(array_agg({e}))", {e:});)s",
    R"s(ProverChoice(slot, options:) = options[i] :- i = NaturalHash("ProverChoice-" ++ ToString(UniqueNumber())) % Size(options);)s",
};

const std::vector<std::string> kDatabricks = {
    R"s(->(left:, right:) = {arg: left, value: right};)s",
    R"s(ArgMin(a) = SqlExpr( "TRY_ELEMENT_AT(SORT_ARRAY(COLLECT_LIST(CASE WHEN {value} IS NOT NULL THEN STRUCT({value} AS value, {arg} AS arg) END)), 1).arg", {arg: a.arg, value: a.value});)s",
    R"s(ArgMax(a) = SqlExpr( "TRY_ELEMENT_AT(SORT_ARRAY(COLLECT_LIST(CASE WHEN {value} IS NOT NULL THEN STRUCT({value} AS value, {arg} AS arg) END), false), 1).arg", {arg: a.arg, value: a.value});)s",
    R"s(ArgMaxK(a, l) = SqlExpr( "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE SLICE(SORT_ARRAY(COLLECT_LIST(CASE WHEN {value} IS NOT NULL THEN STRUCT({value} AS value, {arg} AS arg) END), false), 1, {lim}).arg END)", {arg: a.arg, value: a.value, lim: l});)s",
    R"s(ArgMinK(a, l) = SqlExpr( "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE SLICE(SORT_ARRAY(COLLECT_LIST(CASE WHEN {value} IS NOT NULL THEN STRUCT({value} AS value, {arg} AS arg) END)), 1, {lim}).arg END)", {arg: a.arg, value: a.value, lim: l});)s",
    R"s(RMatch(s, p) = SqlExpr( "REGEXP_LIKE({s}, {p})", {s: s, p: p});)s",
    R"s(RExtract(s, p, g) = SqlExpr( "(CASE WHEN {s} RLIKE {p} THEN REGEXP_EXTRACT({s}, {p}, {g}) END)", {s: s, p: p, g: g});)s",
    R"s(Array(a) = SqlExpr( "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE SORT_ARRAY(COLLECT_LIST(STRUCT({arg} IS NULL AS unknown, {arg} AS arg, {value} AS value))).value END)", {arg: a.arg, value: a.value});)s",
};

const std::vector<std::string> kPrestoTrino = {
    R"s(->(left:, right:) = {arg: left, value: right};)s",
    R"s(`=`(left:, right:) = right :- left == right;)s",
    R"s(ArgMin(a) = SqlExpr("(ARRAY_AGG({arg} order by {value}))[1]", {arg: a.arg, value: a.value});)s",
    R"s(ArgMax(a) = SqlExpr( "(ARRAY_AGG({arg} order by {value} desc))[1]", {arg: a.arg, value: a.value});)s",
    R"s(ArgMaxK(a, l) = SqlExpr( "SLICE(ARRAY_AGG({arg} order by {value} desc) FILTER (WHERE true), 1, {lim})", {arg: a.arg, value: a.value, lim: l});)s",
    R"s(ArgMinK(a, l) = SqlExpr( "SLICE(ARRAY_AGG({arg} order by {value}) FILTER (WHERE true), 1, {lim})", {arg: a.arg, value: a.value, lim: l});)s",
    R"s(Array(a) = SqlExpr( "ARRAY_AGG({value} order by {arg}) FILTER (WHERE true)", {arg: a.arg, value: a.value});)s",
};

const std::vector<std::string> kPsql = {
    R"s(->(left:, right:) = {arg: left, value: right};)s",
    R"s(`=`(left:, right:) = right :- left == right;)s",
    R"s(ArgMin(a) = SqlExpr("(ARRAY_AGG({w} order by {value} nulls last))[1]", {w: {v: a.arg}, value: a.value}).v;)s",
    R"s(ArgMax(a) = SqlExpr( "(ARRAY_AGG({w} order by {value} desc nulls last))[1]", {w: {v: a.arg}, value: a.value}).v;)s",
    R"s(ArgMaxK(a, l) = SqlExpr( "(ARRAY_AGG(COALESCE({arg}, NULL) order by {value} desc nulls last))[1:{lim}]", {arg: a.arg, value: a.value, lim: l});)s",
    R"s(ArgMinK(a, l) = SqlExpr( "(ARRAY_AGG(COALESCE({arg}, NULL) order by {value}))[1:{lim}]", {arg: a.arg, value: a.value, lim: l});)s",
    R"s(Array(a) = SqlExpr( "ARRAY_AGG(COALESCE({value}, NULL) order by {arg})", {arg: a.arg, value: a.value});)s",
    R"s(RecordAsJson(r) = SqlExpr( "ROW_TO_JSON({r})", {r:});)s",
    R"s(Fingerprint(s) = SqlExpr("('x' || substr(md5({s}), 1, 16))::bit(64)::bigint", {s:});)s",
    R"s(Chr(x) = SqlExpr("Chr(CAST({x} AS INTEGER))", {x:});)s",
    R"s(Num(a) = a;)s",
    R"s(Str(a) = a;)s",
};

const std::vector<std::string> kSqlite = {
    R"s(->(left:, right:) = {arg: left, value: right};)s",
    R"s(`=`(left:, right:) = right :- left == right;)s",
    R"s(Arrow(left, right) = arrow :- left == arrow.arg, right == arrow.value;)s",
    R"s(ArgMin(arr) = Element( SqlExpr("ArgMin({a}, {v}, 1)", {a:, v:}), 0) :- Arrow(a, v) == arr;)s",
    R"s(ArgMax(arr) = Element( SqlExpr("ArgMax({a}, {v}, 1)", {a:, v:}), 0) :- Arrow(a, v) == arr;)s",
    R"s(ArgMinK(arr, k) = SqlExpr("ArgMin({a}, {v}, {k})", {a:, v:, k:}) :- Arrow(a, v) == arr;)s",
    R"s(ArgMaxK(arr, k) = SqlExpr("ArgMax({a}, {v}, {k})", {a:, v:, k:}) :- Arrow(a, v) == arr;)s",
    R"s(Array(arr) = SqlExpr("ArgMin({v}, {a}, null)", {a:, v:}) :- Arrow(a, v) == arr;)s",
    R"s(Fingerprint(s) = SqlExpr("Fingerprint({s})", {s:});)s",
    R"s(AssembleRecord(field_values) = SqlExpr("AssembleRecord({field_values})", {field_values:});)s",
    R"s(DisassembleRecord(record) = SqlExpr("DisassembleRecord({record})", {record:});)s",
    R"s(Char(code) = SqlExpr("CHAR({code})", {code:});)s",
};

const std::vector<std::string> kBigQuery = {
    R"s(->(left:, right:) = {arg: left, value: right};)s",
    R"s(`=`(left:, right:) = right :- left == right;)s",
    R"s(ArgMin(a) = SqlExpr( "ARRAY_AGG({arg} order by [({value}) is null][offset(0)], [{value}][offset(0)] limit 1)[OFFSET(0)]", {arg: a.arg, value: a.value});)s",
    R"s(ArgMax(a) = SqlExpr( "ARRAY_AGG({arg} order by  [{value}][offset(0)] desc limit 1)[OFFSET(0)]", {arg: a.arg, value: a.value});)s",
    R"s(ArgMaxK(a, l) = SqlExpr( "ARRAY_AGG({arg} order by  [{value}][offset(0)] desc limit {lim})", {arg: a.arg, value: a.value, lim: l});)s",
    R"s(ArgMinK(a, l) = SqlExpr( "ARRAY_AGG({arg} order by [({value}) is null][offset(0)], [{value}][offset(0)] limit {lim})", {arg: a.arg, value: a.value, lim: l});)s",
    R"s(Array(a) = SqlExpr( "ARRAY_AGG({value} order by [({arg}) is null][offset(0)], [{arg}][offset(0)])", {arg: a.arg, value: a.value});)s",
};
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t at = 0;
  for (size_t end; (end = text.find('\n', at)) != std::string_view::npos; at = end + 1)
    lines.push_back(text.substr(at, end - at));
  lines.push_back(text.substr(at));
  return lines;
}

// Drops comment lines, cuts the text at each ";" outside quotes and backquotes,
// and folds each line break with its indentation into one blank.
std::vector<std::string> statements_of(std::string_view text) {
  std::string code;
  for (std::string_view line : lines_of(text)) {
    if (!line.empty() && line[0] == '#') continue;
    code += line;
    code += '\n';
  }
  std::vector<std::string> statements;
  std::string current;
  char quote = 0;
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == '\n') {
      while (i + 1 < code.size() && code[i + 1] == ' ') ++i;
      if (!current.empty()) current += ' ';
      continue;
    }
    current += c;
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '`') {
      quote = c;
    } else if (c == ';') {
      statements.push_back(current);
      current.clear();
    }
  }
  if (!current.empty()) statements.push_back(current);  // a text not ended by ";"
  return statements;
}

size_t comment_lines(std::string_view text) {
  size_t count = 0;
  for (std::string_view line : lines_of(text))
    if (!line.empty() && line[0] == '#') ++count;
  return count;
}

struct EngineText {
  std::string engine;
  const std::vector<std::string>* statements;
  size_t length;
  size_t comments;
};

// clang-format off
const std::vector<EngineText> kEngines = {
    {"duckdb", &kDuckDb, 2326, 13},   {"databricks", &kDatabricks, 1743, 7},
    {"presto", &kPrestoTrino, 818, 2}, {"trino", &kPrestoTrino, 818, 2},
    {"psql", &kPsql, 1107, 2},         {"sqlite", &kSqlite, 907, 0},
    {"bigquery", &kBigQuery, 1025, 4},
};
// clang-format on

TEST(LibraryTextTest, StatementsMatchByteForByte) {
  for (const EngineText& e : kEngines) {
    std::string_view text = library_program_text(engine_of(e.engine));
    std::vector<std::string> got = statements_of(text);
    ASSERT_EQ(got.size(), e.statements->size()) << e.engine;
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(got[i], (*e.statements)[i]) << e.engine << " statement " << i + 1;
  }
}

TEST(LibraryTextTest, Layout) {
  for (const EngineText& e : kEngines) {
    std::string_view text = library_program_text(engine_of(e.engine));
    EXPECT_EQ(text.size(), e.length) << e.engine;
    ASSERT_FALSE(text.empty()) << e.engine;
    EXPECT_EQ(text.front(), '\n') << e.engine;
    EXPECT_EQ(comment_lines(text), e.comments) << e.engine;
    EXPECT_EQ(text.find('\t'), std::string_view::npos) << e.engine;
    EXPECT_EQ(text.find(" \n"), std::string_view::npos) << e.engine;
  }
}

TEST(LibraryTextTest, PrestoAndTrinoShareOneText) {
  EXPECT_EQ(library_program_text(Engine::kPresto), library_program_text(Engine::kTrino));
}

TEST(LibraryTextTest, EqualityIsNotDefinedOnDatabricks) {
  for (const EngineText& e : kEngines) {
    bool defines = library_program_text(engine_of(e.engine)).find("`=`(") != std::string_view::npos;
    EXPECT_EQ(defines, e.engine != "databricks") << e.engine;
  }
}

TEST(LibraryTextTest, EachDialectReturnsItsText) {
  for (const EngineText& e : kEngines) {
    auto dialect = Dialect::get(engine_of(e.engine));
    EXPECT_EQ(dialect->library_program(), library_program_text(engine_of(e.engine))) << e.engine;
    EXPECT_EQ(dialect->library_program().size(), e.length) << e.engine;
  }
}

}  // namespace
}  // namespace mirtova
