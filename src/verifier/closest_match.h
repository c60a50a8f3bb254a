// "Did you mean": the known name fewest edits away from a misspelt one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mirtova::verifier {

// The edit distance of `a` and `b` in characters (insert, delete or replace one
// costs 1) when it is at most `bound`, else bound + 1. Only the cells within
// `bound` of the diagonal are filled, two rows at a time; `cells` grows by the
// number written.
size_t bounded_distance(std::u32string_view a, std::u32string_view b, size_t bound, size_t& cells);

// A fixed set of known names, decoded once, asked for many misspelt names.
//
// Two names at most two edits apart leave a common text once each loses at
// most two characters, so the candidates within two edits of a name are found
// through an index of those texts, in time that depends on the name and the
// few candidates like it, not on how many candidates there are. Only a name
// long enough to allow three edits or more, and with no candidate within two,
// is compared with every candidate of about its length; that search alone has
// a budget, so that a program of many long names cannot make it quadratic.
class Suggester {
 public:
  // The work the far search may do, in cells of the distance table (a
  // candidate looked at counts one more); past it no more far suggestions are
  // made.
  static constexpr size_t kCellBudget = size_t{1} << 27;

  explicit Suggester(const std::vector<std::string_view>& candidates, size_t budget = kCellBudget);

  // The candidate closest to `name`: at least 1 and at most a third of its
  // length in characters (but at least 1) edits away; of equally close ones the
  // byte-smallest. None when no candidate is that close, or when only the far
  // search could find one and its budget is spent.
  std::optional<std::string> closest_match(std::string_view name);

 private:
  struct Candidate {
    std::string text;
    std::u32string chars;
  };
  // The best candidate so far and its distance.
  struct Best {
    const Candidate* candidate = nullptr;
    size_t distance;
  };

  // Measures each candidate under one of the keys that `name` leaves after at
  // most `deletions` deletions, in the index of texts left by at most
  // `indexed` deletions; each candidate is measured once per name.
  void measure_indexed(const std::u32string& name, size_t deletions, size_t indexed, size_t limit,
                       Best& best);
  // Measures one candidate, keeping it when it is closer than the best, or as
  // close and byte-smaller.
  void measure(const std::u32string& name, const Candidate& candidate, size_t limit, Best& best);

  std::vector<Candidate> candidates_;
  // (hash of a text left by deleting characters, candidate), sorted: the
  // texts of at most one deletion, and those of exactly two.
  std::vector<std::pair<uint64_t, uint32_t>> by_deletion_[2];
  // Candidates by number of characters, for the far search.
  std::map<size_t, std::vector<uint32_t>> by_length_;
  // The name each candidate was last measured for.
  std::vector<uint64_t> measured_for_;
  uint64_t names_asked_ = 0;
  size_t budget_;
  std::vector<size_t> rows_[2];  // the two rows of the distance table, kept between names
};

}  // namespace mirtova::verifier
