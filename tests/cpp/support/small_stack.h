// Runs a test body on a thread with a small stack, as a host's secondary
// threads may have: deep input must fail cleanly there too.
#pragma once

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <functional>

#include "support/sanitizers.h"

namespace mirtova::assertion::testing {

// A sanitizer pads every frame several times over; the bound is kept for the
// frames of an ordinary build (a debug build fits it with room to spare).
inline constexpr size_t kSmallStack = (testing_support::kSanitized ? 4 : 1) * 512 * 1024;

// False when the thread could not be started. The stack is mapped here, with
// a guard page below it, rather than left to the C library, which may hand a
// thread a larger stack it keeps from an earlier one.
inline bool run_on_small_stack(const std::function<void()>& body, size_t bytes = kSmallStack) {
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void* mapped = mmap(nullptr, bytes + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return false;
  char* base = static_cast<char*>(mapped);
  pthread_attr_t attr;
  bool started = mprotect(base, page, PROT_NONE) == 0 && pthread_attr_init(&attr) == 0;
  if (started) {
    pthread_attr_setstack(&attr, base + page, bytes);
    pthread_t thread;
    auto trampoline = [](void* arg) -> void* {
      (*static_cast<const std::function<void()>*>(arg))();
      return nullptr;
    };
    started = pthread_create(&thread, &attr, trampoline, const_cast<std::function<void()>*>(&body)) == 0;
    pthread_attr_destroy(&attr);
    if (started) pthread_join(thread, nullptr);
  }
  munmap(mapped, bytes + page);
  return started;
}

}  // namespace mirtova::assertion::testing
