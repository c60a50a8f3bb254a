// BigQuery's date, datetime, time and timestamp rows: an amount and its part
// as an INTERVAL, a part as a keyword, as BigQuery's function reference writes
// them; the part each function takes is the set its reference lists.
#include <string>
#include <utility>
#include <vector>

#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {
namespace {

constexpr std::string_view kWeekdays =
    "WEEK(SUNDAY)|WEEK(MONDAY)|WEEK(TUESDAY)|WEEK(WEDNESDAY)|WEEK(THURSDAY)|WEEK(FRIDAY)|WEEK(SATURDAY)";

using Written = std::vector<std::pair<std::string, std::string>>;

Written write_rows() {
  const std::string time_part = "MICROSECOND|MILLISECOND|SECOND|MINUTE|HOUR";
  const std::string timestamp_step = time_part + "|DAY";
  const std::string date_step = "DAY|WEEK|MONTH|QUARTER|YEAR";
  const std::string datetime_step = time_part + "|" + date_step;
  const std::string date_part = "DAY|WEEK|" + std::string(kWeekdays) + "|ISOWEEK|MONTH|QUARTER|YEAR|ISOYEAR";
  const std::string datetime_part = time_part + "|" + date_part;
  // "{n:...}" takes argument n as one of the parts (see keyword_places).
  auto part = [](int n, const std::string& parts) { return "{" + std::to_string(n) + ":" + parts + "}"; };
  // Dates and times are texts in the tables; BigQuery reads a text as one
  // only when it is a literal, so each is cast to the type the function takes.
  auto as = [](int n, std::string_view type) {
    return "CAST({" + std::to_string(n) + "} AS " + std::string(type) + ")";
  };
  auto add = [&](std::string_view function, std::string_view type, const std::string& parts) {
    return std::string(function) + "(" + as(0, type) + ", INTERVAL {1} " + part(2, parts) + ")";
  };
  auto diff = [&](std::string_view function, std::string_view type, const std::string& parts) {
    return std::string(function) + "(" + as(0, type) + ", " + as(1, type) + ", " + part(2, parts) + ")";
  };
  auto trunc = [&](std::string_view function, std::string_view type, const std::string& parts) {
    return std::string(function) + "(" + as(0, type) + ", " + part(1, parts) + ")";
  };
  auto of = [&](std::string_view function, std::string_view type) {
    return std::string(function) + "(" + as(0, type) + ")";
  };
  return {
      {"DateAdd", add("DATE_ADD", "DATE", date_step)},
      {"DateSub", add("DATE_SUB", "DATE", date_step)},
      {"DateDiff", diff("DATE_DIFF", "DATE", date_part)},
      {"DateTrunc", trunc("DATE_TRUNC", "DATE", date_part)},
      {"DateAddDay", "DATE_ADD(" + as(0, "DATE") + ", INTERVAL {1} DAY)"},
      {"DateDiffDay", "DATE_DIFF(" + as(0, "DATE") + ", " + as(1, "DATE") + ", DAY)"},
      {"DatetimeAdd", add("DATETIME_ADD", "DATETIME", datetime_step)},
      {"DatetimeSub", add("DATETIME_SUB", "DATETIME", datetime_step)},
      {"DatetimeDiff", diff("DATETIME_DIFF", "DATETIME", datetime_part)},
      {"DatetimeTrunc", trunc("DATETIME_TRUNC", "DATETIME", datetime_part)},
      {"TimeAdd/3", add("TIME_ADD", "TIME", time_part)},
      {"TimeSub", add("TIME_SUB", "TIME", time_part)},
      {"TimeDiff", diff("TIME_DIFF", "TIME", time_part)},
      {"TimeTrunc", trunc("TIME_TRUNC", "TIME", time_part)},
      {"TimestampAdd", add("TIMESTAMP_ADD", "TIMESTAMP", timestamp_step)},
      {"TimestampSub", add("TIMESTAMP_SUB", "TIMESTAMP", timestamp_step)},
      {"TimestampDiff", diff("TIMESTAMP_DIFF", "TIMESTAMP", timestamp_step)},
      {"TimestampTrunc", trunc("TIMESTAMP_TRUNC", "TIMESTAMP", datetime_part)},
      {"TimestampTrunc/3",
       "TIMESTAMP_TRUNC(" + as(0, "TIMESTAMP") + ", " + part(1, datetime_part) + ", {2})"},
      {"TimestampAddDays", "TIMESTAMP_ADD(" + as(0, "TIMESTAMP") + ", INTERVAL {1} DAY)"},
      // A timestamp plus seconds, as the other engines have it.
      {"TimeAdd",
       "TIMESTAMP_ADD(" + as(0, "TIMESTAMP") + ", INTERVAL CAST(1000000 * {1} AS INT64) MICROSECOND)"},
      {"GenerateDateArray", "GENERATE_DATE_ARRAY(" + as(0, "DATE") + ", " + as(1, "DATE") + ")"},
      {"GenerateDateArray/4", "GENERATE_DATE_ARRAY(" + as(0, "DATE") + ", " + as(1, "DATE") +
                                  ", INTERVAL {2} " + part(3, date_step) + ")"},
      {"GenerateTimestampArray", "GENERATE_TIMESTAMP_ARRAY(" + as(0, "TIMESTAMP") + ", " +
                                     as(1, "TIMESTAMP") + ", INTERVAL {2} " + part(3, timestamp_step) + ")"},
      {"UnixDate", of("UNIX_DATE", "DATE")},
      {"UnixSeconds", of("UNIX_SECONDS", "TIMESTAMP")},
      {"UnixMillis", of("UNIX_MILLIS", "TIMESTAMP")},
      {"UnixMicros", of("UNIX_MICROS", "TIMESTAMP")},
      {"FormatDate", "FORMAT_DATE({0}, " + as(1, "DATE") + ")"},
      {"FormatDatetime", "FORMAT_DATETIME({0}, " + as(1, "DATETIME") + ")"},
      {"FormatTime", "FORMAT_TIME({0}, " + as(1, "TIME") + ")"},
      {"FormatTimestamp", "FORMAT_TIMESTAMP({0}, " + as(1, "TIMESTAMP") + ")"},
      {"TimestampFromUnixSeconds", "TIMESTAMP_SECONDS({0})"},
      {"TimestampFromUnixMillis", "TIMESTAMP_MILLIS({0})"},
      {"TimestampFromUnixMicros", "TIMESTAMP_MICROS({0})"},
      // BigQuery documents no text argument for these; a text literal could be
      // read as a date, a datetime or a timestamp, a text column as none of
      // them. As a timestamp, read in UTC, each means what it does elsewhere;
      // with a time zone, a timestamp is the one argument BigQuery takes.
      {"Date/1", "DATE(CAST({0} AS TIMESTAMP))"},
      {"Date/2", "DATE(CAST({0} AS TIMESTAMP), {1})"},
      {"Date", "DATE({0}, {1}, {2})"},
      {"Datetime/1", "DATETIME(CAST({0} AS TIMESTAMP))"},
      {"Datetime/2", "DATETIME(" + as(0, "DATE") + ", " + as(1, "TIME") + ")"},
      {"Datetime", "DATETIME({0}, {1}, {2}, {3}, {4}, {5})"},
      {"Time/1", "TIME(CAST({0} AS TIMESTAMP))"},
      {"Time/2", "TIME(CAST({0} AS TIMESTAMP), {1})"},
      {"Time", "TIME({0}, {1}, {2})"},
      {"String/1", "STRING(CAST({0} AS TIMESTAMP))"},
      {"String", "STRING(CAST({0} AS TIMESTAMP), {1})"},
  };
}

}  // namespace

TemplateRows bigquery_date_rows() {
  // Written once, by the first caller, under the function-local static's
  // guard; read-only afterwards.
  static const Written written = write_rows();
  TemplateRows rows;
  for (const auto& [name, sql] : written) rows.push_back({name, sql});
  return rows;
}

}  // namespace mirtova
