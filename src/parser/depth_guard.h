// DepthGuard bounds the recursion between the form parsers, so that deeply
// nested text is refused with a parse error instead of exhausting the stack.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>

#include "common/bounds.h"
#include "common/stack_room.h"

namespace mirtova {

// Stack that one level of nesting may take, summed over the deepest of the
// stages that walk the tree after the parse (translation, type inference,
// printing). A parse that starts with less room than kMaxParseDepth levels
// need allows fewer levels.
inline constexpr size_t kStackPerLevel = 8 * 1024;

inline constexpr const char* kTooDeepMessage = "Program is nested too deeply.";

class DepthGuard {
 public:
  // The counter is per thread: a parse runs on one thread and calls on other
  // threads never see it. It only counts frames that are live on this stack.
  DepthGuard() {
    if (++state().depth == 1)
      state().limit = state().fixed_text ? kMaxParseDepth : limit_for_room(stack_room());
  }
  ~DepthGuard() { --state().depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

  bool too_deep() const { return state().depth > state().limit || stack_nearly_exhausted(); }
  // The first level of a parse on this thread.
  bool outermost() const { return state().depth == 1; }

  // While one lives, a parse on this thread may open kMaxParseDepth levels
  // whatever the room: for a text of the system's own (an engine's library),
  // whose few levels the bound on what a user may write would refuse on a
  // small stack although they fit. The walks still stop short of the stack's end.
  class FixedText {
   public:
    FixedText() : before_(std::exchange(state().fixed_text, true)) {}
    ~FixedText() { state().fixed_text = before_; }
    FixedText(const FixedText&) = delete;
    FixedText& operator=(const FixedText&) = delete;

   private:
    bool before_;
  };

  // The levels this parse may open in all: kMaxParseDepth, or fewer on a
  // small stack. Outside a parse, what a parse starting here would get.
  static size_t limit() { return state().depth > 0 ? state().limit : limit_for_room(stack_room()); }
  // Levels still free below the current one.
  static size_t levels_left() {
    const size_t used = state().depth;
    return used < limit() ? limit() - used : 0;
  }

 private:
  struct State {
    size_t depth = 0;
    size_t limit = kMaxParseDepth;
    bool fixed_text = false;
  };
  static State& state() {
    thread_local State value;
    return value;
  }
  static size_t limit_for_room(size_t room) {
    if (room <= kStackReserve) return 0;
    return std::min(kMaxParseDepth, (room - kStackReserve) / kStackPerLevel);
  }
};

}  // namespace mirtova
