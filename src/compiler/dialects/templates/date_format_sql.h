// Writes the Format and Parse functions of dates, datetimes, times and
// timestamps for DuckDB, PostgreSQL, SQLite and Databricks from a format known when compiling.
#pragma once

#include <string>
#include <string_view>

#include "common/engines.h"
#include "common/result.h"

namespace mirtova {

// Whether `name` is one of FormatDate, FormatDatetime, FormatTime,
// FormatTimestamp, ParseDate, ParseDatetime, ParseTime and ParseTimestamp.
bool is_date_format_function(std::string_view name);

// The SQL of a call of one of them on `engine` (DuckDB, PostgreSQL, SQLite or Databricks,
// whose dialects write these functions here): `format` is the text of the literal format
// (%-elements as BigQuery reads them), `value` the SQL of the value to write or
// the text to read; timestamps are written and read in UTC. A format element the
// function does not take is an error whose text is the message.
Result<std::string, std::string> date_format_call(Engine engine, std::string_view name,
                                                  std::string_view format, const std::string& value);

}  // namespace mirtova
