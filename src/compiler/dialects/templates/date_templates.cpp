// The date, datetime, time and timestamp functions of the catalogue for DuckDB,
// PostgreSQL, SQLite, Databricks, Trino and Presto, written by DateSql.
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "compiler/dialects/templates/date_sql.h"
#include "compiler/dialects/templates/date_time_functions.h"
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {
namespace {

using Written = std::vector<std::pair<std::string, std::string>>;

// The integers 0 to n (a name or a placeholder) as a list: Trino and Presto
// make at most 10,000 elements in one sequence.
std::string zero_to(const std::string& n) {
  return "flatten(transform(sequence(0, " + n + " / 10000), mirtova_b -> sequence(mirtova_b * 10000, least(" +
         n + ", mirtova_b * 10000 + 9999))))";
}

std::string null_test(const std::vector<std::string>& args) {
  std::string out;
  for (const std::string& arg : args) out += (out.empty() ? "" : " OR ") + arg + " IS NULL";
  return out;
}

// '+HH' or '+HH:MM': how far the civil time `local` is ahead of `utc`.
std::string zone_offset_text(const DateSql& sql, const std::string& local, const std::string& utc) {
  std::string minutes = sql.trunc_div("(" + sql.micros(local) + " - " + sql.micros(utc) + ")", 60000000);
  std::string size = "abs(" + minutes + ")";
  return "((CASE WHEN " + minutes + " < 0 THEN '-' ELSE '+' END) || lpad(" +
         sql.text(sql.trunc_div(size, 60)) + ", 2, '0') || (CASE WHEN " + size +
         " % 60 = 0 THEN '' ELSE ':' || lpad(" + sql.text(size + " % 60") + ", 2, '0') END))";
}

// The dates start + k steps, k = 0, 1, ..., while they do not pass the end.
std::string generate_dates(DateSql& sql, const std::string& start, const std::string& end,
                           const std::string& n, const std::string& part) {
  return sql.let(sql.date(start), [&](const std::string& s) {
    return sql.let(sql.date(end), [&](const std::string& f) {
      const std::string k = "mirtova_k";
      std::string element = date_add(sql, s, k + " * (" + n + ")", part);
      // An upper bound on k: the days between, over the fewest days a step takes.
      std::string fewest =
          "(abs(" + n + ") * (CASE upper(" + part +
          ") WHEN 'DAY' THEN 1 WHEN 'WEEK' THEN 7 WHEN 'MONTH' THEN 28 WHEN 'QUARTER' THEN 89 "
          "ELSE 365 END))";
      std::string days = "abs(" + sql.day_number(f) + " - " + sql.day_number(s) + ")";
      std::string bound = "(" + days + sql.division() + fewest + " + 1)";
      std::string within =
          "((" + n + ") > 0 AND mirtova_e <= " + f + ") OR ((" + n + ") < 0 AND mirtova_e >= " + f + ")";
      // A missing unit makes a missing list, as any other missing argument does.
      std::string nulls = null_test({start, end, n, part});
      switch (sql.engine()) {
        case Engine::kDuckdb:
          return "(CASE WHEN " + nulls + " THEN NULL WHEN " + n +
                 " = 0 THEN error('The step of GenerateDateArray is 0') ELSE "
                 "list_transform(list_filter(list_transform(range(CAST(" +
                 bound + " AS BIGINT) + 1), " + k + " -> " + element + "), mirtova_e -> " + within +
                 "), mirtova_e -> " + sql.date_text("mirtova_e") + ") END)";
        case Engine::kPsql:
          return "(CASE WHEN " + nulls + " THEN NULL ELSE COALESCE((SELECT ARRAY_AGG(" +
                 sql.date_text("mirtova_e") + " ORDER BY " + k + ") FROM (SELECT " + k + ", " + element +
                 " AS mirtova_e FROM generate_series(0, CAST(" + bound + " AS integer)) AS " + k +
                 ") AS mirtova_t WHERE " + within + "), ARRAY[]::text[]) END)";
        case Engine::kSqlite:
          return "(CASE WHEN " + nulls + " THEN NULL WHEN " + n +
                 " = 0 THEN MIRTOVA_ERROR('The step of GenerateDateArray is 0') ELSE (WITH RECURSIVE "
                 "mirtova_r(" +
                 k + ") AS (SELECT 0 UNION ALL SELECT " + k + " + 1 FROM mirtova_r WHERE " + k + " < " +
                 bound + ") SELECT json_group_array(mirtova_e) FROM (SELECT " + element +
                 " AS mirtova_e FROM mirtova_r ORDER BY " + k + ") WHERE " + within + ") END)";
        case Engine::kDatabricks:
          return "(CASE WHEN " + nulls + " THEN NULL WHEN " + n +
                 " = 0 THEN raise_error('The step of GenerateDateArray is 0') ELSE "
                 "transform(filter(transform(sequence(0, CAST(" +
                 bound + " AS INT)), " + k + " -> " + element + "), mirtova_e -> " + within +
                 "), mirtova_e -> " + sql.date_text("mirtova_e") + ") END)";
        case Engine::kTrino:
        case Engine::kPresto:
          return "(CASE WHEN " + nulls + " THEN NULL WHEN " + n + " = 0 THEN " +
                 sql.fail("'The step of GenerateDateArray is 0'", "") + " ELSE " +
                 sql.let(sql.integer(bound),
                         [&](const std::string& count) {
                           return "transform(filter(transform(" + zero_to(count) + ", " + k + " -> " +
                                  element + "), mirtova_e -> " + within + "), mirtova_e -> " +
                                  sql.date_text("mirtova_e") + ")";
                         }) +
                 " END)";
        default:
          break;
      }
      return std::string();
    });
  });
}

// The timestamps start + k steps, k = 0, 1, ..., up to the end.
std::string generate_timestamps(DateSql& sql, const std::string& start, const std::string& end,
                                const std::string& n, const std::string& part) {
  return sql.let(sql.timestamp(start), [&](const std::string& s) {
    return sql.let(sql.timestamp(end), [&](const std::string& f) {
      const std::string k = "mirtova_k";
      std::string step = "(" + sql.integer(n) + " * (CASE upper(" + part + ")";
      for (const auto& [name, micros] : kPartMicros) {
        step += " WHEN '" + std::string(name) + "' THEN " + std::to_string(micros);
      }
      step += " END))";
      std::string count = "((" + sql.micros(f) + " - " + sql.micros(s) + ")" + sql.division() + step + ")";
      std::string element =
          sql.timestamp_text(sql.timestamp_of_micros(sql.micros(s) + " + " + k + " * " + step));
      std::string nulls = null_test({start, end, n});
      switch (sql.engine()) {
        case Engine::kDuckdb:
          return "(CASE WHEN " + nulls + " THEN NULL WHEN " + step + " IS NULL THEN " +
                 sql.bad_part("date", part, "VARCHAR[]") + " WHEN " + step +
                 " = 0 THEN error('The step of GenerateTimestampArray is 0') WHEN " + count +
                 " < 0 THEN [] ELSE list_transform(range(" + count + " + 1), " + k + " -> " + element +
                 ") END)";
        case Engine::kPsql:
          return "(CASE WHEN " + nulls + " THEN NULL WHEN " + step + " IS NULL THEN " +
                 sql.bad_part("date", part, "text[]") + " ELSE COALESCE((SELECT ARRAY_AGG(" + element +
                 " ORDER BY " + k + ") FROM generate_series(0, " + count + ") AS " + k +
                 "), ARRAY[]::text[]) END)";
        case Engine::kSqlite:
          return "(CASE WHEN " + nulls + " THEN NULL WHEN " + step + " IS NULL THEN " +
                 sql.bad_part("date", part, "") + " WHEN " + step +
                 " = 0 THEN MIRTOVA_ERROR('The step of GenerateTimestampArray is 0') ELSE (WITH "
                 "RECURSIVE mirtova_r(" +
                 k + ") AS (SELECT 0 UNION ALL SELECT " + k + " + 1 FROM mirtova_r WHERE " + k + " < " +
                 count + ") SELECT json_group_array(" + element + ") FROM (SELECT " + k +
                 " FROM mirtova_r WHERE " + count + " >= 0 ORDER BY " + k + ")) END)";
        case Engine::kDatabricks:
          return "(CASE WHEN " + nulls + " THEN NULL WHEN " + step + " IS NULL THEN " +
                 sql.bad_part("date", part, "") + " WHEN " + step +
                 " = 0 THEN raise_error('The step of GenerateTimestampArray is 0') WHEN " + count +
                 " < 0 THEN CAST(ARRAY() AS ARRAY<STRING>) ELSE transform(sequence(0, " + count + "), " + k +
                 " -> " + element + ") END)";
        case Engine::kTrino:
        case Engine::kPresto:
          return "(CASE WHEN " + nulls + " THEN NULL WHEN " + step + " IS NULL THEN " +
                 sql.bad_part("date", part, "") + " WHEN " + step + " = 0 THEN " +
                 sql.fail("'The step of GenerateTimestampArray is 0'", "") + " WHEN " + count +
                 " < 0 THEN CAST(ARRAY[] AS ARRAY(VARCHAR)) ELSE " +
                 sql.let(count,
                         [&](const std::string& c) {
                           return "transform(" + zero_to(c) + ", " + k + " -> " + element + ")";
                         }) +
                 " END)";
        default:
          break;
      }
      return std::string();
    });
  });
}

// Every row of one engine; each template written by a DateSql of its own.
Written write_rows(Engine engine) {
  Written rows;
  auto add = [&](std::string name, auto write) {
    DateSql sql(engine);
    rows.emplace_back(std::move(name), write(sql));
  };
  const std::string a = "{0}", b = "{1}", c = "{2}", d = "{3}";

  add("Date/3", [&](DateSql& s) { return s.date_text(s.make_date(a, b, c)); });
  add("Date", [&](DateSql& s) { return s.date_text(s.date_of_timestamp(s.timestamp(a))); });
  add("DateAdd", [&](DateSql& s) { return s.date_text(date_add(s, s.date(a), b, c)); });
  add("DateSub", [&](DateSql& s) { return s.date_text(date_add(s, s.date(a), "-(" + b + ")", c)); });
  add("DateDiff", [&](DateSql& s) { return date_diff(s, s.date(a), s.date(b), c); });
  add("DateTrunc", [&](DateSql& s) { return s.date_text(date_trunc(s, s.date(a), b)); });
  add("UnixDate", [&](DateSql& s) { return s.day_number(s.date(a)); });
  add("DateFromUnixDate", [&](DateSql& s) { return s.date_text(s.date_of_day(a)); });
  add("GenerateDateArray", [&](DateSql& s) { return generate_dates(s, a, b, "1", "'DAY'"); });
  add("GenerateDateArray/4", [&](DateSql& s) { return generate_dates(s, a, b, c, d); });

  add("Datetime/6", [&](DateSql& s) {
    return s.timestamp_text(s.make_timestamp({a, b, c, d, "{4}", "{5}"}));
  });
  add("Datetime", [&](DateSql& s) { return s.timestamp_text(s.timestamp(a)); });
  add("Datetime/2", [&](DateSql& s) {
    if (s.counts_micros())
      return s.timestamp_text("(" + s.day_number(s.date(a)) + " * 86400000000 + " + s.time(b) + ")");
    if (engine == Engine::kDatabricks)
      return s.timestamp_text(s.timestamp_plus_micros(s.timestamp_of_date(s.date(a)), s.time(b)));
    return s.timestamp_text("(" + s.date(a) + " + " + s.time(b) + ")");
  });
  add("Time/3", [&](DateSql& s) { return s.time_text(s.make_time(a, b, c)); });
  add("Time", [&](DateSql& s) { return s.time_text(s.time_of_timestamp(s.timestamp(a))); });
  add("Timestamp", [&](DateSql& s) { return s.timestamp_text(s.timestamp(a)); });
  add("CurrentDatetime", [&](DateSql& s) { return s.timestamp_text(s.now_utc()); });
  add("CurrentTime", [&](DateSql& s) { return s.time_text(s.time_of_timestamp(s.now_utc())); });
  add("String", [&](DateSql& s) { return "(" + s.timestamp_text(s.timestamp(a)) + " || '+00')"; });
  add("DatetimeAdd",
      [&](DateSql& s) { return s.timestamp_text(timestamp_add(s, s.timestamp(a), b, c, true)); });
  add("DatetimeSub", [&](DateSql& s) {
    return s.timestamp_text(timestamp_add(s, s.timestamp(a), "-(" + b + ")", c, true));
  });
  add("DatetimeDiff", [&](DateSql& s) { return timestamp_diff(s, s.timestamp(a), s.timestamp(b), c, true); });
  add("DatetimeTrunc", [&](DateSql& s) { return s.timestamp_text(timestamp_trunc(s, s.timestamp(a), b)); });
  add("TimestampAdd",
      [&](DateSql& s) { return s.timestamp_text(timestamp_add(s, s.timestamp(a), b, c, false)); });
  add("TimestampSub", [&](DateSql& s) {
    return s.timestamp_text(timestamp_add(s, s.timestamp(a), "-(" + b + ")", c, false));
  });
  add("TimestampDiff",
      [&](DateSql& s) { return timestamp_diff(s, s.timestamp(a), s.timestamp(b), c, false); });
  add("TimestampTrunc", [&](DateSql& s) { return s.timestamp_text(timestamp_trunc(s, s.timestamp(a), b)); });
  add("TimeAdd/3", [&](DateSql& s) { return s.time_text(time_add(s, s.time(a), b, c)); });
  add("TimeSub", [&](DateSql& s) { return s.time_text(time_add(s, s.time(a), "-(" + b + ")", c)); });
  add("TimeDiff", [&](DateSql& s) { return time_diff(s, s.time(a), s.time(b), c); });
  add("TimeTrunc", [&](DateSql& s) { return s.time_text(time_trunc(s, s.time(a), b)); });
  add("UnixSeconds", [&](DateSql& s) { return s.floor_div(s.micros(s.timestamp(a)), 1000000); });
  add("UnixMillis", [&](DateSql& s) { return s.floor_div(s.micros(s.timestamp(a)), 1000); });
  add("UnixMicros", [&](DateSql& s) { return s.micros(s.timestamp(a)); });
  for (const auto& [unit, micros] : std::array<std::pair<const char*, const char*>, 3>{
           {{"Seconds", "1000000"}, {"Millis", "1000"}, {"Micros", "1"}}}) {
    auto write = [&, micros = std::string(micros)](DateSql& s) {
      return s.timestamp_text(s.timestamp_of_micros(s.integer(a) + " * " + micros));
    };
    add(std::string("Timestamp") + unit, write);
    add(std::string("TimestampFromUnix") + unit, write);
  }
  add("GenerateTimestampArray", [&](DateSql& s) { return generate_timestamps(s, a, b, c, d); });

  if (DateSql(engine).counts_micros()) {
    // A timestamp plus seconds, as DuckDB's own row has it.
    add("TimeAdd", [&](DateSql& s) {
      return s.timestamp_text("(" + s.timestamp(a) + " + CAST(round(1000000 * " + b + ") AS " +
                              (engine == Engine::kSqlite ? "INTEGER" : "BIGINT") + "))");
    });
  }
  if (engine == Engine::kDatabricks) {
    // Dates are texts here as elsewhere, and the functions BigQuery writes
    // with an interval take the count.
    add("DateAddDay", [&](DateSql& s) { return s.date_text(s.date_plus_days(s.date(a), b)); });
    add("DateDiffDay",
        [&](DateSql& s) { return "(" + s.day_number(s.date(a)) + " - " + s.day_number(s.date(b)) + ")"; });
    add("TimestampAddDays", [&](DateSql& s) {
      return s.timestamp_text(s.timestamp_plus_micros(s.timestamp(a), s.integer(b) + " * 86400000000"));
    });
    add("TimeAdd", [&](DateSql& s) {
      return s.timestamp_text(
          s.timestamp_plus_micros(s.timestamp(a), "CAST(round(1000000 * " + b + ") AS BIGINT)"));
    });
    add("CurrentDate", [&](DateSql& s) { return s.date_text(s.date_of_timestamp(s.now_utc())); });
    add("CurrentTimestamp", [&](DateSql& s) { return s.timestamp_text(s.now_utc()); });
  }
  if (engine == Engine::kSqlite) return rows;
  // A text is read as the other functions here read a timestamp, an offset
  // moving it to UTC; the sum stays the engine's own timestamp.
  if (engine == Engine::kDuckdb) {
    add("TimeAdd", [&](DateSql& s) {
      return "(" + s.timestamp(a) + " + to_microseconds(CAST(1000000 * " + b + " AS BIGINT)))";
    });
  }
  if (engine == Engine::kPsql) {
    add("TimeAdd", [&](DateSql& s) {
      return "(" + s.timestamp(a) + " + CAST(1000000 * " + b + " AS bigint) * INTERVAL '1 microsecond')";
    });
  }
  // Time zones, which SQLite does not know.
  add("Date/2", [&](DateSql& s) { return s.date_text(s.date_of_timestamp(s.at_zone(s.timestamp(a), b))); });
  add("Time/2", [&](DateSql& s) { return s.time_text(s.time_of_timestamp(s.at_zone(s.timestamp(a), b))); });
  // A text without an offset is a civil time in the zone.
  add("Timestamp/2", [&](DateSql& s) {
    return s.timestamp_text("(CASE WHEN " + s.has_offset(a) + " THEN " + s.timestamp(a) + " ELSE " +
                            s.from_zone(s.civil(a), b) + " END)");
  });
  add("CurrentDatetime/1", [&](DateSql& s) { return s.timestamp_text(s.at_zone(s.now_utc(), a)); });
  add("CurrentTime/1",
      [&](DateSql& s) { return s.time_text(s.time_of_timestamp(s.at_zone(s.now_utc(), a))); });
  add("String/2", [&](DateSql& s) {
    if (engine == Engine::kDatabricks) {
      return s.let(s.timestamp(a), [&](const std::string& u) {
        return s.let(s.at_zone(u, b), [&](const std::string& l) {
          return "(" + s.timestamp_text(l) + " || " + zone_offset_text(s, l, u) + ")";
        });
      });
    }
    if (s.binds_by_lambda()) {
      return s.let(s.timestamp(a), [&](const std::string& u) {
        return s.let(s.at_zone(u, b), [&](const std::string& l) {
          return "(" + s.timestamp_text(l) + " || " + zone_offset_text(s, l, u) + ")";
        });
      });
    }
    return "(SELECT " + s.timestamp_text("mirtova_l") + " || " +
           zone_offset_text(s, "mirtova_l", "mirtova_u") + " FROM (SELECT mirtova_u, " +
           s.at_zone("mirtova_u", b) + " AS mirtova_l FROM (SELECT " + s.timestamp(a) +
           " AS mirtova_u) AS mirtova_t) AS mirtova_t)";
  });
  add("TimestampTrunc/3", [&](DateSql& s) {
    return s.timestamp_text(s.from_zone(timestamp_trunc(s, s.at_zone(s.timestamp(a), c), b), c));
  });
  if (DateSql(engine).binds_by_lambda()) {
    // The catalogue's names here are other engines' functions or keywords, or
    // give the engine's own types rather than texts.
    add("CurrentDate", [&](DateSql& s) { return s.date_text(s.date_of_timestamp(s.now_utc())); });
    add("CurrentTimestamp", [&](DateSql& s) { return s.timestamp_text(s.now_utc()); });
    add("DateAddDay", [&](DateSql& s) { return s.date_text(s.date_plus_days(s.date(a), s.integer(b))); });
    add("DateDiffDay",
        [&](DateSql& s) { return "(" + s.day_number(s.date(a)) + " - " + s.day_number(s.date(b)) + ")"; });
    add("TimestampAddDays", [&](DateSql& s) {
      return s.timestamp_text(s.timestamp_plus_micros(s.timestamp(a), s.integer(b) + " * 86400000000"));
    });
  }
  return rows;
}

// The rows of what was written: views of it, which lives as long as the program.
TemplateRows rows_of(const Written& written) {
  TemplateRows out;
  for (const auto& [name, sql] : written) out.push_back({name, sql});
  return out;
}

}  // namespace

// Each engine's rows are written once, by the first caller, under the
// function-local static's guard; read-only afterwards.

TemplateRows databricks_date_rows() {
  static const Written written = write_rows(Engine::kDatabricks);
  return rows_of(written);
}

TemplateRows duckdb_date_rows() {
  static const Written written = write_rows(Engine::kDuckdb);
  return rows_of(written);
}

TemplateRows psql_date_rows() {
  static const Written written = write_rows(Engine::kPsql);
  return rows_of(written);
}

TemplateRows sqlite_date_rows() {
  static const Written written = write_rows(Engine::kSqlite);
  return rows_of(written);
}

TemplateRows trino_date_rows() {
  static const Written written = write_rows(Engine::kTrino);
  return rows_of(written);
}

TemplateRows presto_date_rows() {
  static const Written written = write_rows(Engine::kPresto);
  return rows_of(written);
}

}  // namespace mirtova
