#include "compiler/dialects/quoting.h"

#include <algorithm>

#include "common/strings.h"
#include "compiler/dialects/dialect.h"

namespace mirtova {

namespace {

// clang-format off
constexpr std::array<std::string_view, 129> kReservedWords = {
    "ALL", "ALTER", "AND", "ANY", "ARRAY", "AS", "ASC", "AT", "BETWEEN", "BOTH", "BY", "CASE",
    "CAST", "CHECK", "COLLATE", "COLUMN", "CONSTRAINT", "CREATE", "CROSS", "CURRENT_DATE",
    "CURRENT_TIME", "CURRENT_TIMESTAMP", "CURRENT_USER", "DEFAULT", "DELETE", "DESC",
    "DISTINCT", "DO", "DROP", "ELSE", "END", "EXCEPT", "EXISTS", "FALSE", "FETCH", "FOR",
    "FOREIGN", "FROM", "FULL", "GRANT", "GROUP", "GROUPING", "HAVING", "IN", "INNER", "INSERT",
    "INTERSECT", "INTERVAL", "INTO", "IS", "JOIN", "LATERAL", "LEADING", "LEFT", "LIKE",
    "LIMIT", "NATURAL", "NOT", "NULL", "OFFSET", "ON", "ONLY", "OR", "ORDER", "OUTER", "OVER",
    "PARTITION", "PRIMARY", "QUALIFY", "RANGE", "REFERENCES", "RIGHT", "ROW", "ROWS", "SELECT",
    "SESSION_USER", "SET", "SOME", "TABLE", "THEN", "TO", "TRAILING", "TRUE", "UNION",
    "UNIQUE", "UNNEST", "UPDATE", "USER", "USING", "VALUES", "WHEN", "WHERE", "WINDOW", "WITH",
    "CUBE", "CURRENT_CATALOG", "CURRENT_PATH", "CURRENT_ROLE", "CURRENT_SCHEMA", "DEALLOCATE",
    "DESCRIBE", "ESCAPE", "EXECUTE", "EXTRACT", "JSON_ARRAY", "JSON_EXISTS", "JSON_OBJECT",
    "JSON_QUERY", "JSON_TABLE", "JSON_VALUE", "LISTAGG", "LOCALTIME", "LOCALTIMESTAMP",
    "NORMALIZE", "PREPARE", "RECURSIVE", "ROLLUP", "SKIP", "TRIM", "UESCAPE", "ANALYSE",
    "ANALYZE", "ASYMMETRIC", "DEFERRABLE", "INITIALLY", "PLACING", "RETURNING", "SYMMETRIC",
    "VARIADIC"};
// clang-format on

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const std::array<std::string_view, 129>& sql_reserved_words() { return kReservedWords; }

bool is_sql_reserved_word(std::string_view word) {
  // Every column name passes here: one halving search of a table sorted at
  // compile time, instead of a scan of all the words.
  static constexpr size_t kLongest = [] {
    size_t longest = 0;
    for (std::string_view reserved : kReservedWords) longest = std::max(longest, reserved.size());
    return longest;
  }();
  static constexpr auto kSorted = [] {
    auto sorted = kReservedWords;
    std::sort(sorted.begin(), sorted.end());
    return sorted;
  }();
  // Per length, the first letters that reserved words of that length begin
  // with: most names are told apart by these two facts alone.
  static constexpr auto kFirstLetters = [] {
    std::array<uint32_t, kLongest + 1> letters{};
    for (std::string_view reserved : kReservedWords) letters[reserved.size()] |= 1u << (reserved[0] - 'A');
    return letters;
  }();
  if (word.size() > kLongest || word.empty()) return false;
  const char first = ascii_upper(word[0]);
  if (first < 'A' || first > 'Z' || (kFirstLetters[word.size()] & (1u << (first - 'A'))) == 0) return false;
  char upper[kLongest];
  for (size_t i = 0; i < word.size(); ++i) upper[i] = ascii_upper(word[i]);
  return std::binary_search(kSorted.begin(), kSorted.end(), std::string_view(upper, word.size()));
}

bool is_plain_identifier(std::string_view name) {
  if (name.empty()) return false;
  if (!is_ascii_letter(name[0]) && name[0] != '_') return false;
  for (char c : name) {
    if (!is_ascii_letter(c) && !is_ascii_digit(c) && c != '_') return false;
  }
  return true;
}

std::string clean_name(std::string_view predicate) {
  std::string out;
  for (char c : predicate) {
    if (c == '`') continue;
    out += (is_ascii_letter(c) || is_ascii_digit(c) || c == '_') ? c : '_';
  }
  if (out.empty() || is_ascii_digit(out[0])) out.insert(out.begin(), '_');
  return out;
}

std::string_view unquoted_name(std::string_view name) {
  if (name.size() > 2 && name.front() == '`' && name.back() == '`' &&
      name.substr(1, name.size() - 2).find('`') == std::string_view::npos) {
    return name.substr(1, name.size() - 2);
  }
  return name;
}

std::string sql_column(std::string_view name, const Dialect& dialect) {
  // The engine's own quoting protects whatever the backquotes held.
  name = unquoted_name(name);
  if (is_plain_identifier(name) && !is_sql_reserved_word(name)) return std::string(name);
  return dialect.quote_identifier(name);
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (true) {
    size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text, pos, hit - pos);
    out += to;
    pos = hit + from.size();
  }
  out.append(text, pos);
  return out;
}

std::string quoted_doubling(std::string_view name, char quote) {
  std::string out;
  out.reserve(name.size() + 2);
  out += quote;
  for (char c : name) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
}

std::string single_quoted_literal(std::string_view text) { return quoted_doubling(text, '\''); }

std::string backslash_escaped_literal(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '"') {
      out += "\\u0022";
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

}  // namespace mirtova
