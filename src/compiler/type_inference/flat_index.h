// FlatIndex: an open-addressing table from a 64-bit hash to small ids, for the
// types graph's lookup-only key sets (edge keys, node keys, columns).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace mirtova {

// The caller keeps the keys (in a vector, say) and numbers them; the index
// holds only (hash, id) and asks the caller whether a stored id is the key
// sought. It is only looked up, never walked, so its order reaches nothing.
class FlatIndex {
 public:
  explicit FlatIndex(size_t expected = 0) { reserve(expected); }
  // An index that takes no room until its first key.
  struct Empty {};
  static constexpr Empty kEmpty{};
  explicit FlatIndex(Empty) {}

  // The id of the stored key `same` accepts, or, when there is none, stores
  // `fresh` under `hash` and answers it; the bool says whether it was stored.
  template <class Same>
  std::pair<uint32_t, bool> find_or_insert(uint64_t hash, uint32_t fresh, Same&& same) {
    // Up to three quarters full: the tables of a large program are most of
    // inference's room while it numbers the ends, and the tags screen nearly
    // every comparison the longer runs of probes bring.
    if (4 * (count_ + 1) > 3 * slots_.size()) grow();
    const uint32_t tag = spread(hash);
    const size_t mask = slots_.size() - 1;
    for (size_t i = tag & mask;; i = (i + 1) & mask) {
      Slot& slot = slots_[i];
      if (slot.id_plus_one == 0) {
        slot = Slot{tag, fresh + 1};
        ++count_;
        return {fresh, true};
      }
      if (slot.tag == tag && same(slot.id_plus_one - 1)) return {slot.id_plus_one - 1, false};
    }
  }

  // The id of the stored key `same` accepts, if any.
  template <class Same>
  std::pair<uint32_t, bool> find(uint64_t hash, Same&& same) const {
    if (slots_.empty()) return {0, false};
    const uint32_t tag = spread(hash);
    const size_t mask = slots_.size() - 1;
    for (size_t i = tag & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.id_plus_one == 0) return {0, false};
      if (slot.tag == tag && same(slot.id_plus_one - 1)) return {slot.id_plus_one - 1, true};
    }
  }

  void clear() {
    slots_.assign(slots_.size(), Slot{});
    count_ = 0;
  }

 private:
  // Eight bytes, so that a large table stays as small as it can: the tag is
  // the mixed hash, which both places the slot and screens the comparisons.
  struct Slot {
    uint32_t tag = 0;
    uint32_t id_plus_one = 0;  // 0: empty
  };

  // Hashes may carry their entropy in the high bits only.
  static uint32_t spread(uint64_t h) {
    return static_cast<uint32_t>((h ^ (h >> 29)) * 0xbf58476d1ce4e5b9ULL >> 32);
  }

  void reserve(size_t expected) {
    size_t size = 16;
    while (3 * size < 4 * expected) size *= 2;
    slots_.assign(size, Slot{});
  }

  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 16 : 2 * old.size(), Slot{});
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.id_plus_one == 0) continue;
      size_t i = slot.tag & mask;
      while (slots_[i].id_plus_one != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
};

}  // namespace mirtova
