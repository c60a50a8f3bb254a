#include "common/stack_room.h"

#include <pthread.h>

#include <cstdint>
#include <limits>

namespace mirtova {

namespace {

struct StackExtent {
  uintptr_t low = 0;  // lowest usable address; 0 when unknown
  uintptr_t high = 0;
};

// This thread's stack (stacks grow down on every platform the module is built
// for). Filled on a thread's first call, read-only after.
StackExtent stack_extent() {
  thread_local const StackExtent extent = [] {
    StackExtent e;
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return e;
    void* base = nullptr;
    size_t size = 0;
    size_t guard = 0;
    if (pthread_attr_getstack(&attr, &base, &size) == 0) {
      pthread_attr_getguardsize(&attr, &guard);
      // The guard page lies inside the reported extent on some C libraries.
      e.low = reinterpret_cast<uintptr_t>(base) + guard;
      e.high = reinterpret_cast<uintptr_t>(base) + size;
    }
    pthread_attr_destroy(&attr);
    return e;
  }();
  return extent;
}

}  // namespace

size_t stack_room() {
  const StackExtent extent = stack_extent();
  const uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  // Off the thread's stack (one the host switched to, as coroutine libraries
  // do): nothing to go by.
  if (extent.low == 0 || here < extent.low || here > extent.high) return std::numeric_limits<size_t>::max();
  return here - extent.low;
}

}  // namespace mirtova
