#include "compiler/dialects/subqueries_outside_lambdas.h"

#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/dialects/spark_text_scan.h"

namespace mirtova {

namespace {

bool opens_subquery(std::string_view sql, size_t at) {
  if (sql[at] != '(') return false;
  size_t i = at + 1;
  while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\n')) ++i;
  return sql.substr(i, 6) == "SELECT" && (i + 6 == sql.size() || sql[i + 6] == ' ' || sql[i + 6] == '\n');
}

}  // namespace

std::string subqueries_outside_lambdas(std::string call) {
  const std::string_view sql = call;
  std::vector<std::pair<size_t, size_t>> subqueries;  // [start, end) of each
  bool lambda = false;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (const size_t enclosed_end = spark_enclosure_end(sql, i); enclosed_end != i) {
      i = enclosed_end - 1;
    } else if (opens_subquery(sql, i)) {
      const size_t end = spark_closing_bracket(sql, i) + 1;
      subqueries.emplace_back(i, end);
      i = end - 1;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '>') {
      lambda = true;
    }
  }
  if (!lambda || subqueries.empty()) return call;
  std::vector<std::string_view> distinct;
  std::string body, from;
  size_t copied = 0;
  for (const auto& [start, end] : subqueries) {
    const std::string_view subquery = sql.substr(start, end - start);
    size_t n = 0;
    while (n < distinct.size() && distinct[n] != subquery) ++n;
    const std::string name = "mirtova_q" + std::to_string(n);
    if (n == distinct.size()) {
      distinct.push_back(subquery);
      from += std::string(n == 0 ? "" : " CROSS JOIN ") + std::string(subquery) + " AS " + name + "(v)";
    }
    body += std::string(sql.substr(copied, start - copied)) + name + ".v";
    copied = end;
  }
  body += sql.substr(copied);
  return "(SELECT " + body + " FROM " + from + ")";
}

}  // namespace mirtova
