// PredicateNames: the pairs of internal and written predicate names of one
// parsed program, translating a caller's names in and messages out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "parser/json.h"

namespace mirtova {

class PredicateNames {
 public:
  // Reads the program's "predicate_names" object; the program must be an object.
  static PredicateNames of(const Json& program);
  // The pairs (internal, written) given, each internal name once.
  static PredicateNames from_pairs(std::vector<std::pair<std::string, std::string>> pairs);

  // The internal name of the first pair written as `name`, or `name` itself.
  std::string internal(std::string_view name) const;
  // `message` with every whole word that is an internal name replaced by its
  // written name.
  std::string written(std::string_view message) const;

  // (internal, written), in ascending byte order of the internal names.
  std::vector<std::pair<std::string, std::string>> pairs() const;

 private:
  // A pair's two texts, one after the other in texts_: the names a compile
  // makes number in the tens of thousands, and two strings apiece would weigh
  // more than the texts.
  struct Pair {
    size_t at;
    uint32_t internal_size;
    uint32_t written_size;
  };
  void add(std::string_view internal, std::string_view written);
  std::string_view internal_of(const Pair& pair) const {
    return {texts_.data() + pair.at, pair.internal_size};
  }
  std::string_view written_of(const Pair& pair) const {
    return {texts_.data() + pair.at + pair.internal_size, pair.written_size};
  }

  std::string texts_;
  std::vector<Pair> pairs_;
};

}  // namespace mirtova
