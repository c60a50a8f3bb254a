#include "parser/names.h"

#include <algorithm>

#include "parser/unicode_tables.h"
#include "parser/utf8.h"

namespace mirtova {

namespace {

bool is_name_char(char32_t c) { return c == U'_' || is_alphabetic(c) || is_number_category(c); }

// The byte length of the character at `at` and whether it continues a word;
// a byte that is no valid UTF-8 separates words.
std::pair<size_t, bool> char_at(std::string_view text, size_t at) {
  std::optional<DecodedChar> c = decode_utf8(text, at);
  if (!c) return {1, false};
  return {c->length, is_name_char(c->code_point)};
}

}  // namespace

PredicateNames PredicateNames::of(const Json& program) {
  PredicateNames names;
  const Json::ObjectType& top = program.as_object();
  auto it = top.find("predicate_names");
  if (it == top.end() || !it->second.is_object()) return names;
  for (const auto& [internal, written] : it->second.as_object()) {
    if (written.is_str()) names.pairs_.emplace_back(internal, written.as_str());
  }
  return names;
}

PredicateNames PredicateNames::from_pairs(std::vector<std::pair<std::string, std::string>> pairs) {
  PredicateNames names;
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              pairs.end());
  names.pairs_ = std::move(pairs);
  return names;
}

std::string PredicateNames::internal(std::string_view name) const {
  for (const auto& [internal_name, written_name] : pairs_) {
    if (written_name == name) return internal_name;
  }
  return std::string(name);
}

std::string PredicateNames::written(std::string_view message) const {
  if (pairs_.empty()) return std::string(message);
  std::string out;
  out.reserve(message.size());
  size_t at = 0;
  while (at < message.size()) {
    size_t run_start = at;
    bool in_word = char_at(message, at).second;
    while (at < message.size()) {
      auto [length, word_char] = char_at(message, at);
      if (word_char != in_word) break;
      at += length;
    }
    std::string_view run = message.substr(run_start, at - run_start);
    if (in_word) {
      // Internal names are unique and sorted, so the first match is the only one.
      auto found =
          std::lower_bound(pairs_.begin(), pairs_.end(), run,
                           [](const auto& pair, std::string_view word) { return pair.first < word; });
      if (found != pairs_.end() && found->first == run) {
        out += found->second;
        continue;
      }
    }
    out += run;
  }
  return out;
}

}  // namespace mirtova
