// TextPool: the names of a program's types graphs, each held once and numbered.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "compiler/type_inference/flat_index.h"

namespace mirtova {

// Recursion unfolding makes many copies of a rule that differ in predicate
// names alone, and each name stands in the graph of every rule that calls it:
// the graphs keep a number, and the text is held here once for all of them.
// Texts stay where they are as more come, so views read stay valid while the
// pool stands.
class TextPool {
 public:
  TextPool() {
    push_entry(store(""));
    index_.find_or_insert(hash(""), 0, [](uint32_t) { return false; });
  }

  // The number of `text`, stored now if new.
  uint32_t intern(std::string_view text) {
    // A rule names its predicates and columns several times over, one after
    // another: the last few texts are compared before any hash is taken.
    for (const Recent& recent : recent_)
      if (recent.size == text.size() &&
          (text.empty() || std::memcmp(recent.data, text.data(), text.size()) == 0))
        return recent.id;
    if (released_) index_again();
    const auto fresh = static_cast<uint32_t>(size_);
    const auto [id, stored] =
        index_.find_or_insert(hash(text), fresh, [&](uint32_t id) { return this->text(id) == text; });
    if (stored) push_entry(store(text));
    const std::string_view kept = this->text(id);
    recent_[1 + next_recent_++ % (recent_.size() - 1)] = Recent{kept.data(), kept.size(), id};
    return id;
  }
  std::string_view text(uint32_t id) const {
    const Entry& e = chunks_[id >> kChunkBits][id & (kChunk - 1)];
    return std::string_view(block_data_[e.block] + e.at, e.size);
  }
  size_t size() const { return size_; }
  // Lets go of what finds a text's number, for a reader done interning: the
  // index is as large as the texts. A later intern makes it again.
  void release_index() {
    index_ = FlatIndex(FlatIndex::kEmpty);
    released_ = true;
  }

 private:
  // Texts are packed into blocks of this size; a longer one has a block of its
  // own.
  static constexpr size_t kBlock = size_t{1} << 12;

  struct Entry {
    uint32_t block;
    uint32_t at;
    uint32_t size;
  };
  // A text interned lately, read in place. The first is the empty text,
  // number 0, the column of every end that is not a predicate's.
  struct Recent {
    const char* data = "";
    size_t size = 0;
    uint32_t id = 0;
  };

  static uint64_t hash(std::string_view text) { return std::hash<std::string_view>()(text); }

  void push_entry(const Entry& entry) {
    if ((size_ & (kChunk - 1)) == 0) chunks_.push_back(std::make_unique<Entry[]>(kChunk));
    chunks_[size_ >> kChunkBits][size_ & (kChunk - 1)] = entry;
    ++size_;
  }

  Entry store(std::string_view text) {
    if (text.size() > kBlock / 4) {
      block_data_.push_back(blocks_.emplace_back(text).data());
      return Entry{static_cast<uint32_t>(blocks_.size() - 1), 0, static_cast<uint32_t>(text.size())};
    }
    if (open_ == kNone || blocks_[open_].size() + text.size() > kBlock) {
      open_ = static_cast<uint32_t>(blocks_.size());
      blocks_.emplace_back().reserve(kBlock);
      block_data_.push_back(blocks_.back().data());
    }
    std::string& block = blocks_[open_];
    const Entry entry{open_, static_cast<uint32_t>(block.size()), static_cast<uint32_t>(text.size())};
    block.append(text);
    return entry;
  }

  void index_again() {
    released_ = false;
    for (uint32_t id = 0; id < size_; ++id)
      index_.find_or_insert(hash(text(id)), id, [](uint32_t) { return false; });
  }

  static constexpr uint32_t kNone = ~uint32_t{0};
  uint32_t open_ = kNone;  // the block short texts are appended to
  // In chunks, as a program has about as many names as rules: a list grown by
  // doubling would stand twice over as it moves.
  static constexpr size_t kChunkBits = 8;
  static constexpr size_t kChunk = size_t{1} << kChunkBits;
  std::vector<std::unique_ptr<Entry[]>> chunks_;
  size_t size_ = 0;
  // A block's text is never moved: its room is taken once, and a string held
  // in a deque stays where it is as more come.
  std::deque<std::string> blocks_;
  std::vector<const char*> block_data_;  // each block's text, by block number
  FlatIndex index_;                      // over the entries
  bool released_ = false;
  std::array<Recent, 5> recent_;
  uint32_t next_recent_ = 0;
};

}  // namespace mirtova
