// How much of the running thread's stack is left: recursion whose depth input
// controls is bounded by the stack it actually runs on, which a host's thread
// may have made far smaller than the main thread's.
#pragma once

#include <cstddef>

namespace mirtova {

// Bytes between the caller's frame and the end of this thread's stack; a very
// large number when the stack's extent cannot be learnt. The extent is asked
// for once per thread and kept.
size_t stack_room();

// Room that every recursive walk keeps free below its deepest frame, for the
// library calls (allocation, formatting) that a frame makes.
inline constexpr size_t kStackReserve = 64 * 1024;

// Whether a walk should stop descending and answer "Program is nested too deeply."
inline bool stack_nearly_exhausted() { return stack_room() < kStackReserve; }

}  // namespace mirtova
