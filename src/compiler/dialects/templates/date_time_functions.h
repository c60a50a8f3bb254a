// The date, datetime, time and timestamp functions written over the primitives
// of one engine: arithmetic, differences and truncation by a named part.
#pragma once

#include <string>

#include "compiler/dialects/templates/date_sql.h"

namespace mirtova {

// Each takes and gives the engine's own values (see DateSql); `part` is the SQL
// of a text naming the part, in any case; an unknown part fails when run.
std::string date_add(DateSql& sql, const std::string& d, const std::string& n, const std::string& part);
// Part boundaries between two dates: weeks start on Sunday, ISO weeks on Monday.
std::string date_diff(DateSql& sql, const std::string& a, const std::string& b, const std::string& part);
std::string date_trunc(DateSql& sql, const std::string& d, const std::string& part);
// A timestamp plus n parts up to a day; a civil datetime also adds weeks,
// months, quarters and years.
std::string timestamp_add(DateSql& sql, const std::string& ts, const std::string& n, const std::string& part,
                          bool civil);
// Whole parts from b to a, rounded toward zero; a civil datetime counts the
// boundaries of days and longer parts, as dates do.
std::string timestamp_diff(DateSql& sql, const std::string& a, const std::string& b, const std::string& part,
                           bool civil);
std::string timestamp_trunc(DateSql& sql, const std::string& ts, const std::string& part);
// Times wrap around midnight.
std::string time_add(DateSql& sql, const std::string& t, const std::string& n, const std::string& part);
std::string time_diff(DateSql& sql, const std::string& a, const std::string& b, const std::string& part);
std::string time_trunc(DateSql& sql, const std::string& t, const std::string& part);

}  // namespace mirtova
