// Runs a test body on a thread with a small stack, as a host's secondary
// threads may have: deep input must fail cleanly there too.
#pragma once

#include <pthread.h>

#include <functional>

#include "support/sanitizers.h"

namespace mirtova::assertion::testing {

// A sanitizer pads every frame several times over; the bound is kept for the
// frames of an ordinary build (a debug build fits it with room to spare).
inline constexpr size_t kSmallStack = (testing_support::kSanitized ? 4 : 1) * 512 * 1024;

// False when the thread could not be started.
inline bool run_on_small_stack(const std::function<void()>& body) {
  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) return false;
  pthread_attr_setstacksize(&attr, kSmallStack);
  pthread_t thread;
  auto trampoline = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  const bool started =
      pthread_create(&thread, &attr, trampoline, const_cast<std::function<void()>*>(&body)) == 0;
  pthread_attr_destroy(&attr);
  if (started) pthread_join(thread, nullptr);
  return started;
}

}  // namespace mirtova::assertion::testing
