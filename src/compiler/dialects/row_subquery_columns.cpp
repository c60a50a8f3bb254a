#include "compiler/dialects/row_subquery_columns.h"

#include <cstddef>
#include <string_view>
#include <vector>

#include "common/indent.h"

namespace mirtova {

namespace {

constexpr SqlLexicon kLexicon{};

bool opens_subquery(std::string_view sql, size_t at) {
  if (sql[at] != '(') return false;
  size_t i = at + 1;
  while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\n')) ++i;
  return sql.substr(i, 6) == "SELECT" && (i + 6 == sql.size() || sql[i + 6] == ' ' || sql[i + 6] == '\n');
}

// Where `token` first stands in `sql` outside literals and brackets; npos if nowhere.
size_t top_level_find(std::string_view sql, std::string_view token) {
  const std::vector<size_t> places = top_level_places(sql, token, kLexicon);
  return places.empty() ? std::string_view::npos : places.front();
}

std::string_view inside(std::string_view subquery) { return subquery.substr(1, subquery.size() - 2); }

// A sub-query of one column read from a FROM: not a record's row, whose
// columns are its fields.
bool of_one_value(std::string_view subquery) {
  const std::string_view inner = inside(subquery);
  const size_t from = top_level_find(inner, "FROM ");
  return from != std::string_view::npos &&
         top_level_find(inner.substr(0, from), ",") == std::string_view::npos;
}

// A combine's sub-query: its one column the aggregate named quoril_value, no grouping.
bool of_one_row(std::string_view subquery) {
  const std::string_view inner = inside(subquery);
  const size_t from = top_level_find(inner, "\nFROM ");
  constexpr std::string_view kValue = " AS quoril_value";
  return from != std::string_view::npos && from >= kValue.size() &&
         inner.substr(from - kValue.size(), kValue.size()) == kValue &&
         top_level_find(inner, "GROUP BY") == std::string_view::npos;
}

}  // namespace

std::optional<std::string> row_subquery_reading_subqueries(
    const std::vector<std::pair<std::string, std::string>>& columns) {
  struct Place {
    size_t column, start, end, subquery;
  };
  std::vector<std::string_view> distinct;
  std::vector<Place> places;
  for (size_t c = 0; c < columns.size(); ++c) {
    const std::string_view sql = columns[c].first;
    for (size_t i = 0; i < sql.size(); ++i) {
      if (const size_t end = enclosure_end(sql, i, kLexicon); end != i) {
        i = end - 1;
      } else if (opens_subquery(sql, i)) {
        const size_t close = closing_bracket(sql, i, kLexicon);
        if (close == sql.size()) return std::nullopt;
        const size_t end = close + 1;
        const std::string_view subquery = sql.substr(i, end - i);
        if (!of_one_value(subquery)) return std::nullopt;
        size_t n = 0;
        while (n < distinct.size() && distinct[n] != subquery) ++n;
        if (n == distinct.size()) distinct.push_back(subquery);
        places.push_back(Place{c, i, end, n});
        i = end - 1;
      }
    }
  }
  if (distinct.empty()) return std::nullopt;
  const bool one_row = of_one_row(distinct[0]);
  for (std::string_view subquery : distinct)
    if (of_one_row(subquery) != one_row) return std::nullopt;
  std::string select;
  size_t next = 0;
  for (size_t c = 0; c < columns.size(); ++c) {
    const std::string_view sql = columns[c].first;
    if (c > 0) select += ", ";
    size_t copied = 0;
    for (; next < places.size() && places[next].column == c; ++next) {
      const Place& place = places[next];
      const std::string read = "mirtova_q" + std::to_string(place.subquery) + ".v";
      select += sql.substr(copied, place.start - copied);
      select += one_row ? read : "arbitrary(" + read + ")";
      copied = place.end;
    }
    select += sql.substr(copied);
    select += " AS " + columns[c].second;
  }
  std::string from;
  for (size_t n = 0; n < distinct.size(); ++n) {
    if (n > 0) from += " CROSS JOIN ";
    from += std::string(distinct[n]) + " AS mirtova_q" + std::to_string(n) + "(v)";
  }
  return "(SELECT " + select + " FROM " + from + ")";
}

}  // namespace mirtova
