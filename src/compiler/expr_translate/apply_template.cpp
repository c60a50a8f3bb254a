// Template filling in one pass over the template.
#include "compiler/expr_translate/apply_template.h"

#include <algorithm>
#include <cstddef>

#include "common/strings.h"

namespace mirtova {

bool names_positional(std::string_view tmpl) {
  return tmpl.find("{0}") != std::string_view::npos || tmpl.find("{1}") != std::string_view::npos ||
         tmpl.find("{2}") != std::string_view::npos;
}

namespace {

size_t count_percent_s(std::string_view tmpl) {
  size_t count = 0;
  for (size_t at = tmpl.find("%s"); at != std::string_view::npos; at = tmpl.find("%s", at + 2)) {
    ++count;
  }
  return count;
}

// Reads "{digits}" at `at`; answers the index and the length of the placeholder.
bool read_index(std::string_view tmpl, size_t at, size_t& index, size_t& length) {
  if (tmpl[at] != '{') return false;
  size_t i = at + 1;
  size_t value = 0;
  while (i < tmpl.size() && tmpl[i] >= '0' && tmpl[i] <= '9') {
    if (value > 100000) return false;  // no template has such an index
    value = value * 10 + static_cast<size_t>(tmpl[i] - '0');
    ++i;
  }
  if (i == at + 1 || i >= tmpl.size() || tmpl[i] != '}') return false;
  // "{01}" is not the placeholder of argument 1.
  if (tmpl[at + 1] == '0' && i - at - 1 > 1) return false;
  index = value;
  length = i + 1 - at;
  return true;
}

std::string fill_positional(std::string_view tmpl, const std::vector<std::string>& args) {
  std::string out;
  out.reserve(tmpl.size() + 16);
  size_t i = 0;
  while (i < tmpl.size()) {
    size_t index = 0;
    size_t length = 0;
    if (read_index(tmpl, i, index, length) && index < args.size()) {
      out += args[index];
      i += length;
    } else {
      out += tmpl[i];
      ++i;
    }
  }
  return out;
}

std::string fill_sequential(std::string_view tmpl, const std::vector<std::string>& args) {
  size_t total = tmpl.size();
  for (const std::string& a : args) total += a.size();
  std::string out;
  out.reserve(total);
  size_t next = 0;
  size_t i = 0;
  while (i < tmpl.size()) {
    if (tmpl[i] == '%' && i + 1 < tmpl.size() && tmpl[i + 1] == 's') {
      if (next < args.size()) {
        out += args[next++];
      } else {
        out += "%s";
      }
      i += 2;
    } else {
      out += tmpl[i];
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string apply_template(std::string_view tmpl, const std::vector<std::string>& args) {
  if (names_positional(tmpl)) return fill_positional(tmpl, args);
  if (count_percent_s(tmpl) == 1 && args.size() >= 2) {
    std::string out(tmpl);
    size_t at = out.find("%s");
    out.replace(at, 2, join(args, ", "));
    return out;
  }
  return fill_sequential(tmpl, args);
}

size_t filled_size(std::string_view tmpl, const std::vector<std::string>& args) {
  size_t total = 0;
  if (names_positional(tmpl)) {
    for (size_t i = 0; i < tmpl.size();) {
      size_t index = 0, length = 0;
      if (read_index(tmpl, i, index, length) && index < args.size()) {
        total += args[index].size();
        i += length;
      } else {
        ++total;
        ++i;
      }
    }
    return total;
  }
  total = tmpl.size();
  const size_t places = count_percent_s(tmpl);
  const size_t used = places == 1 && args.size() >= 2 ? args.size() : std::min(places, args.size());
  for (size_t i = 0; i < used; ++i) total += args[i].size() + (places == 1 && i > 0 ? 2 : 0);
  return total - 2 * std::min(places, used);
}

size_t arguments_needed(std::string_view tmpl) {
  size_t keywords = 0;
  for (const KeywordPlace& place : keyword_places(tmpl)) keywords = std::max(keywords, place.index + 1);
  if (!names_positional(tmpl) && keywords == 0) {
    size_t count = count_percent_s(tmpl);
    return count >= 2 ? count : 0;
  }
  size_t needed = keywords;
  for (size_t i = 0; i < tmpl.size(); ++i) {
    size_t index = 0, length = 0;
    if (read_index(tmpl, i, index, length) && index + 1 > needed) needed = index + 1;
  }
  return needed;
}

std::vector<KeywordPlace> keyword_places(std::string_view tmpl) {
  std::vector<KeywordPlace> places;
  for (size_t at = tmpl.find('{'); at != std::string_view::npos; at = tmpl.find('{', at + 1)) {
    size_t i = at + 1;
    size_t index = 0;
    while (i < tmpl.size() && tmpl[i] >= '0' && tmpl[i] <= '9' && index < 100000) {
      index = index * 10 + static_cast<size_t>(tmpl[i] - '0');
      ++i;
    }
    if (i == at + 1 || i >= tmpl.size() || tmpl[i] != ':') continue;
    size_t close = tmpl.find('}', i);
    if (close == std::string_view::npos) break;
    places.push_back({index, tmpl.substr(i + 1, close - i - 1), at, close + 1 - at});
    at = close;
  }
  return places;
}

std::optional<std::string_view> keyword_named(std::string_view words, std::string_view text) {
  size_t start = 0;
  while (start <= words.size()) {
    size_t end = words.find('|', start);
    if (end == std::string_view::npos) end = words.size();
    std::string_view word = words.substr(start, end - start);
    bool same = word.size() == text.size();
    for (size_t i = 0; same && i < word.size(); ++i) same = ascii_upper(text[i]) == word[i];
    if (same && !word.empty()) return word;
    start = end + 1;
  }
  return std::nullopt;
}

std::string with_keywords(std::string_view tmpl, const std::vector<KeywordPlace>& places,
                          const std::vector<std::string_view>& chosen) {
  std::string out;
  size_t from = 0;
  for (size_t i = 0; i < places.size() && i < chosen.size(); ++i) {
    out += tmpl.substr(from, places[i].at - from);
    out += chosen[i];
    from = places[i].at + places[i].length;
  }
  out += tmpl.substr(from);
  return out;
}

std::string apply_operator_template(std::string_view tmpl, const std::string& left,
                                    const std::string& right) {
  if (tmpl.find("{left}") == std::string_view::npos && tmpl.find("{right}") == std::string_view::npos) {
    return apply_template(tmpl, {left, right});
  }
  // One pass, for the same reason as apply_template: an operand's text is never
  // searched for the other operand's placeholder.
  std::string out;
  out.reserve(tmpl.size() + left.size() + right.size());
  size_t i = 0;
  while (i < tmpl.size()) {
    if (tmpl.compare(i, 6, "{left}") == 0) {
      out += left;
      i += 6;
    } else if (tmpl.compare(i, 7, "{right}") == 0) {
      out += right;
      i += 7;
    } else {
      out += tmpl[i];
      ++i;
    }
  }
  return out;
}

bool is_bracketed(std::string_view sql) {
  if (sql.size() < 2 || sql.front() != '(' || sql.back() != ')') return false;
  size_t depth = 0;
  char quote = 0;
  for (size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote != 0) {
      // A doubled quote inside a quoted text leaves and enters it again.
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth == 0) return false;
      if (--depth == 0) return i + 1 == sql.size();
    }
  }
  return false;
}

std::string apply_operator_template_once_bracketed(std::string_view tmpl, const std::string& left,
                                                   const std::string& right) {
  constexpr std::string_view kOperand = "(%s)";
  const bool brackets_both = tmpl.size() > 2 * kOperand.size() && tmpl.starts_with(kOperand) &&
                             tmpl.ends_with(kOperand) &&
                             tmpl.find("%s", kOperand.size()) == tmpl.size() - kOperand.size() + 1;
  if (!brackets_both) return apply_operator_template(tmpl, left, right);
  auto operand = [](const std::string& sql) { return is_bracketed(sql) ? sql : "(" + sql + ")"; };
  return operand(left) + std::string(tmpl.substr(kOperand.size(), tmpl.size() - 2 * kOperand.size())) +
         operand(right);
}

}  // namespace mirtova
