// PerEngineCache: one value per engine, built on its first request and only
// read afterwards. Each instance says where it lives and who fills it.
#pragma once

#include <array>
#include <mutex>
#include <optional>
#include <string_view>

#include "common/engines.h"

namespace mirtova {

template <class T>
class PerEngineCache {
 public:
  // The value for `engine`, built by `build()` on the first request for that
  // engine under the engine's std::once_flag (concurrent first callers wait; a
  // build that throws leaves the slot empty for the next caller) and handed out
  // as a copy from then on. A name outside the seven engines is built afresh on
  // every call and kept nowhere.
  template <class Build>
  T get(std::string_view engine, Build&& build) {
    for (size_t i = 0; i < kSupportedEngines.size(); ++i) {
      if (kSupportedEngines[i] != engine) continue;
      Slot& slot = slots_[i];
      std::call_once(slot.once, [&] { slot.value.emplace(build()); });
      return *slot.value;
    }
    return build();
  }

 private:
  struct Slot {
    std::once_flag once;
    std::optional<T> value;
  };
  std::array<Slot, kSupportedEngines.size()> slots_;
};

}  // namespace mirtova
