#include "compiler/dialects/spark_text_scan.h"

namespace mirtova {

size_t spark_quoted_end(std::string_view sql, size_t at) {
  const char quote = sql[at];
  for (size_t i = at + 1; i < sql.size(); ++i) {
    if (sql[i] == '\\' && quote != '`') {
      ++i;
    } else if (sql[i] == quote) {
      if (quote != '`' || i + 1 >= sql.size() || sql[i + 1] != '`') return i + 1;
      ++i;
    }
  }
  return sql.size();
}

size_t spark_closing_bracket(std::string_view sql, size_t at) {
  int depth = 0;
  for (size_t i = at; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`') {
      i = spark_quoted_end(sql, i) - 1;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return i;
    }
  }
  return sql.size();
}

std::vector<size_t> spark_top_level_places(std::string_view sql, std::string_view token) {
  std::vector<size_t> places;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`') {
      i = spark_quoted_end(sql, i) - 1;
    } else if (c == '(') {
      i = spark_closing_bracket(sql, i);
    } else if (sql.substr(i, token.size()) == token) {
      places.push_back(i);
    }
  }
  return places;
}

}  // namespace mirtova
