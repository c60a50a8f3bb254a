// A transparent hash for unordered containers keyed by std::string, so that
// lookups can take a std::string_view without building a string.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace mirtova {

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// For containers keyed by views held in great numbers: a hash that cannot
// throw, so that each node keeps no copy of it and is a word smaller.
struct ViewHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

}  // namespace mirtova
