#include "compiler/program/statement_stages.h"

#include <algorithm>
#include <map>

namespace mirtova {

namespace {

constexpr uint64_t kSaturated = UINT64_MAX / 4;

uint64_t saturating_add(uint64_t a, uint64_t b) { return std::min(kSaturated, a + b); }

bool is_word(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The stages `body` plans by itself: its SELECTs, the quoted tables it reads
// ("name" AS alias), a join for each item of a FROM past its first, a
// gathering of rows for each DISTINCT and GROUP BY, less one for each UNION,
// whose branches run in the stage of their reader; and the clauses it reads
// (name AS alias), each by its index. Only Trino and Presto ask, whose text
// literals and quoted names double a quote within.
struct Reads {
  uint64_t own = 0;
  std::vector<size_t> clauses;
};

bool is_keyword_closing_from(std::string_view word) {
  return word == "WHERE" || word == "GROUP" || word == "UNION" || word == "ORDER" || word == "LIMIT" ||
         word == "HAVING" || word == "OFFSET" || word == "FETCH" || word == "SELECT";
}

Reads reads_of(std::string_view body, const std::map<std::string_view, size_t, std::less<>>& clause_index) {
  Reads reads;
  uint64_t unions = 0;
  // Per depth of parentheses, whether a FROM's items are being read there.
  std::vector<bool> in_from(1, false);
  std::string_view previous;
  constexpr std::string_view kAs = " AS ";
  for (size_t i = 0; i < body.size();) {
    // A text literal or a quoted name holds no read, whatever words it holds.
    if (body[i] == '\'' || body[i] == '"' || body[i] == '`') {
      size_t close = body.find(body[i], i + 1);
      while (close != std::string_view::npos && close + 1 < body.size() && body[close + 1] == body[i])
        close = body.find(body[i], close + 2);
      if (close == std::string_view::npos) break;
      if (body[i] != '\'' && body.compare(close + 1, kAs.size(), kAs) == 0) ++reads.own;
      i = close + 1;
      continue;
    }
    if (!is_word(body[i])) {
      if (body[i] == '(') {
        in_from.push_back(false);
      } else if (body[i] == ')' && in_from.size() > 1) {
        in_from.pop_back();
      } else if (body[i] == ',' && in_from.back()) {
        ++reads.own;
      }
      ++i;
      continue;
    }
    size_t end = i;
    while (end < body.size() && is_word(body[end])) ++end;
    const std::string_view word = body.substr(i, end - i);
    const bool starts_word = i == 0 || (body[i - 1] != '.' && body[i - 1] != '"' && body[i - 1] != '`');
    if (word[0] >= 'A' && word[0] <= 'Z' && word.size() >= 4 && word.size() <= 8) {
      // "x IS [NOT] DISTINCT FROM y" is a comparison.
      const bool comparison =
          word == "DISTINCT" ? previous == "IS" || previous == "NOT" : previous == "DISTINCT";
      if (word == "SELECT" || (word == "DISTINCT" && !comparison) || word == "GROUP" || word == "JOIN")
        ++reads.own;
      if (word == "UNION") ++unions;
      if (word == "FROM" && !comparison) in_from.back() = true;
      if (is_keyword_closing_from(word)) in_from.back() = false;
    }
    previous = word;
    if (starts_word && body.compare(end, kAs.size(), kAs) == 0) {
      if (auto found = clause_index.find(word); found != clause_index.end())
        reads.clauses.push_back(found->second);
    }
    i = end;
  }
  reads.own = reads.own > unions ? reads.own - unions : 0;
  return reads;
}

// The query of a statement that creates a table from one ("CREATE TABLE name
// AS" on a line of its own); the statement itself otherwise.
std::string_view query_of(std::string_view statement) {
  const size_t line_end = statement.find('\n');
  if (!statement.starts_with("CREATE TABLE ") || line_end == std::string_view::npos) return statement;
  const std::string_view first_line = statement.substr(0, line_end);
  return first_line.ends_with(" AS") ? statement.substr(line_end + 1) : statement;
}

StatementStages query_stages(std::string_view statement);

}  // namespace

StatementStages statement_stages(std::string_view text) {
  // A step may drop a table and create it again from a query: the costliest
  // of its statements is measured.
  StatementStages out;
  bool measured = false;
  for (size_t at = 0; at <= text.size();) {
    size_t end = text.find(";\n", at);
    if (end == std::string_view::npos) end = text.size();
    StatementStages stages = query_stages(query_of(text.substr(at, end - at)));
    if (!measured || stages.total > out.total) out = std::move(stages);
    measured = true;
    at = end + 2;
  }
  return out;
}

namespace {

StatementStages query_stages(std::string_view statement) {
  // The clauses, each between its opening line and the line that closes it.
  struct Clause {
    std::string_view alias, body;
  };
  std::vector<Clause> clauses;
  std::string_view main = statement;
  constexpr std::string_view kOpen = " AS (\n";
  if (statement.substr(0, 5) == "WITH ") {
    size_t at = 5;
    while (true) {
      const size_t open = statement.find(kOpen, at);
      if (open == std::string_view::npos) break;
      const std::string_view alias = statement.substr(at, open - at);
      const size_t body_start = open + kOpen.size();
      size_t close = body_start;
      bool more = false;
      bool found = false;
      for (size_t line = body_start; line < statement.size();) {
        size_t next = statement.find('\n', line);
        if (next == std::string_view::npos) next = statement.size();
        const std::string_view text = statement.substr(line, next - line);
        if (text == ")" || text == "),") {
          close = line;
          more = text == "),";
          found = true;
          break;
        }
        line = next + 1;
      }
      if (!found) break;
      clauses.push_back({alias, statement.substr(body_start, close - body_start)});
      at = close + (more ? 3 : 2);
      main = statement.substr(std::min(at, statement.size()));
      if (!more) break;
    }
  }
  std::map<std::string_view, size_t, std::less<>> clause_index;
  for (size_t i = 0; i < clauses.size(); ++i) clause_index.emplace(clauses[i].alias, i);

  // A clause reads only those written before it.
  StatementStages out;
  std::vector<Reads> reads;
  for (size_t i = 0; i < clauses.size(); ++i) {
    reads.push_back(reads_of(clauses[i].body, clause_index));
    std::erase_if(reads.back().clauses, [i](size_t read) { return read >= i; });
    uint64_t stages = reads.back().own;
    for (size_t read : reads.back().clauses) stages = saturating_add(stages, out.clauses[read].stages);
    out.clauses.push_back({std::string(clauses[i].alias), 0, stages});
  }
  const Reads top = reads_of(main, clause_index);
  out.total = top.own;
  for (size_t read : top.clauses) {
    out.total = saturating_add(out.total, out.clauses[read].stages);
    ++out.clauses[read].reads;
  }
  // Reads spread from the last clause to the first: each read of a clause is
  // a read of every clause it reads.
  for (size_t i = clauses.size(); i-- > 0;)
    for (size_t read : reads[i].clauses)
      out.clauses[read].reads = saturating_add(out.clauses[read].reads, out.clauses[i].reads);
  return out;
}

}  // namespace

}  // namespace mirtova
