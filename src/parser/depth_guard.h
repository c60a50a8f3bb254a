// DepthGuard bounds the recursion between the form parsers, so that deeply
// nested text is refused with a parse error instead of exhausting the stack.
#pragma once

#include <cstddef>

namespace mirtova {

// Nesting levels of expressions and propositions that one parse may open.
// Every later stage walks the tree recursively too, so the bound keeps all of
// them within the stack of a Python thread.
inline constexpr size_t kMaxParseDepth = 250;

inline constexpr const char* kTooDeepMessage = "Program is nested too deeply.";

class DepthGuard {
 public:
  // The counter is per thread: a parse runs on one thread and calls on other
  // threads never see it. It only counts frames that are live on this stack.
  DepthGuard() { ++depth(); }
  ~DepthGuard() { --depth(); }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

  bool too_deep() const { return depth() > kMaxParseDepth; }
  // The first level of a parse on this thread.
  bool outermost() const { return depth() == 1; }

 private:
  static size_t& depth() {
    thread_local size_t value = 0;
    return value;
  }
};

}  // namespace mirtova
