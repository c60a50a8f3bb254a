// Trino takes a sub-query of no FROM as a ROW named by its columns, but fails
// ("Given correlated subquery is not supported") where one of those columns
// holds a sub-query that refers to the query around: it decorrelates such a
// sub-query only in a FROM. The columns' sub-queries are read from there.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mirtova {

// "(SELECT <sql> AS <name>, ...)" for `columns` (SQL, quoted name), with every
// outermost sub-query of their SQL read from a FROM item "(q) AS mirtova_qN(v)",
// each distinct one once. A combine's aggregate has one row, read as it is; any
// other sub-query has at most one and is read by arbitrary(), so that no row
// still gives NULL. None where no column holds a sub-query, where both kinds are
// held (one grouping cannot read them together), or where one is a row of
// several columns (a record, read by its own columns only).
std::optional<std::string> row_subquery_reading_subqueries(
    const std::vector<std::pair<std::string, std::string>>& columns);

}  // namespace mirtova
