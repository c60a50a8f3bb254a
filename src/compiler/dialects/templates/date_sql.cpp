// The date and time primitives of DuckDB, PostgreSQL, SQLite, Trino and Presto.
#include "compiler/dialects/templates/date_sql.h"

namespace mirtova {
namespace {

// A time followed by a zone offset. No "{n}" counts in it: a template reads
// those as placeholders.
constexpr std::string_view kOffsetPattern =
    R"t([0-9]:[0-9][0-9](:[0-9][0-9](\.[0-9]*)?)? *([+-][0-9][0-9](:?[0-9][0-9])?|Z|UTC)$)t";

// A date, and the time when there is one, with its zone offset; the groups:
// year, month, day, hour, minute, second, fraction, "Z" or "UTC", the offset's
// sign, hours and minutes.
constexpr std::string_view kTimestampPattern =
    R"t(^\s*([0-9]+)-([0-9]+)-([0-9]+)(?:(?:[Tt]|\s+)([0-9]+):([0-9]+)(?::([0-9]+)(?:[.]([0-9]*))?)?)?\s*(?:(Z|UTC)|([+-])([0-9][0-9]):?([0-9][0-9])?)?\s*$)t";
constexpr std::string_view kTimestampGroups = "$1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11";
// A time of day: hour, minute, second and fraction.
constexpr std::string_view kTimePattern = R"t(^\s*([0-9]+):([0-9]+)(?::([0-9]+)(?:[.]([0-9]*))?)?\s*$)t";
constexpr std::string_view kTimeGroups = "$1,$2,$3,$4";

std::string number(long long n) { return std::to_string(n); }

// The groups of `text` matched by `pattern`, as a list of texts ('' for a
// group that took no part), bound by a lambda to `body` over the name `parts`;
// a text the pattern does not match fails with `what`.
std::string matched_parts(const std::string& text, std::string_view pattern, std::string_view groups,
                          std::string_view what, const std::string& parts, const std::string& body) {
  std::string quoted_pattern = "'" + std::string(pattern) + "'";
  return "(CASE WHEN NOT regexp_like(" + text + ", " + quoted_pattern + ") THEN fail('Invalid " +
         std::string(what) + ": ' || " + text + ") ELSE element_at(transform(ARRAY[split(regexp_replace(" +
         text + ", " + quoted_pattern + ", '" + std::string(groups) + "'), ',')], " + parts + " -> " + body +
         "), 1) END)";
}

// Part n (from 1) of matched_parts, as a 64-bit integer; 0 when absent. Led
// by a 0 rather than NULLIF'd: Trino folds NULLIF over an element of a
// constant null list (a null text's parts) with an "Internal error".
std::string part_number(const std::string& parts, int n) {
  return "COALESCE(CAST('0' || element_at(" + parts + ", " + std::to_string(n) + ") AS BIGINT), 0)";
}

// A fraction's digits as microseconds: six of them, cut.
std::string part_micros(const std::string& parts, int n) {
  return "CAST(substr(element_at(" + parts + ", " + std::to_string(n) + ") || '000000', 1, 6) AS BIGINT)";
}

}  // namespace

bool DateSql::is_plain(const std::string& value) {
  // A placeholder, a text literal, or a name or number.
  if (value.empty()) return false;
  if (value.size() >= 3 && value.front() == '{' && value.back() == '}') return true;
  if (value.front() == '\'') return value.find('\'', 1) == value.size() - 1;
  for (char c : value) {
    bool word =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
    if (!word) return false;
  }
  return true;
}

std::string DateSql::bad_part(std::string_view what, const std::string& part, std::string_view type) const {
  return fail("'Invalid " + std::string(what) + " part: ' || " + part, type);
}

std::string DateSql::fail(const std::string& message, std::string_view type) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "error(" + message + ")";
    case Engine::kPsql:
      // PostgreSQL folds a constant failing cast while planning, in arms that
      // never run too; a name of a relation is looked up only when it runs.
      return "CAST(CAST(CAST((" + message + ") AS regclass) AS text) AS " + std::string(type) + ")";
    case Engine::kSqlite:
      // The host's failing function fails on null too: a null part is no failure.
      return "(CASE WHEN (" + message + ") IS NULL THEN NULL ELSE MIRTOVA_ERROR(" + message + ") END)";
    case Engine::kDatabricks:
      // A null message (of a null part) gives null, as on the engines whose
      // failing function takes a null for no failure; raise_error fails on it.
      return "assert_true((" + message + ") IS NULL, " + message + ")";
    case Engine::kTrino:
    case Engine::kPresto:
      // Of no type until used, so it stands in any arm.
      return "fail(" + message + ")";
    default:
      break;
  }
  return {};
}

std::string DateSql::offset_as_sqlite_reads(const std::string& x) const {
  // SQLite reads a zone offset only as +HH:MM. The text is read once: a
  // date of a date would write the inner one thrice.
  const std::string s = is_plain(x) ? x : "mirtova_o";
  const std::string read =
      "(CASE WHEN " + s + " GLOB '*:[0-9][0-9]*[+-][0-9][0-9]' THEN " + s + " || ':00' ELSE " + s + " END)";
  if (s == x) return read;
  return "(WITH mirtova_once(mirtova_o) AS (VALUES (" + x + ")) SELECT " + read + " FROM mirtova_once)";
}

std::string DateSql::fraction_micros(const std::string& text) const {
  // The digits after the point, six of them: SQLite's own functions keep three.
  std::string after = "substr(" + text + ", instr(" + text + ", '.') + 1)";
  std::string digits =
      "substr(" + after + ", 1, length(" + after + ") - length(ltrim(" + after + ", '0123456789')))";
  return "(CASE WHEN instr(" + text + ", '.') = 0 THEN 0 ELSE CAST(substr(" + digits +
         " || '000000', 1, 6) AS INTEGER) END)";
}

std::string DateSql::fraction_text(const std::string& us) const {
  std::string m = mod_floor(us, 1000000);
  if (binds_by_lambda())
    return "(CASE WHEN " + m + " = 0 THEN '' ELSE regexp_replace('.' || lpad(" + text(m) +
           ", 6, '0'), '0+$', '') END)";
  return "(CASE WHEN " + m + " = 0 THEN '' ELSE rtrim(printf('.%06d', " + m + "), '0') END)";
}

std::string DateSql::date(const std::string& x) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + x + " AS DATE)";
    case Engine::kPsql:
      return "CAST(" + x + " AS date)";
    case Engine::kSqlite:
      return "date(" + offset_as_sqlite_reads(x) + ")";
    case Engine::kDatabricks:
      return "CAST(" + x + " AS DATE)";
    case Engine::kTrino:
    case Engine::kPresto:
      return "CAST(" + x + " AS DATE)";
    default:
      break;
  }
  return {};
}

std::string DateSql::has_offset(const std::string& x) const {
  if (engine_ == Engine::kDatabricks)
    return "(CAST(" + x + " AS STRING) RLIKE " + literal(kOffsetPattern) + ")";
  if (engine_ == Engine::kDuckdb)
    return "regexp_matches(CAST(" + x + " AS VARCHAR), '" + std::string(kOffsetPattern) + "')";
  if (binds_by_lambda()) return "regexp_like(" + x + ", '" + std::string(kOffsetPattern) + "')";
  return "CAST(" + x + " AS text) ~ '" + std::string(kOffsetPattern) + "'";
}

std::string DateSql::civil(const std::string& x) {
  if (engine_ == Engine::kDatabricks) return "CAST(" + x + " AS TIMESTAMP_NTZ)";
  if (binds_by_lambda()) return timestamp_micros(x, false);
  return "CAST(" + x + (engine_ == Engine::kDuckdb ? " AS TIMESTAMP)" : " AS timestamp)");
}

std::string DateSql::timestamp_micros(const std::string& x, bool offset) {
  return let(x, [&](const std::string& s) {
    std::string p = "mirtova_p" + std::to_string(++names_);
    std::string day = day_number(
        make_date("element_at(" + p + ", 1)", "element_at(" + p + ", 2)", "element_at(" + p + ", 3)"));
    std::string hour = part_number(p, 4), minute = part_number(p, 5), second = part_number(p, 6);
    std::string civil_micros = "((" + day + " * 86400 + " + hour + " * 3600 + " + minute + " * 60 + " +
                               second + ") * 1000000 + " + part_micros(p, 7) + ")";
    std::string value = civil_micros;
    if (offset) {
      value = "(" + civil_micros + " - (CASE WHEN element_at(" + p + ", 9) = '-' THEN -1 ELSE 1 END) * (" +
              part_number(p, 10) + " * 60 + " + part_number(p, 11) + ") * 60000000)";
    }
    std::string body = "(CASE WHEN " + hour + " > 23 OR " + minute + " > 59 OR " + second +
                       " > 59 THEN fail('Invalid timestamp: ' || " + s + ") ELSE " + value + " END)";
    return matched_parts(s, kTimestampPattern, kTimestampGroups, "timestamp", p, body);
  });
}

std::string DateSql::timestamp(const std::string& x) {
  switch (engine_) {
    case Engine::kDuckdb:
      // Both engines drop an offset when casting a text to a timestamp without
      // a zone: a text with one is read as a timestamp with a zone.
      return "(CASE WHEN " + has_offset(x) + " THEN CAST(CAST(CAST(" + x +
             " AS VARCHAR) AS TIMESTAMPTZ) AT TIME ZONE 'UTC' AS TIMESTAMP) ELSE CAST(" + x +
             " AS TIMESTAMP) END)";
    case Engine::kPsql:
      return "(CASE WHEN " + has_offset(x) + " THEN CAST(CAST(" + x +
             " AS text) AS timestamptz) AT TIME ZONE 'UTC' ELSE CAST(" + x + " AS timestamp) END)";
    case Engine::kSqlite: {
      std::string v = "mirtova_v.mirtova_s";
      return "(SELECT CAST(strftime('%s', " + v + ") AS INTEGER) * 1000000 + " + fraction_micros(v) +
             " FROM (SELECT " + offset_as_sqlite_reads(x) + " AS mirtova_s) AS mirtova_v)";
    }
    case Engine::kDatabricks:
      // A civil time of UTC (TIMESTAMP_NTZ), whatever the session's zone: a
      // text with an offset is read as an instant and moved to UTC.
      return "(CASE WHEN " + has_offset(x) + " THEN " +
             timestamp_of_micros("unix_micros(CAST(CAST(" + x + " AS STRING) AS TIMESTAMP))") + " ELSE " +
             civil(x) + " END)";
    case Engine::kTrino:
    case Engine::kPresto:
      return timestamp_micros(x, true);
    default:
      break;
  }
  return {};
}

std::string DateSql::time(const std::string& x) {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + x + " AS TIME)";
    case Engine::kPsql:
      return "CAST(" + x + " AS time)";
    case Engine::kSqlite: {
      std::string v = "mirtova_v.mirtova_s";
      return "(SELECT CAST(strftime('%s', '1970-01-01 ' || " + v + ") AS INTEGER) * 1000000 + " +
             fraction_micros(v) + " FROM (SELECT " + x + " AS mirtova_s) AS mirtova_v WHERE time(" + v +
             ") IS NOT NULL)";
    }
    case Engine::kDatabricks:
      // Spark has no time of day: microseconds since midnight, as on SQLite.
      return "unix_micros(CAST('1970-01-01 ' || CAST(" + x + " AS STRING) AS TIMESTAMP_NTZ))";
    case Engine::kTrino:
    case Engine::kPresto:
      return let(x, [&](const std::string& s) {
        std::string p = "mirtova_p" + std::to_string(++names_);
        std::string hour = part_number(p, 1), minute = part_number(p, 2), second = part_number(p, 3);
        std::string body = "(CASE WHEN " + hour + " > 23 OR " + minute + " > 59 OR " + second +
                           " > 59 THEN fail('Invalid time: ' || " + s + ") ELSE (" + hour + " * 3600 + " +
                           minute + " * 60 + " + second + ") * 1000000 + " + part_micros(p, 4) + " END)";
        return matched_parts(s, kTimePattern, kTimeGroups, "time", p, body);
      });
    default:
      break;
  }
  return {};
}

std::string DateSql::date_text(const std::string& d) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + d + " AS VARCHAR)";
    case Engine::kPsql:
      return "to_char(" + d + ", 'YYYY-MM-DD')";
    case Engine::kSqlite:
      return d;
    case Engine::kDatabricks:
      return "CAST(" + d + " AS STRING)";
    case Engine::kTrino:
    case Engine::kPresto:
      return "CAST(" + d + " AS VARCHAR)";
    default:
      break;
  }
  return {};
}

std::string DateSql::timestamp_text(const std::string& ts) {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + ts + " AS VARCHAR)";
    case Engine::kPsql:
      // to_char, not a cast: the cast follows the session's DateStyle.
      return let(ts, [](const std::string& t) {
        return "(to_char(" + t + ", 'YYYY-MM-DD HH24:MI:SS') || rtrim(rtrim('.' || to_char(" + t +
               ", 'US'), '0'), '.'))";
      });
    case Engine::kSqlite: {
      std::string u = "mirtova_w.mirtova_u";
      return "(SELECT datetime(" + floor_div(u, 1000000) + ", 'unixepoch') || " + fraction_text(u) +
             " FROM (SELECT " + ts + " AS mirtova_u) AS mirtova_w)";
    }
    case Engine::kDatabricks:
      return "CAST(" + ts + " AS STRING)";
    case Engine::kTrino:
    case Engine::kPresto:
      return let(ts, [&](const std::string& u) {
        return "(" + date_text(date_of_day(floor_div(u, 86400000000))) + " || ' ' || " +
               time_text(mod_floor(u, 86400000000)) + ")";
      });
    default:
      break;
  }
  return {};
}

std::string DateSql::time_text(const std::string& t) {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + t + " AS VARCHAR)";
    case Engine::kPsql:
      return "CAST(" + t + " AS text)";
    case Engine::kSqlite: {
      std::string u = "mirtova_w.mirtova_u";
      return "(SELECT time(" + floor_div(u, 1000000) + ", 'unixepoch') || " + fraction_text(u) +
             " FROM (SELECT " + t + " AS mirtova_u) AS mirtova_w)";
    }
    case Engine::kDatabricks:
      return "substr(CAST(" + timestamp_of_micros(t) + " AS STRING), 12)";
    case Engine::kTrino:
    case Engine::kPresto:
      // The microseconds of a time of day are never negative.
      return let(t, [&](const std::string& u) {
        auto two = [&](const std::string& n) { return "lpad(" + text(n) + ", 2, '0')"; };
        return "(" + two(u + " / 3600000000") + " || ':' || " + two(u + " / 60000000 % 60") + " || ':' || " +
               two(u + " / 1000000 % 60") + " || " + fraction_text(u) + ")";
      });
    default:
      break;
  }
  return {};
}

std::string DateSql::day_number(const std::string& d) const {
  // SQLite: the Julian day of a midnight ends in .5, so the difference is exact.
  if (engine_ == Engine::kSqlite) return "CAST(julianday(" + d + ") - 2440587.5 AS INTEGER)";
  if (engine_ == Engine::kDatabricks) return "unix_date(" + d + ")";
  if (binds_by_lambda()) return "date_diff('day', DATE '1970-01-01', " + d + ")";
  return "(" + d + " - DATE '1970-01-01')";
}

std::string DateSql::date_of_day(const std::string& n) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "(DATE '1970-01-01' + CAST(" + n + " AS INTEGER))";
    case Engine::kPsql:
      return "(DATE '1970-01-01' + CAST(" + n + " AS integer))";
    case Engine::kSqlite:
      return "date(2440587.5 + (" + n + "))";
    case Engine::kDatabricks:
      return "date_from_unix_date(CAST(" + n + " AS INT))";
    case Engine::kTrino:
    case Engine::kPresto:
      return "date_add('day', CAST(" + n + " AS BIGINT), DATE '1970-01-01')";
    default:
      break;
  }
  return {};
}

std::string DateSql::micros(const std::string& ts) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "epoch_us(" + ts + ")";
    case Engine::kPsql:
      return "CAST(floor(extract(epoch from " + ts + ") * 1000000) AS bigint)";
    case Engine::kSqlite:
    case Engine::kTrino:
    case Engine::kPresto:
      return ts;
    case Engine::kDatabricks:
      return "unix_micros(" + ts + ")";
    default:
      break;
  }
  return {};
}

std::string DateSql::timestamp_of_micros(const std::string& us) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "make_timestamp(CAST(" + us + " AS BIGINT))";
    case Engine::kPsql:
      return "(TIMESTAMP '1970-01-01' + CAST(" + us + " AS bigint) * INTERVAL '1 microsecond')";
    case Engine::kSqlite:
    case Engine::kTrino:
    case Engine::kPresto:
      return "(" + us + ")";
    case Engine::kDatabricks:
      return "timestampadd(MICROSECOND, CAST(" + us + " AS BIGINT), TIMESTAMP_NTZ '1970-01-01 00:00:00')";
    default:
      break;
  }
  return {};
}

std::string DateSql::time_micros(const std::string& t) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "epoch_us(DATE '1970-01-01' + " + t + ")";
    case Engine::kPsql:
      return "CAST(extract(epoch from " + t + ") * 1000000 AS bigint)";
    case Engine::kSqlite:
    case Engine::kTrino:
    case Engine::kPresto:
      return t;
    case Engine::kDatabricks:
      return t;
    default:
      break;
  }
  return {};
}

std::string DateSql::time_of_micros(const std::string& us) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(make_timestamp(CAST(" + us + " AS BIGINT)) AS TIME)";
    case Engine::kPsql:
      return "CAST(TIMESTAMP '1970-01-01' + CAST(" + us + " AS bigint) * INTERVAL '1 microsecond' AS time)";
    case Engine::kSqlite:
    case Engine::kTrino:
    case Engine::kPresto:
      return "(" + us + ")";
    case Engine::kDatabricks:
      return "(" + us + ")";
    default:
      break;
  }
  return {};
}

std::string DateSql::year(const std::string& d) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "year(" + d + ")";
    case Engine::kPsql:
      return "CAST(extract(year from " + d + ") AS bigint)";
    case Engine::kSqlite:
      return "CAST(strftime('%Y', " + d + ") AS INTEGER)";
    case Engine::kDatabricks:
      return "year(" + d + ")";
    case Engine::kTrino:
    case Engine::kPresto:
      return "year(" + d + ")";
    default:
      break;
  }
  return {};
}

std::string DateSql::month(const std::string& d) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "month(" + d + ")";
    case Engine::kPsql:
      return "CAST(extract(month from " + d + ") AS bigint)";
    case Engine::kSqlite:
      return "CAST(strftime('%m', " + d + ") AS INTEGER)";
    case Engine::kDatabricks:
      return "month(" + d + ")";
    case Engine::kTrino:
    case Engine::kPresto:
      return "month(" + d + ")";
    default:
      break;
  }
  return {};
}

std::string DateSql::isoyear(const std::string& d) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "isoyear(" + d + ")";
    case Engine::kPsql:
      return "CAST(extract(isoyear from " + d + ") AS bigint)";
    case Engine::kSqlite:
      // The year of the Thursday of the date's ISO week.
      return "CAST(strftime('%Y', " + d + ", printf('%+d days', 3 - (CAST(strftime('%w', " + d +
             ") AS INTEGER) + 6) % 7)) AS INTEGER)";
    case Engine::kDatabricks:
      return "extract(YEAROFWEEK FROM " + d + ")";
    case Engine::kTrino:
    case Engine::kPresto:
      return "year_of_week(" + d + ")";
    default:
      break;
  }
  return {};
}

std::string DateSql::make_date(const std::string& y, const std::string& m, const std::string& d) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "make_date(CAST(" + y + " AS BIGINT), CAST(" + m + " AS BIGINT), CAST(" + d + " AS BIGINT))";
    case Engine::kPsql:
      return "make_date(CAST(" + y + " AS integer), CAST(" + m + " AS integer), CAST(" + d + " AS integer))";
    case Engine::kSqlite: {
      // NULL for a day the month lacks: SQLite's date() keeps 02-30 as it is. printf
      // writes a missing number as 0, a date of year 0 that date() takes.
      std::string s = "printf('%04d-%02d-%02d', " + y + ", " + m + ", " + d + ")";
      return "(CASE WHEN (" + y + ") IS NULL OR (" + m + ") IS NULL OR (" + d +
             ") IS NULL THEN NULL WHEN date(" + s + ", '+0 days') = " + s + " THEN " + s + " END)";
    }
    case Engine::kDatabricks:
      return "make_date(CAST(" + y + " AS INT), CAST(" + m + " AS INT), CAST(" + d + " AS INT))";
    case Engine::kTrino:
    case Engine::kPresto:
      // Through the date's text, which the cast refuses for a day the month lacks.
      return "CAST(lpad(" + text(integer(y)) + ", 4, '0') || '-' || lpad(" + text(integer(m)) +
             ", 2, '0') || '-' || lpad(" + text(integer(d)) + ", 2, '0') AS DATE)";
    default:
      break;
  }
  return {};
}

std::string DateSql::make_timestamp(const std::vector<std::string>& p) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "make_timestamp(CAST(" + p[0] + " AS BIGINT), CAST(" + p[1] + " AS BIGINT), CAST(" + p[2] +
             " AS BIGINT), CAST(" + p[3] + " AS BIGINT), CAST(" + p[4] + " AS BIGINT), CAST(" + p[5] +
             " AS DOUBLE))";
    case Engine::kPsql:
      return "make_timestamp(CAST(" + p[0] + " AS integer), CAST(" + p[1] + " AS integer), CAST(" + p[2] +
             " AS integer), CAST(" + p[3] + " AS integer), CAST(" + p[4] + " AS integer), CAST(" + p[5] +
             " AS double precision))";
    case Engine::kSqlite:
      return "(CASE WHEN (" + p[3] + ") BETWEEN 0 AND 23 AND (" + p[4] + ") BETWEEN 0 AND 59 AND (" + p[5] +
             ") >= 0 AND (" + p[5] + ") < 60 THEN " + day_number(make_date(p[0], p[1], p[2])) +
             " * 86400000000 + (" + p[3] + ") * 3600000000 + (" + p[4] + ") * 60000000 + CAST(round((" +
             p[5] + ") * 1000000) AS INTEGER) END)";
    case Engine::kDatabricks:
      return "make_timestamp_ntz(CAST(" + p[0] + " AS INT), CAST(" + p[1] + " AS INT), CAST(" + p[2] +
             " AS INT), CAST(" + p[3] + " AS INT), CAST(" + p[4] + " AS INT), CAST(" + p[5] +
             " AS DECIMAL(16, 6)))";
    case Engine::kTrino:
    case Engine::kPresto:
      return "(CASE WHEN (" + p[3] + ") BETWEEN 0 AND 23 AND (" + p[4] + ") BETWEEN 0 AND 59 AND (" + p[5] +
             ") >= 0 AND (" + p[5] + ") < 60 THEN " + day_number(make_date(p[0], p[1], p[2])) +
             " * 86400000000 + " + integer(p[3]) + " * 3600000000 + " + integer(p[4]) +
             " * 60000000 + CAST(round((" + p[5] + ") * 1000000) AS BIGINT) END)";
    default:
      break;
  }
  return {};
}

std::string DateSql::make_time(const std::string& h, const std::string& mi, const std::string& s) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "make_time(CAST(" + h + " AS BIGINT), CAST(" + mi + " AS BIGINT), CAST(" + s + " AS DOUBLE))";
    case Engine::kPsql:
      return "make_time(CAST(" + h + " AS integer), CAST(" + mi + " AS integer), CAST(" + s +
             " AS double precision))";
    case Engine::kSqlite:
      return "(CASE WHEN (" + h + ") BETWEEN 0 AND 23 AND (" + mi + ") BETWEEN 0 AND 59 AND (" + s +
             ") >= 0 AND (" + s + ") < 60 THEN (" + h + ") * 3600000000 + (" + mi +
             ") * 60000000 + CAST(round((" + s + ") * 1000000) AS INTEGER) END)";
    case Engine::kDatabricks:
      return "(CASE WHEN (" + h + ") BETWEEN 0 AND 23 AND (" + mi + ") BETWEEN 0 AND 59 AND (" + s +
             ") >= 0 AND (" + s + ") < 60 THEN CAST((" + h + ") * 3600000000 + (" + mi +
             ") * 60000000 + round((" + s + ") * 1000000) AS BIGINT) ELSE " +
             fail("'Invalid time: ' || CAST(" + h + " AS STRING) || ':' || CAST(" + mi +
                      " AS STRING) || ':' || CAST(" + s + " AS STRING)",
                  "BIGINT") +
             " END)";
    case Engine::kTrino:
    case Engine::kPresto:
      return "(CASE WHEN (" + h + ") BETWEEN 0 AND 23 AND (" + mi + ") BETWEEN 0 AND 59 AND (" + s +
             ") >= 0 AND (" + s + ") < 60 THEN " + integer(h) + " * 3600000000 + " + integer(mi) +
             " * 60000000 + CAST(round((" + s + ") * 1000000) AS BIGINT) END)";
    default:
      break;
  }
  return {};
}

std::string DateSql::add_months(const std::string& d, const std::string& n) {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + d + " + to_months(CAST(" + n + " AS INTEGER)) AS DATE)";
    case Engine::kPsql:
      return "CAST(" + d + " + make_interval(months => CAST(" + n + " AS integer)) AS date)";
    case Engine::kSqlite: {
      // Months counted as year * 12 + month - 1; the day kept where the month has it.
      std::string dv = "mirtova_v.mirtova_d";
      std::string t = "(CAST(strftime('%Y', " + dv + ") AS INTEGER) * 12 + CAST(strftime('%m', " + dv +
                      ") AS INTEGER) - 1 + (" + n + "))";
      std::string first = "printf('%04d-%02d-01', " + t + " / 12, " + t + " % 12 + 1)";
      std::string last = "CAST(strftime('%d', " + first + ", '+1 month', '-1 day') AS INTEGER)";
      // No date or no count: printf would write the missing month number as 0.
      return "(SELECT CASE WHEN " + t + " IS NULL THEN NULL ELSE printf('%04d-%02d-%02d', " + t + " / 12, " +
             t + " % 12 + 1, min(CAST(strftime('%d', " + dv + ") AS INTEGER), " + last +
             ")) END FROM (SELECT " + d + " AS mirtova_d) AS mirtova_v)";
    }
    case Engine::kDatabricks:
      return "add_months(" + d + ", CAST(" + n + " AS INT))";
    case Engine::kTrino:
    case Engine::kPresto:
      // Both keep the day, or take the month's last when it has no such day.
      return "date_add('month', " + integer(n) + ", " + d + ")";
    default:
      break;
  }
  return {};
}

std::string DateSql::timestamp_add_months(const std::string& ts, const std::string& n) {
  switch (engine_) {
    case Engine::kDuckdb:
      return "(" + ts + " + to_months(CAST(" + n + " AS INTEGER)))";
    case Engine::kPsql:
      return "(" + ts + " + make_interval(months => CAST(" + n + " AS integer)))";
    case Engine::kSqlite:
    case Engine::kTrino:
    case Engine::kPresto:
      return "(" + day_number(add_months(date_of_day(floor_div(ts, 86400000000)), n)) + " * 86400000000 + " +
             mod_floor(ts, 86400000000) + ")";
    case Engine::kDatabricks:
      return "timestampadd(MONTH, CAST(" + n + " AS INT), " + ts + ")";
    default:
      break;
  }
  return {};
}

std::string DateSql::date_of_timestamp(const std::string& ts) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + ts + " AS DATE)";
    case Engine::kPsql:
      return "CAST(" + ts + " AS date)";
    case Engine::kSqlite:
    case Engine::kTrino:
    case Engine::kPresto:
      return date_of_day(floor_div(ts, 86400000000));
    case Engine::kDatabricks:
      return "CAST(" + ts + " AS DATE)";
    default:
      break;
  }
  return {};
}

std::string DateSql::time_of_timestamp(const std::string& ts) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + ts + " AS TIME)";
    case Engine::kPsql:
      return "CAST(" + ts + " AS time)";
    case Engine::kSqlite:
    case Engine::kTrino:
    case Engine::kPresto:
      return mod_floor(ts, 86400000000);
    case Engine::kDatabricks:
      return mod_floor(micros(ts), 86400000000);
    default:
      break;
  }
  return {};
}

std::string DateSql::timestamp_of_date(const std::string& d) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + d + " AS TIMESTAMP)";
    case Engine::kPsql:
      return "CAST(" + d + " AS timestamp)";
    case Engine::kSqlite:
    case Engine::kTrino:
    case Engine::kPresto:
      return "(" + day_number(d) + " * 86400000000)";
    case Engine::kDatabricks:
      return "CAST(" + d + " AS TIMESTAMP_NTZ)";
    default:
      break;
  }
  return {};
}

std::string DateSql::timestamp_plus_micros(const std::string& ts, const std::string& us) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "(" + ts + " + to_microseconds(CAST(" + us + " AS BIGINT)))";
    case Engine::kPsql:
      return "(" + ts + " + CAST(" + us + " AS bigint) * INTERVAL '1 microsecond')";
    case Engine::kSqlite:
    case Engine::kTrino:
    case Engine::kPresto:
      return "((" + ts + ") + (" + us + "))";
    case Engine::kDatabricks:
      return "timestampadd(MICROSECOND, CAST(" + us + " AS BIGINT), " + ts + ")";
    default:
      break;
  }
  return {};
}

std::string DateSql::date_plus_days(const std::string& d, const std::string& n) const {
  return date_of_day(day_number(d) + " + (" + n + ")");
}

std::string DateSql::floor_div(const std::string& a, long long b) const {
  // a less its non-negative remainder divides exactly, whichever way the
  // engine rounds.
  return "(((" + a + ") - " + mod_floor(a, b) + ")" + division() + number(b) + ")";
}

std::string DateSql::trunc_div(const std::string& a, long long b) const {
  return "((" + a + ")" + division() + number(b) + ")";
}

std::string DateSql::mod_floor(const std::string& a, long long b) const {
  return "(((" + a + ") % " + number(b) + " + " + number(b) + ") % " + number(b) + ")";
}

std::string DateSql::integer(const std::string& x) const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(" + x + " AS BIGINT)";
    case Engine::kPsql:
      return "CAST(" + x + " AS bigint)";
    case Engine::kSqlite:
      return "CAST(" + x + " AS INTEGER)";
    case Engine::kDatabricks:
      return "CAST(" + x + " AS BIGINT)";
    case Engine::kTrino:
    case Engine::kPresto:
      return "CAST(" + x + " AS BIGINT)";
    default:
      break;
  }
  return {};
}

std::string DateSql::text(const std::string& x) const {
  if (engine_ == Engine::kDatabricks) return "CAST(" + x + " AS STRING)";
  return "CAST(" + x + (engine_ == Engine::kDuckdb || binds_by_lambda() ? " AS VARCHAR)" : " AS text)");
}

std::string DateSql::zone_offset_micros(const std::string& us, const std::string& zone) {
  return let("from_unixtime(" + floor_div(us, 1000000) + ", " + zone + ")", [&](const std::string& t) {
    return "(timezone_hour(" + t + ") * 3600 + timezone_minute(" + t + ") * 60) * 1000000";
  });
}

std::string DateSql::at_zone(const std::string& ts, const std::string& zone) {
  if (engine_ == Engine::kDatabricks) return "convert_timezone('UTC', " + zone + ", " + ts + ")";
  if (binds_by_lambda())
    return let(ts, [&](const std::string& u) { return "(" + u + " + " + zone_offset_micros(u, zone) + ")"; });
  if (engine_ == Engine::kDuckdb)
    return "CAST((" + ts + " AT TIME ZONE 'UTC') AT TIME ZONE " + zone + " AS TIMESTAMP)";
  return "((" + ts + " AT TIME ZONE 'UTC') AT TIME ZONE " + zone + ")";
}

std::string DateSql::from_zone(const std::string& ts, const std::string& zone) {
  if (engine_ == Engine::kDatabricks) return "convert_timezone(" + zone + ", 'UTC', " + ts + ")";
  // The offset at the civil time read as UTC, then at the instant that gives:
  // right but for the hour a change of offset skips or repeats.
  if (binds_by_lambda())
    return let(ts, [&](const std::string& c) {
      return "(" + c + " - " + zone_offset_micros("(" + c + " - " + zone_offset_micros(c, zone) + ")", zone) +
             ")";
    });
  if (engine_ == Engine::kDuckdb)
    return "CAST((" + ts + " AT TIME ZONE " + zone + ") AT TIME ZONE 'UTC' AS TIMESTAMP)";
  return "((" + ts + " AT TIME ZONE " + zone + ") AT TIME ZONE 'UTC')";
}

std::string DateSql::now_utc() const {
  switch (engine_) {
    case Engine::kDuckdb:
      return "CAST(get_current_timestamp() AT TIME ZONE 'UTC' AS TIMESTAMP)";
    case Engine::kPsql:
      return "(now() AT TIME ZONE 'UTC')";
    case Engine::kSqlite:
      // SQLite's clock has milliseconds.
      return "CAST(round((julianday('now') - 2440587.5) * 86400000) AS INTEGER) * 1000";
    case Engine::kDatabricks:
      return timestamp_of_micros("unix_micros(current_timestamp())");
    case Engine::kTrino:
    case Engine::kPresto:
      // Their clocks have milliseconds.
      return "CAST(round(to_unixtime(current_timestamp) * 1000) AS BIGINT) * 1000";
    default:
      break;
  }
  return {};
}

std::string DateSql::division() const {
  switch (engine_) {
    case Engine::kDuckdb:
      return " // ";
    case Engine::kDatabricks:
      return " DIV ";
    default:
      break;
  }
  return " / ";
}

std::string DateSql::literal(std::string_view text) const {
  // Spark reads a backslash in a literal as an escape, and "${" as a variable.
  std::string out = "'";
  for (char c : text) {
    if (c == '\'' || (c == '\\' && engine_ == Engine::kDatabricks)) out += c;
    if (c == '$' && engine_ == Engine::kDatabricks) {
      out += "\\u0024";
      continue;
    }
    out += c;
  }
  return out + "'";
}

std::string case_of_part(const std::string& part, const PartArms& arms, const std::string& otherwise) {
  std::vector<std::pair<std::vector<std::string>, std::string>> grouped;
  for (const auto& [name, sql] : arms) {
    bool joined = false;
    for (auto& group : grouped) {
      if (group.second == sql) {
        group.first.push_back(name);
        joined = true;
        break;
      }
    }
    if (!joined) grouped.push_back({{name}, sql});
  }
  std::string subject = "upper(" + part + ")";
  std::string out = "(CASE";
  for (const auto& [names, sql] : grouped) {
    if (names.size() == 1) {
      out += " WHEN " + subject + " = '" + names[0] + "' THEN " + sql;
    } else {
      std::string list;
      for (const std::string& name : names) list += (list.empty() ? "'" : ", '") + name + "'";
      out += " WHEN " + subject + " IN (" + list + ") THEN " + sql;
    }
  }
  return out + " ELSE " + otherwise + " END)";
}

}  // namespace mirtova
