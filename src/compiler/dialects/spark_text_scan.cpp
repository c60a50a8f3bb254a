#include "compiler/dialects/spark_text_scan.h"

namespace mirtova {

SqlLexicon spark_lexicon() { return SqlLexicon{.backslash_escapes = true, .nested_comments = true}; }

size_t spark_enclosure_end(std::string_view sql, size_t at) {
  return enclosure_end(sql, at, spark_lexicon());
}

size_t spark_closing_bracket(std::string_view sql, size_t at) {
  return closing_bracket(sql, at, spark_lexicon());
}

std::vector<size_t> spark_top_level_places(std::string_view sql, std::string_view token) {
  return top_level_places(sql, token, spark_lexicon());
}

}  // namespace mirtova
