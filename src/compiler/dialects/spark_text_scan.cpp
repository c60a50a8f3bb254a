#include "compiler/dialects/spark_text_scan.h"

namespace mirtova {

SqlLexicon spark_lexicon() { return SqlLexicon{.backslash_escapes = true, .nested_comments = true}; }

size_t spark_enclosure_end(std::string_view sql, size_t at) {
  return enclosure_end(sql, at, spark_lexicon());
}

size_t spark_closing_bracket(std::string_view sql, size_t at) {
  int depth = 0;
  for (size_t i = at; i < sql.size(); ++i) {
    const char c = sql[i];
    if (const size_t end = spark_enclosure_end(sql, i); end != i) {
      i = end - 1;
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
    if (const size_t end = spark_enclosure_end(sql, i); end != i) {
      i = end - 1;
    } else if (c == '(') {
      i = spark_closing_bracket(sql, i);
    } else if (sql.substr(i, token.size()) == token) {
      places.push_back(i);
    }
  }
  return places;
}

}  // namespace mirtova
