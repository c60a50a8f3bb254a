// The SQLite dialect (engine "sqlite"); its SQL calls functions the host registers.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <deque>
#include <map>
#include <set>

#include "compiler/dialects/engine_dialects.h"
#include "compiler/dialects/float_literal.h"
#include "compiler/dialects/number_text.h"
#include "compiler/dialects/quoting.h"
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

namespace {

// A place "{n}" of a template, or one "{n:words}" that a keyword fills.
struct Place {
  size_t index = 0;
  size_t at = 0;
  size_t length = 0;
  bool keyword = false;
  // Whether it stands inside a sub-query, or inside more parentheses than
  // kDeepestInPlace: there it costs the parser more than the WITH that
  // reads it once.
  bool deep = false;
};

constexpr size_t kDeepestInPlace = 3;

// Whether the parenthesis at `at` opens a sub-query.
bool opens_query(std::string_view tmpl, size_t at) {
  size_t i = at + 1;
  while (i < tmpl.size() && tmpl[i] == ' ') ++i;
  for (std::string_view word : {std::string_view("SELECT"), std::string_view("WITH")}) {
    if (tmpl.size() - i < word.size()) continue;
    bool same = true;
    for (size_t k = 0; same && k < word.size(); ++k) same = (tmpl[i + k] & ~0x20) == word[k];
    if (same) return true;
  }
  return false;
}

std::vector<Place> places_of(std::string_view tmpl) {
  std::vector<Place> places;
  // For each parenthesis open, whether it opens a sub-query.
  std::vector<bool> open;
  size_t queries = 0;
  size_t counted = 0;
  bool quoted = false;
  for (size_t at = tmpl.find('{'); at != std::string_view::npos; at = tmpl.find('{', at + 1)) {
    for (; counted < at; ++counted) {
      const char c = tmpl[counted];
      if (c == '\'') quoted = !quoted;
      if (quoted) continue;
      if (c == '(') {
        open.push_back(opens_query(tmpl, counted));
        queries += open.back() ? 1 : 0;
      }
      if (c == ')' && !open.empty()) {
        queries -= open.back() ? 1 : 0;
        open.pop_back();
      }
    }
    if (quoted) continue;
    const bool deep = queries > 0 || open.size() > kDeepestInPlace;
    size_t i = at + 1;
    size_t index = 0;
    while (i < tmpl.size() && tmpl[i] >= '0' && tmpl[i] <= '9' && index < 1000) {
      index = index * 10 + static_cast<size_t>(tmpl[i] - '0');
      ++i;
    }
    if (i == at + 1 || i >= tmpl.size() || (tmpl[i] != '}' && tmpl[i] != ':')) continue;
    if (tmpl[i] == '}') {
      places.push_back({index, at, i + 1 - at, false, deep});
    } else {
      const size_t close = tmpl.find('}', i);
      if (close == std::string_view::npos) break;
      places.push_back({index, at, close + 1 - at, true, deep});
      at = close;
    }
  }
  return places;
}

// The template of a function that writes an argument more than once, or deep
// inside it (see Place), with every argument read once, in a WITH of its own:
// nested in itself, it would otherwise write its innermost argument a power
// of the depth of times. The engine's parser holds 100 entries on its stack;
// an argument left in the body adds the body's own depth to each level, and a
// WITH of VALUES costs fewer entries a level than a sub-query. Empty when no
// argument is written twice or deep. A keyword is no value: it stays.
std::string read_once(std::string_view tmpl) {
  const std::vector<Place> places = places_of(tmpl);
  std::map<size_t, size_t> uses;
  std::set<size_t> keywords;
  for (const Place& place : places) {
    if (place.keyword) {
      keywords.insert(place.index);
    } else {
      ++uses[place.index];
    }
  }
  std::set<size_t> bound;
  bool read_apart = false;
  for (const auto& [index, count] : uses) {
    if (keywords.contains(index)) continue;
    bound.insert(index);
    read_apart = read_apart || count > 1;
  }
  for (const Place& place : places) read_apart = read_apart || (!place.keyword && place.deep);
  if (!read_apart) return "";
  std::string columns;
  std::string values;
  for (size_t index : bound) {
    columns += (columns.empty() ? "" : ", ") + std::string("mirtova_a") + std::to_string(index);
    values += (values.empty() ? "" : ", ") + std::string("{") + std::to_string(index) + "}";
  }
  std::string body;
  size_t from = 0;
  for (const Place& place : places) {
    if (place.keyword || !bound.contains(place.index)) continue;
    body.append(tmpl.substr(from, place.at - from));
    body += "mirtova_a" + std::to_string(place.index);
    from = place.at + place.length;
  }
  body.append(tmpl.substr(from));
  return "(WITH mirtova_once(" + columns + ") AS (VALUES (" + values + ")) SELECT " + body +
         " FROM mirtova_once)";
}

// The rows with their templates made by read_once where it changes them,
// built once: a row's texts outlive every call.
class ReadOnceRows {
 public:
  ReadOnceRows(TemplateRows rows, const std::set<std::string_view>& keep) {
    for (TemplateRow& row : rows) {
      if (keep.contains(row.name)) continue;
      std::string once = read_once(row.sql);
      if (once.empty()) continue;
      row.sql = texts_.emplace_back(std::move(once));
    }
    rows_ = std::move(rows);
  }
  const TemplateRows& rows() const { return rows_; }

 private:
  std::deque<std::string> texts_;
  TemplateRows rows_;
};

// The functions whose arguments are left where the template writes them: an
// aggregate's, read in each row of its group, and Element's, whose list is an
// aggregate's in the library's ArgMin and ArgMax (a sub-query that reads an
// aggregate of the query around it refuses it in its FROM); and the truncations
// of a timestamp, whose SQL alone all but fills the parser's stack.
std::set<std::string_view> kept_in_place() {
  std::set<std::string_view> names{"Element", "DatetimeTrunc", "TimestampTrunc"};
  for (const TemplateRow& row : sqlite_aggregate_rows()) names.insert(row.name);
  return names;
}

class SqLiteDialect final : public Dialect {
 public:
  Engine engine() const override { return Engine::kSqlite; }
  TemplateRows built_in_functions() const override {
    static const ReadOnceRows rows(Dialect::built_in_functions(), kept_in_place());
    return rows.rows();
  }
  TemplateRows infix_operators() const override {
    static const ReadOnceRows rows(Dialect::infix_operators(), std::set<std::string_view>{});
    return rows.rows();
  }
  bool format_needs_expansion() const override { return false; }
  // printf writes a missing value as the empty text.
  bool null_guarded_format() const override { return true; }
  // A value that is more than a name or a literal is read once, by a
  // sub-query, for the test and the call: a guarded call in another would
  // otherwise be written twice at each level.
  std::string null_guarded_call(
      const std::vector<std::string>& values,
      const std::function<std::string(const std::vector<std::string>&)>& fill) const override {
    std::vector<std::string> read = values;
    std::string columns;
    std::string bound;
    for (size_t i = 0; i < values.size(); ++i) {
      if (values[i].find('(') == std::string::npos) continue;
      read[i] = "mirtova_f" + std::to_string(i);
      columns += (columns.empty() ? "" : ", ") + read[i];
      bound += (bound.empty() ? "" : ", ") + values[i];
    }
    std::string guarded = Dialect::null_guarded_call(read, fill);
    if (columns.empty()) return guarded;
    return "(WITH mirtova_once(" + columns + ") AS (VALUES (" + bound + ")) SELECT " + guarded +
           " FROM mirtova_once)";
  }
  bool nulls_first_by_default(bool descending) const override { return !descending; }
  std::optional<std::string_view> int64_of_text() const override { return "CAST({0} AS INTEGER)"; }
  std::optional<std::string> number_to_string() const override { return std::string(sqlite_number_text()); }
  std::string_view bind_value() const override {
    return "(WITH mirtova_once(mirtova_v) AS (VALUES ({0})) SELECT {body} FROM mirtova_once)";
  }
  bool null_guarded_least_greatest() const override { return false; }
  // Two brackets a level, nested arithmetic overflowed the parser's stack at
  // about twenty levels.
  bool brackets_bracketed_operands() const override { return false; }
  std::string_view double_type() const override { return "REAL"; }
  // Booleans are the integers 1 and 0 in this engine.
  std::optional<std::string_view> boolean_to_string() const override {
    return "(CASE {0} WHEN 1 THEN 'true' WHEN 0 THEN 'false' END)";
  }
  std::string_view unnest_phrase() const override { return "JSON_EACH({0}) as {1}"; }
  std::string_view array_phrase() const override { return "JSON_ARRAY(%s)"; }
  int group_by_spec_by() const override { return 2; }
  bool writes_date_formats() const override { return true; }

  // Records are JSON objects: a table row's column is a plain dotted name, a
  // record value's field is read out of the JSON text. The path is a double-quoted
  // token, so a double quote inside a (backquoted) field name is doubled.
  std::string subscript(std::string_view record, std::string_view field, bool row) const override {
    if (row) return std::string(record) + "." + record_field(field);
    // A key that is not a plain name is written in the path's own double quotes.
    std::string key = record_field(field);
    if (!is_plain_identifier(key)) key = quoted_doubling(key, '"');
    return "JSON_EXTRACT(" + std::string(record) + ", " + quoted_doubling("$." + key, '"') + ")";
  }

  // A JSON key needs no quoting of its own; backquotes only mark the name in the program.
  std::string record_field(std::string_view name) const override { return std::string(unquoted_name(name)); }

  std::string float_literal(std::string_view text) const override { return sqlite_float_literal(text); }

  // The keys are text literals, so a quote inside a (backquoted) field name is
  // doubled like any other literal's.
  // A record is its JSON text wherever rows are told apart by value (DISTINCT,
  // GROUP BY, COUNT(DISTINCT ...)): its keys are written in one order, that of
  // their bytes, so that one record written with its fields in two orders is
  // one value.
  std::string record_literal(const std::vector<RecordLiteralField>& fields, std::string_view) const override {
    std::vector<const RecordLiteralField*> sorted;
    for (const RecordLiteralField& field : fields) sorted.push_back(&field);
    std::stable_sort(
        sorted.begin(), sorted.end(),
        [](const RecordLiteralField* a, const RecordLiteralField* b) { return a->name < b->name; });
    std::string out = "JSON_OBJECT(";
    for (size_t i = 0; i < sorted.size(); ++i) {
      if (i > 0) out += ", ";
      const RecordLiteralField& field = *sorted[i];
      out += single_quoted_literal(record_field(field.name)) + ", " +
             (field.typed && field.type.is_number() ? json_number(field.sql) : field.sql);
    }
    return out + ")";
  }

  // A list is its JSON text as a record is.
  std::string list_item(std::string sql, const Type& type) const override {
    return type.is_number() ? json_number(sql) : sql;
  }

  // Rows are told apart by the record's text, where 1.0 is spelled apart from
  // 1: a whole number of a field is written as an integer. The engine writes
  // a real into JSON with 15 significant digits, which 0.1 + 0.2 does not
  // survive: a real that needs more is written, as JSON of its own, with the
  // fewest digits that read back as it. A sub-query is left as it is, not to
  // be run many times over; so is a long expression, whose copies would each
  // hold the copies of the numbers inside it, a dozen to a level of nesting.
  static constexpr size_t kMostRepeated = 256;
  static std::string json_number(const std::string& sql) {
    double value = 0;
    auto [end, ec] = std::from_chars(sql.data(), sql.data() + sql.size(), value);
    if (ec == std::errc() && end == sql.data() + sql.size()) {
      constexpr double kExact = 9007199254740992.0;  // 2^53
      // An integer is written as it stands: read as a real, one past 2^53
      // would be rounded.
      if (sql.find_first_of(".eE") == std::string::npos) return sql;
      if (value == std::trunc(value) && std::fabs(value) <= kExact)
        return std::to_string(static_cast<int64_t>(value));
      // The shortest text that reads back as the value; a whole one past 2^53
      // with its exponent, not to be read as an integer.
      char text[64];
      auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
      if (written.ec != std::errc() || significant_digits(std::string_view(text, written.ptr)) <= 15)
        return sql;
      std::string shortest(text, written.ptr);
      written = std::to_chars(text, text + sizeof text, value);
      if (written.ec == std::errc() &&
          std::string_view(text, written.ptr).find_first_of(".e") != std::string::npos)
        shortest.assign(text, written.ptr);
      return "JSON('" + shortest + "')";
    }
    if (sql.size() > kMostRepeated || sql.find("SELECT") != std::string::npos) return sql;
    // The value is named once, in a sub-query the engine may not merge into
    // the test below: merged, a record built from one read of the step before
    // (a recursion unrolled) would hold the copies of every step before it,
    // a dozen times more per step.
    const std::string v = "mirtova_n";
    // Of the fewest digits that read back as the real, as a literal is
    // written; an infinity, which the engine would write as Inf, no JSON, as
    // the JSON number that reads back as it.
    return "(SELECT CASE WHEN " + v + " = CAST(" + v + " AS INTEGER) THEN CAST(" + v +
           " AS INTEGER) WHEN TYPEOF(" + v + ") <> 'real' OR CAST(PRINTF('%!.15g', " + v +
           ") AS REAL) = " + v + " THEN " + v + " WHEN ABS(" + v + ") = 9e999 THEN JSON(IIF(" + v +
           " > 0, '9e999', '-9e999')) WHEN CAST(PRINTF('%!.16g', " + v + ") AS REAL) = " + v +
           " THEN JSON(PRINTF('%!.16g', " + v + ")) ELSE JSON(PRINTF('%!.17g', " + v +
           ")) END FROM (SELECT (" + sql + ") AS " + v + " LIMIT -1 OFFSET 0))";
  }

  // The digits of a number's text, from the first one not zero to the
  // exponent.
  static size_t significant_digits(std::string_view text) {
    text = text.substr(0, text.find_first_of("eE"));
    size_t count = 0;
    bool leading = true;
    for (char c : text) {
      if (c < '0' || c > '9' || (leading && c == '0')) continue;
      leading = false;
      ++count;
    }
    return count;
  }

  // A record's JSON text compares as the sorted list of its leaves, each path
  // with its value: whole reals as integers, texts quoted, other leaves (null,
  // true, false, empty objects and arrays) by their kind. The list is joined
  // in its order by a window over the whole walk, not by a sub-query sorting
  // the walk first: the parser's stack, 100 entries, holds a comparison one
  // sub-query less deep in a negation.
  std::optional<std::string_view> record_comparison_form() const override {
    return "(SELECT GROUP_CONCAT(mirtova_j.fullkey || '=' || (CASE mirtova_j.type "
           "WHEN 'real' THEN (CASE WHEN mirtova_j.atom = CAST(mirtova_j.atom AS INTEGER) THEN "
           "CAST(CAST(mirtova_j.atom AS INTEGER) AS TEXT) ELSE PRINTF('%!.17g', mirtova_j.atom) END) "
           "WHEN 'integer' THEN CAST(mirtova_j.atom AS TEXT) WHEN 'text' THEN QUOTE(mirtova_j.atom) "
           "ELSE mirtova_j.type END), ',') OVER (ORDER BY mirtova_j.fullkey ROWS BETWEEN UNBOUNDED "
           "PRECEDING AND UNBOUNDED FOLLOWING) FROM JSON_TREE(%s) AS mirtova_j LIMIT 1)";
  }
  bool compares_every_record_in_form() const override { return true; }

  // A list's JSON text orders by its spelling ([10] before [9]): the group's
  // greatest (least) list is one no other list passes, at the first place where
  // the two differ. The places are those of every nested list and record too,
  // read by a walk down both values: a place is the path to it, each list index
  // written to one width and each field name in hexadecimal, so that the paths
  // order as their places do (a list's elements in order, a record's fields by
  // their names, a place before those inside it). Numbers there compare by
  // value, a null after every value, and a list that ends first is the lesser.
  // The group's count keeps the query aggregating where the list reads no
  // column.
  std::optional<std::string> extreme_list(bool greatest) const override {
    const std::string passes = greatest ? "mirtova_ov > mirtova_ev" : "mirtova_ov < mirtova_ev";
    const std::string ended = greatest ? "0" : "1";
    const std::string other_ended = greatest ? "1" : "0";
    const std::string places =
        "WITH RECURSIVE mirtova_p(mirtova_side, mirtova_path, mirtova_type, mirtova_atom, mirtova_json) AS ("
        "SELECT 0, '', JSON_TYPE(mirtova_o.value), NULL, mirtova_o.value UNION ALL "
        "SELECT 1, '', JSON_TYPE(mirtova_e.value), NULL, mirtova_e.value UNION ALL "
        "SELECT mirtova_side, mirtova_path || '/' || (CASE WHEN TYPEOF(mirtova_c.key) = 'integer' THEN "
        "PRINTF('%010d', mirtova_c.key) ELSE HEX(mirtova_c.key) END), mirtova_c.type, mirtova_c.atom, "
        "mirtova_c.value FROM mirtova_p, JSON_EACH(mirtova_p.mirtova_json) AS mirtova_c WHERE "
        "mirtova_p.mirtova_type IN ('array', 'object')) "
        "SELECT mirtova_k.mirtova_path, mirtova_op.mirtova_type AS mirtova_ot, mirtova_op.mirtova_atom AS "
        "mirtova_ov, mirtova_ep.mirtova_type AS mirtova_et, mirtova_ep.mirtova_atom AS mirtova_ev FROM "
        "(SELECT DISTINCT mirtova_path FROM mirtova_p) AS mirtova_k LEFT JOIN mirtova_p AS mirtova_op ON "
        "mirtova_op.mirtova_side = 0 AND mirtova_op.mirtova_path = mirtova_k.mirtova_path LEFT JOIN "
        "mirtova_p AS mirtova_ep ON mirtova_ep.mirtova_side = 1 AND mirtova_ep.mirtova_path = "
        "mirtova_k.mirtova_path";
    const std::string same =
        "mirtova_ot IS NOT NULL AND mirtova_et IS NOT NULL AND ((mirtova_ot = 'null' AND mirtova_et = "
        "'null') "
        "OR (mirtova_ot IN ('array', 'object') AND mirtova_ot = mirtova_et) OR (mirtova_ot NOT IN ('null', "
        "'array', 'object') AND mirtova_et NOT IN ('null', 'array', 'object') AND mirtova_ov = mirtova_ev))";
    return "(CASE WHEN COUNT(*) = 0 THEN NULL ELSE (SELECT MAX((SELECT mirtova_e.value FROM "
           "JSON_EACH(mirtova_a.value) AS mirtova_e WHERE mirtova_e.value IS NOT NULL AND NOT EXISTS (SELECT "
           "1 "
           "FROM JSON_EACH(mirtova_a.value) AS mirtova_o WHERE mirtova_o.value IS NOT NULL AND (SELECT (CASE "
           "WHEN mirtova_ot IS NULL THEN " +
           ended + " WHEN mirtova_et IS NULL THEN " + other_ended + " WHEN mirtova_ot = 'null' THEN " +
           other_ended + " WHEN mirtova_et = 'null' THEN " + ended + " ELSE " + passes + " END) FROM (" +
           places + ") WHERE NOT (" + same +
           ") ORDER BY mirtova_path LIMIT 1) = 1) LIMIT 1)) FROM "
           "JSON_EACH(JSON_ARRAY((SELECT JSON_GROUP_ARRAY(JSON({0}))))) AS mirtova_a) END)";
  }
  // A list or record is a JSON text, which ORDER BY orders by its spelling
  // ([10] before [9], [1, 5] before [1]). Its key is the walk of its places in
  // their order (a list's elements in order, a record's fields by their names'
  // bytes), each written as its depth and its value: where two walks first
  // part, the one whose place is less deep has ended a list the other goes on
  // with, and is the lesser. Numbers are written so that their texts order as
  // their values: a sign class, the exponent and 17 digits of the double (the
  // digits of the negative ones complemented), then an integer's distance from
  // that double; texts as their bytes in hexadecimal; a null after every value.
  std::optional<std::string> container_order_key() const override {
    const std::string s = "mirtova_k.mirtova_s";
    const std::string v = "mirtova_k.mirtova_atom";
    const std::string digits = "SUBSTR(SUBSTR(" + s + ", 1, 1) || SUBSTR(" + s + ", 3, INSTR(" + s +
                               ", 'e') - 3) || '0000000000000000', 1, 17)";
    const std::string exponent = "CAST(SUBSTR(" + s + ", INSTR(" + s + ", 'e') + 1) AS INTEGER)";
    const std::string number =
        "(CASE WHEN CAST(" + v + " AS REAL) >= 9e999 THEN '3' WHEN CAST(" + v +
        " AS REAL) <= -9e999 THEN '/' WHEN " + v + " = 0 THEN '1' WHEN " + v +
        " > 0 THEN '2' || PRINTF('%03d', " + exponent + " + 400) || " + digits +
        " ELSE '0' || PRINTF('%03d', 599 - " + exponent + ") || PRINTF('%017d', 99999999999999999 - CAST(" +
        digits + " AS INTEGER)) END) || (CASE WHEN TYPEOF(" + v + ") = 'integer' THEN PRINTF('%05d', " + v +
        " - CAST(CAST(" + v + " AS REAL) AS INTEGER) + 50000) ELSE '50000' END)";
    return "(WITH RECURSIVE mirtova_k(mirtova_path, mirtova_depth, mirtova_type, mirtova_atom, mirtova_json, "
           "mirtova_s) AS (SELECT '', 0, JSON_TYPE({0}), NULL, {0}, NULL WHERE {0} IS NOT NULL UNION ALL "
           "SELECT mirtova_k.mirtova_path || '/' || (CASE WHEN TYPEOF(mirtova_c.key) = 'integer' THEN "
           "PRINTF('%010d', mirtova_c.key) ELSE HEX(mirtova_c.key) || '.' END), mirtova_k.mirtova_depth + 1, "
           "mirtova_c.type, mirtova_c.atom, mirtova_c.value, PRINTF('%!.16e', ABS(CAST(mirtova_c.atom AS "
           "REAL))) "
           "FROM mirtova_k, JSON_EACH(mirtova_k.mirtova_json) AS mirtova_c WHERE mirtova_k.mirtova_type IN "
           "('array', 'object')) SELECT GROUP_CONCAT(PRINTF('%04d', mirtova_k.mirtova_depth) || (CASE "
           "mirtova_k.mirtova_type WHEN 'array' THEN 'a' WHEN 'object' THEN 'o' WHEN 'null' THEN 'z' WHEN "
           "'true' "
           "THEN 'b1' WHEN 'false' THEN 'b0' WHEN 'text' THEN 's' || HEX(mirtova_k.mirtova_atom) || ' ' ELSE "
           "'n' "
           "|| " +
           number +
           " END), '') OVER (ORDER BY mirtova_k.mirtova_path ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED "
           "FOLLOWING) FROM mirtova_k LIMIT 1)";
  }

  bool decorate_combine_rule() const override { return true; }

  // SQLite's parser stack holds about a dozen nested sub-queries of a negation.
  size_t most_nested_injection() const override { return 6; }
  // SQLite refuses a statement past this: "too many references to ...".
  uint64_t most_table_references() const override { return 65535; }

  // REGEXP calls the regexp() function that the host registers.
  std::string regex_match_condition(std::string_view expression, std::string_view pattern) const override {
    return std::string(expression) + " REGEXP " + str_literal(pattern);
  }

  std::string string_cast(std::string_view sql) const override {
    return "CAST(" + std::string(sql) + " AS TEXT)";
  }

  std::string_view today_relation_sql() const override { return "(SELECT date('now') AS date)"; }

  std::string_view now_relation_sql() const override { return "(SELECT datetime('now') AS timestamp)"; }

  // SQLite reads OFFSET only after a LIMIT; LIMIT -1 stands for no limit.
  std::string pagination_clause(std::optional<uint64_t> limit,
                                std::optional<uint64_t> offset) const override {
    if (offset && !limit) return "\nLIMIT -1\nOFFSET " + row_count_text(*offset);
    return Dialect::pagination_clause(limit, offset);
  }
};

}  // namespace

std::unique_ptr<Dialect> make_sqlite_dialect() { return std::make_unique<SqLiteDialect>(); }

}  // namespace mirtova
