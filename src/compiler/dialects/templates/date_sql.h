// Writes the templates of the date, datetime, time and timestamp functions for
// DuckDB, PostgreSQL, SQLite, Databricks, Trino and Presto from a few primitives of each engine.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/engines.h"

namespace mirtova {

// The values of these functions are texts on every engine: a date
// 'YYYY-MM-DD', a datetime or timestamp 'YYYY-MM-DD HH:MM:SS' with the fraction
// of a second when it has one (a timestamp in UTC), a time 'HH:MM:SS' likewise.
// Each template reads its arguments into the engine's own values (DuckDB's and
// PostgreSQL's DATE, TIMESTAMP and TIME; on SQLite a date's text and the
// microseconds of a timestamp since 1970 or of a time since midnight; on
// Databricks DATE, TIMESTAMP_NTZ holding the civil time of UTC, and a time's
// microseconds since midnight; on Trino and Presto a DATE and those
// microseconds, as Presto's timestamps stop at milliseconds), works on those,
// and writes the result back as text.
//
// A writer numbers the names it binds (in sub-queries, or in lambdas on Trino
// and Presto): one writer per template. It writes for DuckDB, PostgreSQL,
// SQLite, Databricks, Trino and Presto alone; any other engine gets empty
// texts.
class DateSql {
 public:
  explicit DateSql(Engine engine) : engine_(engine) {}

  // A failure naming an unknown part: fails the statement when it runs (never
  // while PostgreSQL plans it), with `type` the SQL type the context expects.
  std::string bad_part(std::string_view what, const std::string& part, std::string_view type) const;
  // A failure with the text of `message` (SQL), likewise.
  std::string fail(const std::string& message, std::string_view type) const;

  // The engine's own values of the texts a function takes.
  std::string date(const std::string& x) const;
  std::string timestamp(const std::string& x);
  std::string time(const std::string& x);
  // A text without a zone read as a civil time (not on SQLite).
  std::string civil(const std::string& x);
  // Whether a text ends in a zone offset (not on SQLite).
  std::string has_offset(const std::string& x) const;

  // The texts of the engine's values.
  std::string date_text(const std::string& d) const;
  std::string timestamp_text(const std::string& ts);
  std::string time_text(const std::string& t);

  // Days since 1970-01-01 and back.
  std::string day_number(const std::string& d) const;
  std::string date_of_day(const std::string& n) const;
  // Microseconds since 1970 (UTC) or since midnight, and back.
  std::string micros(const std::string& ts) const;
  std::string timestamp_of_micros(const std::string& us) const;
  std::string time_micros(const std::string& t) const;
  std::string time_of_micros(const std::string& us) const;

  std::string year(const std::string& d) const;
  std::string month(const std::string& d) const;
  std::string isoyear(const std::string& d) const;
  std::string make_date(const std::string& y, const std::string& m, const std::string& d) const;
  std::string make_timestamp(const std::vector<std::string>& parts) const;
  std::string make_time(const std::string& h, const std::string& mi, const std::string& s) const;
  // The same day of the month n months on, or the month's last day when it has
  // no such day.
  std::string add_months(const std::string& d, const std::string& n);
  std::string timestamp_add_months(const std::string& ts, const std::string& n);
  std::string date_of_timestamp(const std::string& ts) const;
  std::string time_of_timestamp(const std::string& ts) const;
  std::string timestamp_of_date(const std::string& d) const;
  std::string timestamp_plus_micros(const std::string& ts, const std::string& us) const;
  std::string date_plus_days(const std::string& d, const std::string& n) const;

  // Integer arithmetic: division rounding down or toward zero, the remainder
  // that is never negative, a 64-bit integer.
  std::string floor_div(const std::string& a, long long b) const;
  std::string trunc_div(const std::string& a, long long b) const;
  std::string mod_floor(const std::string& a, long long b) const;
  std::string integer(const std::string& x) const;
  std::string text(const std::string& x) const;
  // `text` as a literal of the engine's SQL.
  std::string literal(std::string_view text) const;
  // The operator of a division of integers (rounding toward zero).
  std::string division() const;

  // The civil time in a zone of a UTC timestamp, and the UTC timestamp of a
  // civil time in a zone (not on SQLite).
  std::string at_zone(const std::string& ts, const std::string& zone);
  std::string from_zone(const std::string& ts, const std::string& zone);
  std::string now_utc() const;

  // `body` over `value`, computed once under a name of its own when it is more
  // than a name, a placeholder or a literal. Spark refuses a sub-query's
  // projection that reads the outer row: there a lambda binds the name.
  template <class Body>
  std::string let(const std::string& value, Body body) {
    if (is_plain(value)) return body(value);
    std::string name = "mirtova_x" + std::to_string(++names_);
    if (engine_ == Engine::kDatabricks)
      return "transform(array(" + value + "), " + name + " -> " + body(name) + ")[0]";
    // Trino and Presto refuse many correlated sub-queries; a lambda binds the
    // value as well, and may itself hold lambdas.
    if (binds_by_lambda())
      return "element_at(transform(ARRAY[" + value + "], " + name + " -> " + body(name) + "), 1)";
    std::string alias = "mirtova_l" + std::to_string(names_);
    return "(SELECT " + body(name) + " FROM (SELECT " + value + " AS " + name + ") AS " + alias + ")";
  }

  Engine engine() const { return engine_; }
  bool zones() const { return engine_ != Engine::kSqlite; }
  // Whether timestamps and times are the microseconds of an integer (SQLite,
  // Trino and Presto), not a type of the engine.
  bool counts_micros() const { return engine_ == Engine::kSqlite || binds_by_lambda(); }
  bool binds_by_lambda() const { return engine_ == Engine::kTrino || engine_ == Engine::kPresto; }

 private:
  static bool is_plain(const std::string& value);
  // The microseconds of a timestamp's text, its zone offset read or left out.
  std::string timestamp_micros(const std::string& x, bool offset);
  // The seconds a zone is ahead of UTC at the instant of `us` microseconds.
  std::string zone_offset_micros(const std::string& us, const std::string& zone);
  std::string offset_as_sqlite_reads(const std::string& x) const;
  std::string fraction_micros(const std::string& text) const;
  std::string fraction_text(const std::string& us) const;

  Engine engine_;
  int names_ = 0;
};

// One arm of a CASE over a part's name, and the CASE: names that give the same
// SQL share one arm.
using PartArms = std::vector<std::pair<std::string, std::string>>;
std::string case_of_part(const std::string& part, const PartArms& arms, const std::string& otherwise);

// The microseconds of each part below a week.
inline constexpr std::pair<std::string_view, long long> kPartMicros[] = {
    {"MICROSECOND", 1},   {"MILLISECOND", 1000}, {"SECOND", 1000000},
    {"MINUTE", 60000000}, {"HOUR", 3600000000},  {"DAY", 86400000000}};

}  // namespace mirtova
