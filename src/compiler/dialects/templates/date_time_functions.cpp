// Date and time arithmetic, differences and truncation by a named part.
#include "compiler/dialects/templates/date_time_functions.h"

#include <array>
#include <string_view>

namespace mirtova {
namespace {

constexpr std::array<std::string_view, 5> kBelowDay = {"MICROSECOND", "MILLISECOND", "SECOND", "MINUTE",
                                                       "HOUR"};
constexpr std::array<std::string_view, 7> kDayAndLonger = {"DAY",     "WEEK", "ISOWEEK", "MONTH",
                                                           "QUARTER", "YEAR", "ISOYEAR"};

long long part_micros(std::string_view part) {
  for (const auto& [name, micros] : kPartMicros) {
    if (name == part) return micros;
  }
  return 0;
}

// The week of day number dn, weeks starting `offset` days before each
// 1970-01-01 + 7k (4: on Sunday, 3: on Monday).
std::string week_number(const DateSql& sql, const std::string& dn, int offset) {
  return sql.floor_div(dn + " + " + std::to_string(offset), 7);
}

// The date of day number dn's week start.
std::string week_start(const DateSql& sql, const std::string& d, int offset) {
  std::string dn = sql.day_number(d);
  return sql.date_of_day(dn + " - " + sql.mod_floor(dn + " + " + std::to_string(offset), 7));
}

}  // namespace

std::string date_add(DateSql& sql, const std::string& date, const std::string& n, const std::string& part) {
  return sql.let(date, [&](const std::string& d) {
    PartArms arms = {{"DAY", sql.date_plus_days(d, n)},
                     {"WEEK", sql.date_plus_days(d, "7 * (" + n + ")")},
                     {"MONTH", sql.add_months(d, n)},
                     {"QUARTER", sql.add_months(d, "3 * (" + n + ")")},
                     {"YEAR", sql.add_months(d, "12 * (" + n + ")")}};
    return case_of_part(part, arms, sql.bad_part("date", part, "date"));
  });
}

std::string date_diff(DateSql& sql, const std::string& first, const std::string& second,
                      const std::string& part) {
  return sql.let(first, [&](const std::string& a) {
    return sql.let(second, [&](const std::string& b) {
      std::string da = sql.day_number(a);
      std::string db = sql.day_number(b);
      std::string quarter_a = sql.trunc_div(sql.month(a) + " - 1", 3);
      std::string quarter_b = sql.trunc_div(sql.month(b) + " - 1", 3);
      PartArms arms = {{"DAY", "(" + da + " - " + db + ")"},
                       {"WEEK", "(" + week_number(sql, da, 4) + " - " + week_number(sql, db, 4) + ")"},
                       {"ISOWEEK", "(" + week_number(sql, da, 3) + " - " + week_number(sql, db, 3) + ")"},
                       {"MONTH", "((" + sql.year(a) + " * 12 + " + sql.month(a) + ") - (" + sql.year(b) +
                                     " * 12 + " + sql.month(b) + "))"},
                       {"QUARTER", "((" + sql.year(a) + " * 4 + " + quarter_a + ") - (" + sql.year(b) +
                                       " * 4 + " + quarter_b + "))"},
                       {"YEAR", "(" + sql.year(a) + " - " + sql.year(b) + ")"},
                       {"ISOYEAR", "(" + sql.isoyear(a) + " - " + sql.isoyear(b) + ")"}};
      return case_of_part(part, arms, sql.bad_part("date", part, "bigint"));
    });
  });
}

std::string date_trunc(DateSql& sql, const std::string& date, const std::string& part) {
  return sql.let(date, [&](const std::string& d) {
    std::string y = sql.year(d);
    std::string m = sql.month(d);
    std::string quarter_month = sql.trunc_div(m + " - 1", 3) + " * 3 + 1";
    std::string month_start, quarter_start, year_start, iso_january_4;
    if (sql.engine() == Engine::kSqlite) {
      // printf writes a missing year as 0: no date has none.
      auto dated = [&](const std::string& text) {
        return "(CASE WHEN " + y + " IS NULL THEN NULL ELSE " + text + " END)";
      };
      month_start = dated("printf('%04d-%02d-01', " + y + ", " + m + ")");
      quarter_start = dated("printf('%04d-%02d-01', " + y + ", " + quarter_month + ")");
      year_start = dated("printf('%04d-01-01', " + y + ")");
      iso_january_4 = dated("printf('%04d-01-04', " + sql.isoyear(d) + ")");
    } else {
      month_start = sql.make_date(y, m, "1");
      quarter_start = sql.make_date(y, quarter_month, "1");
      year_start = sql.make_date(y, "1", "1");
      iso_january_4 = sql.make_date(sql.isoyear(d), "1", "4");
    }
    // The ISO year starts on the Monday of the week of its January 4.
    PartArms arms = {{"DAY", d},
                     {"WEEK", week_start(sql, d, 4)},
                     {"ISOWEEK", week_start(sql, d, 3)},
                     {"MONTH", month_start},
                     {"QUARTER", quarter_start},
                     {"YEAR", year_start},
                     {"ISOYEAR", week_start(sql, iso_january_4, 3)}};
    return case_of_part(part, arms, sql.bad_part("date", part, "date"));
  });
}

std::string timestamp_add(DateSql& sql, const std::string& timestamp, const std::string& n,
                          const std::string& part, bool civil) {
  return sql.let(timestamp, [&](const std::string& ts) {
    PartArms arms;
    for (const auto& [name, micros] : kPartMicros) {
      arms.push_back({std::string(name),
                      sql.timestamp_plus_micros(ts, sql.integer(n) + " * " + std::to_string(micros))});
    }
    if (civil) {
      arms.push_back({"WEEK", sql.timestamp_plus_micros(
                                  ts, sql.integer(n) + " * " + std::to_string(7 * part_micros("DAY")))});
      arms.push_back({"MONTH", sql.timestamp_add_months(ts, n)});
      arms.push_back({"QUARTER", sql.timestamp_add_months(ts, "3 * (" + n + ")")});
      arms.push_back({"YEAR", sql.timestamp_add_months(ts, "12 * (" + n + ")")});
    }
    return case_of_part(part, arms, sql.bad_part("date", part, "timestamp"));
  });
}

std::string timestamp_diff(DateSql& sql, const std::string& first, const std::string& second,
                           const std::string& part, bool civil) {
  return sql.let(first, [&](const std::string& a) {
    return sql.let(second, [&](const std::string& b) {
      std::string diff = "(" + sql.micros(a) + " - " + sql.micros(b) + ")";
      PartArms arms;
      for (const auto& [name, micros] : kPartMicros) {
        if (civil && name == "DAY") break;
        arms.push_back({std::string(name), sql.trunc_div(diff, micros)});
      }
      if (civil) {
        std::string days = date_diff(sql, sql.date_of_timestamp(a), sql.date_of_timestamp(b), part);
        for (std::string_view name : kDayAndLonger) arms.push_back({std::string(name), days});
      }
      return case_of_part(part, arms, sql.bad_part("date", part, "bigint"));
    });
  });
}

std::string timestamp_trunc(DateSql& sql, const std::string& timestamp, const std::string& part) {
  return sql.let(timestamp, [&](const std::string& ts) {
    std::string us = sql.micros(ts);
    PartArms arms;
    for (std::string_view name : kBelowDay) {
      arms.push_back(
          {std::string(name), sql.timestamp_of_micros(us + " - " + sql.mod_floor(us, part_micros(name)))});
    }
    std::string whole = sql.timestamp_of_date(date_trunc(sql, sql.date_of_timestamp(ts), part));
    for (std::string_view name : kDayAndLonger) arms.push_back({std::string(name), whole});
    return case_of_part(part, arms, sql.bad_part("date", part, "timestamp"));
  });
}

std::string time_add(DateSql& sql, const std::string& time, const std::string& n, const std::string& part) {
  return sql.let(time, [&](const std::string& t) {
    std::string unit = "(CASE upper(" + part + ")";
    std::string known;
    for (std::string_view name : kBelowDay) {
      unit += " WHEN '" + std::string(name) + "' THEN " + std::to_string(part_micros(name));
      known += (known.empty() ? "'" : ", '") + std::string(name) + "'";
    }
    unit += " END)";
    std::string us =
        sql.mod_floor(sql.time_micros(t) + " + " + sql.integer(n) + " * " + unit, part_micros("DAY"));
    return "(CASE WHEN upper(" + part + ") IN (" + known + ") THEN " + sql.time_of_micros(us) + " ELSE " +
           sql.bad_part("time", part, "time") + " END)";
  });
}

std::string time_diff(DateSql& sql, const std::string& first, const std::string& second,
                      const std::string& part) {
  return sql.let(first, [&](const std::string& a) {
    return sql.let(second, [&](const std::string& b) {
      std::string diff = "(" + sql.time_micros(a) + " - " + sql.time_micros(b) + ")";
      PartArms arms;
      for (std::string_view name : kBelowDay)
        arms.push_back({std::string(name), sql.trunc_div(diff, part_micros(name))});
      return case_of_part(part, arms, sql.bad_part("time", part, "bigint"));
    });
  });
}

std::string time_trunc(DateSql& sql, const std::string& time, const std::string& part) {
  return sql.let(time, [&](const std::string& t) {
    std::string us = sql.time_micros(t);
    PartArms arms;
    for (std::string_view name : kBelowDay) {
      arms.push_back(
          {std::string(name), sql.time_of_micros(us + " - " + sql.mod_floor(us, part_micros(name)))});
    }
    return case_of_part(part, arms, sql.bad_part("time", part, "time"));
  });
}

}  // namespace mirtova
