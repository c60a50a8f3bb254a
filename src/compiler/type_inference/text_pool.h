// TextPool: the names of a program's types graphs, each held once and numbered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "compiler/type_inference/flat_index.h"

namespace mirtova {

// Recursion unfolding makes many copies of a rule that differ in predicate
// names alone, and each name stands in the graph of every rule that calls it:
// the graphs keep a number, and the text is held here once for all of them.
// Texts stay where they are as more come, so views read stay valid while the
// pool stands.
class TextPool {
 public:
  // The number of `text`, stored now if new.
  uint32_t intern(std::string_view text) {
    if (released_) index_again();
    const auto fresh = static_cast<uint32_t>(entries_.size());
    const auto [id, stored] = index_.find_or_insert(std::hash<std::string_view>()(text), fresh,
                                                    [&](uint32_t id) { return this->text(id) == text; });
    if (stored) entries_.push_back(store(text));
    return id;
  }
  // Without interning: a number of the pool, which the comparisons the
  // caller makes already found equal to what it would intern.
  std::string_view text(uint32_t id) const {
    const Entry& e = entries_[id];
    return std::string_view(blocks_[e.block]).substr(e.at, e.size);
  }
  size_t size() const { return entries_.size(); }
  // Lets go of what finds a text's number, for a reader done interning: the
  // index is as large as the texts. A later intern makes it again.
  void release_index() {
    index_ = FlatIndex(FlatIndex::kEmpty);
    released_ = true;
  }

 private:
  // Texts are packed into blocks of this size; a longer one has a block of its
  // own.
  static constexpr size_t kBlock = size_t{1} << 16;

  struct Entry {
    uint32_t block;
    uint32_t at;
    uint32_t size;
  };

  Entry store(std::string_view text) {
    if (text.size() > kBlock / 4) {
      blocks_.emplace_back(text);
      return Entry{static_cast<uint32_t>(blocks_.size() - 1), 0, static_cast<uint32_t>(text.size())};
    }
    if (open_ == kNone || blocks_[open_].size() + text.size() > kBlock) {
      open_ = static_cast<uint32_t>(blocks_.size());
      blocks_.emplace_back().reserve(kBlock);
    }
    std::string& block = blocks_[open_];
    const Entry entry{open_, static_cast<uint32_t>(block.size()), static_cast<uint32_t>(text.size())};
    block.append(text);
    return entry;
  }

  void index_again() {
    released_ = false;
    for (uint32_t id = 0; id < entries_.size(); ++id)
      index_.find_or_insert(std::hash<std::string_view>()(text(id)), id, [](uint32_t) { return false; });
  }

  static constexpr uint32_t kNone = ~uint32_t{0};
  uint32_t open_ = kNone;  // the block short texts are appended to
  // In blocks, as a program has about as many names as rules.
  std::deque<Entry> entries_;
  // A block's text is never moved: its room is taken once, and a string held
  // in a deque stays where it is as more come.
  std::deque<std::string> blocks_;
  FlatIndex index_;  // over entries_
  bool released_ = false;
};

}  // namespace mirtova
