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
    if (written.is_str()) names.add(internal, written.as_str());
  }
  return names;
}

void PredicateNames::add(std::string_view internal, std::string_view written) {
  pairs_.push_back(
      Pair{texts_.size(), static_cast<uint32_t>(internal.size()), static_cast<uint32_t>(written.size())});
  texts_ += internal;
  texts_ += written;
}

std::vector<std::pair<std::string, std::string>> PredicateNames::pairs() const {
  std::vector<std::pair<std::string, std::string>> out;
  out.reserve(pairs_.size());
  for (const Pair& pair : pairs_) out.emplace_back(internal_of(pair), written_of(pair));
  return out;
}

PredicateNames PredicateNames::from_pairs(std::vector<std::pair<std::string, std::string>> pairs) {
  PredicateNames names;
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              pairs.end());
  size_t bytes = 0;
  for (const auto& [internal, written] : pairs) bytes += internal.size() + written.size();
  names.texts_.reserve(bytes);
  names.pairs_.reserve(pairs.size());
  for (const auto& [internal, written] : pairs) names.add(internal, written);
  return names;
}

std::string PredicateNames::internal(std::string_view name) const {
  for (const Pair& pair : pairs_) {
    if (written_of(pair) == name) return std::string(internal_of(pair));
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
      auto found = std::lower_bound(
          pairs_.begin(), pairs_.end(), run,
          [this](const Pair& pair, std::string_view word) { return internal_of(pair) < word; });
      if (found != pairs_.end() && internal_of(*found) == run) {
        out += written_of(*found);
        continue;
      }
    }
    out += run;
  }
  return out;
}

}  // namespace mirtova
