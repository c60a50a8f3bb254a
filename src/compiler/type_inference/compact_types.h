// CompactTypes: a list of types in which a type that is its kind alone takes four bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "compiler/type_inference/types.h"

namespace mirtova {

// Inference holds a type per node and per column, and nearly all of them are
// a scalar kind without a source: those are kept as the kind, and only lists,
// records and types with a source take a whole Type. A slot that once held a
// whole Type keeps its place for it, so a type that changes back and forth
// takes no more room. References read stay valid until that entry is set.
class CompactTypes {
 public:
  size_t size() const { return slots_.size(); }
  bool empty() const { return slots_.empty(); }
  void reserve(size_t count) { slots_.reserve(count); }
  void clear() {
    slots_ = {};
    wholes_ = {};
  }

  const Type& operator[](size_t at) const {
    const uint32_t slot = slots_[at];
    return slot < kWholeBase ? Type::scalar(static_cast<Type::Kind>(slot)) : wholes_[slot - kWholeBase];
  }

  void push_back(Type&& type) {
    slots_.push_back(0);
    set(slots_.size() - 1, std::move(type));
  }
  void push_back(const Type& type) {
    slots_.push_back(0);
    set(slots_.size() - 1, type);
  }

  // A slot of a kind takes a type of a kind as the kind; anything else is
  // kept whole.
  void set(size_t at, Type&& type) {
    uint32_t& slot = slots_[at];
    if (slot < kWholeBase && is_kind_alone(type)) {
      slot = static_cast<uint32_t>(type.kind());
      return;
    }
    set_whole(slot, std::move(type));
  }
  void set(size_t at, const Type& type) {
    uint32_t& slot = slots_[at];
    if (slot < kWholeBase && is_kind_alone(type)) {
      slot = static_cast<uint32_t>(type.kind());
      return;
    }
    set_whole(slot, Type(type));
  }

  // The entry, moved out where it is whole.
  Type take(size_t at) {
    const uint32_t slot = slots_[at];
    return slot < kWholeBase ? Type::scalar(static_cast<Type::Kind>(slot))
                             : std::move(wholes_[slot - kWholeBase]);
  }

  static bool is_kind_alone(const Type& type) {
    return !type.is_list() && !type.is_record() && type.origin() == nullptr;
  }

 private:
  void set_whole(uint32_t& slot, Type&& type) {
    if (slot >= kWholeBase) {
      wholes_[slot - kWholeBase] = std::move(type);
      return;
    }
    slot = kWholeBase + static_cast<uint32_t>(wholes_.size());
    wholes_.push_back(std::move(type));
  }

  // Slots below this are a Type::Kind; the rest number into wholes_.
  static constexpr uint32_t kWholeBase = 8;

  std::vector<uint32_t> slots_;
  // In blocks, so that what was read of one stays where it is as more come.
  std::deque<Type> wholes_;
};

}  // namespace mirtova
