// PerEngineCache: one value per engine, built on its first request and only
// read afterwards. Each instance says where it lives and who fills it.
#pragma once

#include <array>
#include <mutex>
#include <optional>

#include "common/engines.h"

namespace mirtova {

template <class T>
class PerEngineCache {
 public:
  // The value for `engine`, built by `build()` on the first request for that
  // engine under the engine's std::once_flag (concurrent first callers wait; a
  // build that throws leaves the slot empty for the next caller) and lent out
  // from then on: the slot lives as long as the cache, and a caller that keeps
  // a copy of a value holding shared pointers pays a count that every thread
  // writes to, so only what lasts a whole compile should be copied.
  template <class Build>
  const T& get(Engine engine, Build&& build) {
    Slot& slot = slots_[engine_index(engine)];
    std::call_once(slot.once, [&] { slot.value.emplace(build()); });
    return *slot.value;
  }

 private:
  struct Slot {
    std::once_flag once;
    std::optional<T> value;
  };
  std::array<Slot, kEngines.size()> slots_;
};

}  // namespace mirtova
