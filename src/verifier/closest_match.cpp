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

Suggester::Suggester(const std::vector<std::string_view>& candidates, size_t budget) : budget_(budget) {
  for (std::string_view text : candidates) {
    std::u32string chars = to_code_points(text);
    const size_t length = chars.size();
    by_length_[length].push_back(Candidate{std::string(text), std::move(chars)});
  }
}

std::optional<std::string> Suggester::closest_match(std::string_view name) {
  const std::u32string chars = to_code_points(name);
  const size_t n = chars.size(), limit = std::max<size_t>(n / 3, 1);
  const Candidate* best = nullptr;
  size_t best_distance = limit + 1, cells = 0;
  bool spent = false;
  for (auto it = by_length_.lower_bound(n > limit ? n - limit : 0);
       !spent && it != by_length_.end() && it->first <= n + limit; ++it) {
    for (const Candidate& candidate : it->second) {
      if (cells >= budget_) {
        spent = true;
        break;
      }
      ++cells;
      // A tie goes to the byte-smaller name, so the order of the candidates
      // does not matter: one that sorts after the best must be strictly closer.
      const bool smaller = best == nullptr || candidate.text < best->text;
      const size_t bound = std::min(smaller ? best_distance : best_distance - 1, limit);
      if (bound == 0) continue;
      const std::optional<size_t> d =
          distance_in(chars, candidate.chars, bound, rows_[0], rows_[1], cells, budget_);
      if (!d) {
        spent = true;
        break;
      }
      if (*d == 0 || *d > bound) continue;
      best = &candidate;
      best_distance = *d;
    }
  }
  budget_ -= std::min(budget_, cells);
  // A search cut short might have missed the closest name: suggest none.
  if (spent || best == nullptr) return std::nullopt;
  return best->text;
}

}  // namespace mirtova::verifier
