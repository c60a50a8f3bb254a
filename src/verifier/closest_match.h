// "Did you mean": the known name fewest edits away from a misspelt one.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirtova::verifier {

// The edit distance of `a` and `b` in characters (insert, delete or replace one
// costs 1) when it is at most `bound`, else bound + 1. Only the cells within
// `bound` of the diagonal are filled, two rows at a time; `cells` grows by the
// number written.
size_t bounded_distance(std::u32string_view a, std::u32string_view b, size_t bound, size_t& cells);

// A fixed set of known names, decoded once, asked for many misspelt names.
class Suggester {
 public:
  // The work a suggester may do, in cells of the distance table (a candidate
  // looked at counts one more). Every name of a program is compared with every
  // candidate of about its length, which grows with the square of the program;
  // past the budget no more suggestions are made.
  static constexpr size_t kCellBudget = size_t{1} << 27;

  explicit Suggester(const std::vector<std::string_view>& candidates, size_t budget = kCellBudget);

  // The candidate closest to `name`: at least 1 and at most a third of its
  // length in characters (but at least 1) edits away; of equally close ones the
  // byte-smallest. None when no candidate is that close or the budget is spent.
  std::optional<std::string> closest_match(std::string_view name);

 private:
  struct Candidate {
    std::string text;
    std::u32string chars;
  };
  // By number of characters, so that only candidates of about the name's
  // length are looked at.
  std::map<size_t, std::vector<Candidate>> by_length_;
  size_t budget_;
  std::vector<size_t> rows_[2];  // the two rows of the distance table, kept between names
};

}  // namespace mirtova::verifier
