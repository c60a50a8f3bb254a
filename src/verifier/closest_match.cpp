// The closest known name to a misspelt one, by edit distance over characters.
#include "verifier/closest_match.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "parser/utf8.h"

namespace mirtova::verifier {

namespace {

// bounded_distance in the two rows given, which it may resize; none when it
// would fill more than `max_cells` cells in all.
std::optional<size_t> distance_in(std::u32string_view a, std::u32string_view b, size_t bound,
                                  std::vector<size_t>& prev, std::vector<size_t>& cur, size_t& cells,
                                  size_t max_cells) {
  const size_t n = a.size(), m = b.size(), over = bound + 1;
  if ((n > m ? n - m : m - n) > bound) return over;
  // Only a band is ever read: each row writes `over` one past both ends of
  // its band, so the next row reads no value left from an older row.
  const size_t first = std::min(m, bound);
  if (max_cells - cells < first + 2) return std::nullopt;
  cells += first + 2;
  if (prev.size() < m + 2) prev.resize(m + 2);
  if (cur.size() < m + 2) cur.resize(m + 2);
  for (size_t j = 0; j <= first; ++j) prev[j] = j;
  prev[first + 1] = over;
  for (size_t i = 1; i <= n; ++i) {
    const size_t lo = i > bound ? i - bound : 0, hi = std::min(m, i + bound);
    if (max_cells - cells < hi - lo + 1) return std::nullopt;
    size_t row_min = over, j = lo;
    if (lo == 0) {
      cur[0] = row_min = i;
      j = 1;
    } else {
      cur[lo - 1] = over;
    }
    for (; j <= hi; ++j) {
      size_t v = std::min({prev[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1), prev[j] + 1, cur[j - 1] + 1});
      cur[j] = std::min(v, over);
      row_min = std::min(row_min, cur[j]);
    }
    cur[hi + 1] = over;
    cells += hi - lo + 1;
    // Distances never fall along a path, so a row beyond the bound ends it.
    if (row_min > bound) return over;
    std::swap(prev, cur);
  }
  return prev[m];
}

}  // namespace

size_t bounded_distance(std::u32string_view a, std::u32string_view b, size_t bound, size_t& cells) {
  std::vector<size_t> prev, cur;
  return *distance_in(a, b, bound, prev, cur, cells, SIZE_MAX);
}

namespace {

constexpr size_t kNone = SIZE_MAX;

// FNV-1a over the characters of `s` but those at `skip` and `also`.
uint64_t hash_without(const std::u32string& s, size_t skip, size_t also) {
  uint64_t h = 14695981039346656037ull;
  for (size_t i = 0; i < s.size(); ++i) {
    if (i == skip || i == also) continue;
    h = (h ^ static_cast<uint64_t>(s[i])) * 1099511628211ull;
  }
  return h;
}

// The hashes of the texts `s` leaves after at most one deletion (`two` clear)
// or after exactly two (`two` set), each once.
std::vector<uint64_t> deletion_keys(const std::u32string& s, bool two) {
  std::vector<uint64_t> keys;
  if (!two) {
    keys.push_back(hash_without(s, kNone, kNone));
    for (size_t i = 0; i < s.size(); ++i) keys.push_back(hash_without(s, i, kNone));
  } else {
    for (size_t i = 0; i < s.size(); ++i)
      for (size_t j = i + 1; j < s.size(); ++j) keys.push_back(hash_without(s, i, j));
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

}  // namespace

Suggester::Suggester(const std::vector<std::string_view>& candidates, size_t budget) : budget_(budget) {
  candidates_.reserve(candidates.size());
  for (std::string_view text : candidates) {
    const auto index = static_cast<uint32_t>(candidates_.size());
    candidates_.push_back(Candidate{std::string(text), to_code_points(text)});
    const std::u32string& chars = candidates_.back().chars;
    by_length_[chars.size()].push_back(index);
    for (int two = 0; two < 2; ++two)
      for (uint64_t key : deletion_keys(chars, two == 1)) by_deletion_[two].emplace_back(key, index);
  }
  for (auto& index : by_deletion_) std::sort(index.begin(), index.end());
  measured_for_.assign(candidates_.size(), 0);
}

void Suggester::measure(const std::u32string& name, const Candidate& candidate, size_t limit, Best& best) {
  // A tie goes to the byte-smaller name, so the order in which candidates
  // are measured does not matter: one that sorts after the best must be
  // strictly closer.
  const bool smaller = best.candidate == nullptr || candidate.text < best.candidate->text;
  const size_t bound = std::min(smaller ? best.distance : best.distance - 1, limit);
  if (bound == 0) return;
  size_t cells = 0;
  const size_t d = *distance_in(name, candidate.chars, bound, rows_[0], rows_[1], cells, SIZE_MAX);
  if (d == 0 || d > bound) return;
  best = Best{&candidate, d};
}

void Suggester::measure_indexed(const std::u32string& name, size_t deletions, size_t indexed, size_t limit,
                                Best& best) {
  std::vector<uint64_t> keys = deletion_keys(name, false);
  if (deletions == 2) {
    std::vector<uint64_t> more = deletion_keys(name, true);
    keys.insert(keys.end(), more.begin(), more.end());
  }
  for (uint64_t key : keys) {
    for (size_t part = 0; part < indexed; ++part) {
      const auto& index = by_deletion_[part];
      auto at = std::lower_bound(index.begin(), index.end(), std::pair<uint64_t, uint32_t>{key, 0});
      for (; at != index.end() && at->first == key; ++at) {
        if (measured_for_[at->second] == names_asked_) continue;
        measured_for_[at->second] = names_asked_;
        measure(name, candidates_[at->second], limit, best);
      }
    }
  }
}

std::optional<std::string> Suggester::closest_match(std::string_view name) {
  const std::u32string chars = to_code_points(name);
  const size_t n = chars.size(), limit = std::max<size_t>(n / 3, 1);
  ++names_asked_;
  Best best{nullptr, limit + 1};
  // Within one edit, then within two: each search finds every candidate that
  // close (and some farther ones, measured all the same).
  measure_indexed(chars, 1, 1, limit, best);
  if (limit >= 2 && best.distance >= 2) measure_indexed(chars, 2, 2, limit, best);
  if (limit < 3 || best.distance < 3)
    return best.candidate ? std::optional(best.candidate->text) : std::nullopt;

  // The far search, over every candidate of about the name's length.
  size_t cells = 0;
  bool spent = false;
  for (auto it = by_length_.lower_bound(n - limit);
       !spent && it != by_length_.end() && it->first <= n + limit; ++it) {
    for (uint32_t index : it->second) {
      if (measured_for_[index] == names_asked_) continue;
      if (cells >= budget_) {
        spent = true;
        break;
      }
      ++cells;
      const Candidate& candidate = candidates_[index];
      const bool smaller = best.candidate == nullptr || candidate.text < best.candidate->text;
      const size_t bound = std::min(smaller ? best.distance : best.distance - 1, limit);
      if (bound == 0) continue;
      const std::optional<size_t> d =
          distance_in(chars, candidate.chars, bound, rows_[0], rows_[1], cells, budget_);
      if (!d) {
        spent = true;
        break;
      }
      if (*d == 0 || *d > bound) continue;
      best = Best{&candidate, *d};
    }
  }
  budget_ -= std::min(budget_, cells);
  // A search cut short might have missed the closest name: suggest none.
  if (spent || best.candidate == nullptr) return std::nullopt;
  return best.candidate->text;
}

}  // namespace mirtova::verifier
